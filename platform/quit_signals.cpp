#include "platform/quit_signals.h"

#include <pthread.h>
#include <signal.h>

#include <cstring>
#include <string>

#include "platform/log.h"

namespace lamina::platform {

namespace {

sigset_t quitSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

}  // namespace

QuitSignals::QuitSignals(std::function<void()> onSignal) : onSignal_(std::move(onSignal)) {
  const sigset_t set = quitSet();
  if (const int error = pthread_sigmask(SIG_BLOCK, &set, nullptr); error != 0) {
    logError("signals", std::string("cannot block SIGINT and SIGTERM: ") + std::strerror(error));
    return;
  }
  watcher_ = std::thread([this, set] {
    for (;;) {
      int received = 0;
      if (sigwait(&set, &received) != 0) continue;
      if (stopping_.load()) return;
      if (onSignal_) onSignal_();
    }
  });
}

QuitSignals::~QuitSignals() {
  if (!watcher_.joinable()) return;
  stopping_.store(true);
  // The watcher is the only thread waiting for the signal; this one wakes it.
  pthread_kill(watcher_.native_handle(), SIGTERM);
  watcher_.join();
}

}  // namespace lamina::platform
