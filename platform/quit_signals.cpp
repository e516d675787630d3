#include "platform/quit_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/log.h"

namespace lamina::platform {

namespace {

constexpr char kSignalled = 1;
constexpr char kStop = 0;

// Where the handler writes; a handler may do no more than that.
volatile sig_atomic_t handlerFd = -1;
struct sigaction previousInt {};
struct sigaction previousTerm {};

extern "C" void onQuitSignal(int) {
  const int saved = errno;
  const char byte = kSignalled;
  if (handlerFd >= 0) (void)!::write(handlerFd, &byte, 1);
  errno = saved;
}

}  // namespace

QuitSignals::QuitSignals(std::function<void()> onSignal) : onSignal_(std::move(onSignal)) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) {
    logError("signals", std::string("no pipe for SIGINT and SIGTERM: ") + std::strerror(errno));
    return;
  }
  readEnd_ = ends[0];
  writeEnd_ = ends[1];
  handlerFd = writeEnd_;
  struct sigaction action {};
  action.sa_handler = &onQuitSignal;
  sigemptyset(&action.sa_mask);
  // Reads and waits of other threads go on after the handler.
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, &previousInt);
  ::sigaction(SIGTERM, &action, &previousTerm);
  watcher_ = std::thread([this] {
    for (;;) {
      char byte = kStop;
      const ssize_t got = ::read(readEnd_, &byte, 1);
      if (got < 0 && errno == EINTR) continue;
      if (got != 1 || byte == kStop) return;
      if (onSignal_) onSignal_();
    }
  });
}

QuitSignals::~QuitSignals() {
  if (readEnd_ < 0) return;
  ::sigaction(SIGINT, &previousInt, nullptr);
  ::sigaction(SIGTERM, &previousTerm, nullptr);
  handlerFd = -1;
  const char byte = kStop;
  (void)!::write(writeEnd_, &byte, 1);
  if (watcher_.joinable()) watcher_.join();
  ::close(readEnd_);
  ::close(writeEnd_);
}

}  // namespace lamina::platform
