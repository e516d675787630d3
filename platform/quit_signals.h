#pragma once
// Ctrl+C in a terminal (SIGINT) and a request to end from the system
// (SIGTERM) reach the program as a callback on a thread of its own, so that
// they can end it as the console's quit message does rather than kill it
// half-way or be swallowed by a library.
#include <functional>
#include <thread>

namespace lamina::platform {

// One at a time: the signals have one disposition per process. The signal
// mask is left alone, so programs started later get the usual signals.
class QuitSignals {
 public:
  // onSignal runs on the watching thread, once for each signal received.
  explicit QuitSignals(std::function<void()> onSignal);
  ~QuitSignals();
  QuitSignals(const QuitSignals&) = delete;
  QuitSignals& operator=(const QuitSignals&) = delete;

  bool watching() const { return watcher_.joinable(); }

 private:
  std::function<void()> onSignal_;
  int readEnd_ = -1;
  int writeEnd_ = -1;
  std::thread watcher_;
};

}  // namespace lamina::platform
