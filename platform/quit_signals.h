#pragma once
// Ctrl+C in a terminal (SIGINT) and a request to end from the system
// (SIGTERM) reach the program as a callback on a thread of its own, so that
// they can end it as the console's quit message does rather than kill it
// half-way or be swallowed by a library.
#include <atomic>
#include <functional>
#include <thread>

namespace lamina::platform {

class QuitSignals {
 public:
  // Blocks both signals in the calling thread, and so in every thread it
  // starts afterwards: create this before any other thread. onSignal runs on
  // the watching thread, once for each signal received.
  explicit QuitSignals(std::function<void()> onSignal);
  ~QuitSignals();
  QuitSignals(const QuitSignals&) = delete;
  QuitSignals& operator=(const QuitSignals&) = delete;

  bool watching() const { return watcher_.joinable(); }

 private:
  std::function<void()> onSignal_;
  std::atomic<bool> stopping_{false};
  std::thread watcher_;
};

}  // namespace lamina::platform
