#include "platform/child_pipe.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "platform/log.h"

extern char** environ;

namespace lamina::platform {

namespace {

bool executable(const std::filesystem::path& file) {
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  return ::access(file.c_str(), X_OK) == 0;
}

void closeFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

std::filesystem::path findProgram(std::string_view name) {
  if (name.empty()) return {};
  if (name.find('/') != std::string_view::npos) {
    const std::filesystem::path file{std::string(name)};
    return executable(file) ? file : std::filesystem::path{};
  }
  const char* path = std::getenv("PATH");
  std::string_view dirs = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
  while (!dirs.empty()) {
    const std::size_t colon = dirs.find(':');
    const std::string_view dir = dirs.substr(0, colon);
    dirs = colon == std::string_view::npos ? std::string_view{} : dirs.substr(colon + 1);
    // An empty entry is the current directory, which is no place to pick a
    // program from behind the user's back.
    if (dir.empty()) continue;
    const std::filesystem::path file = std::filesystem::path(std::string(dir)) / std::string(name);
    if (executable(file)) return file;
  }
  return {};
}

bool ChildPipe::start(std::span<const std::string> argv) {
  stop();
  if (argv.empty() || argv[0].empty()) return false;
  // The input is a socket so that writing to a child that has died answers
  // EPIPE (MSG_NOSIGNAL) instead of raising SIGPIPE in the whole program.
  int input[2] = {-1, -1};
  int output[2] = {-1, -1};
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, input) != 0) return false;
  if (::pipe2(output, O_CLOEXEC) != 0) {
    ::close(input[0]);
    ::close(input[1]);
    return false;
  }
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, input[1], 0);
  posix_spawn_file_actions_adddup2(&actions, output[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // The child gets the default signal handling and an empty mask, whatever
  // this program ignores or blocks (SIGPIPE is ignored for the speech
  // daemon's sake, and the child must die when we stop reading it).
  sigset_t none;
  sigemptyset(&none);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = -1;
  const int result = ::posix_spawn(&pid, args[0], &actions, &attributes, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(input[1]);
  ::close(output[1]);
  if (result != 0) {
    ::close(input[0]);
    ::close(output[0]);
    logWarning("child_pipe", "cannot start " + argv[0]);
    return false;
  }
  pid_ = pid;
  in_ = input[0];
  out_ = output[0];
  ::fcntl(in_, F_SETFL, ::fcntl(in_, F_GETFL) | O_NONBLOCK);
  ::fcntl(out_, F_SETFL, ::fcntl(out_, F_GETFL) | O_NONBLOCK);
  return true;
}

ChildPipe::Io ChildPipe::drain(std::vector<std::uint8_t>& received, std::size_t maxReceived) {
  bool got = false;
  std::uint8_t buffer[16384];
  while (received.size() < maxReceived) {
    const std::size_t room = std::min(sizeof buffer, maxReceived - received.size());
    const ssize_t n = ::read(out_, buffer, room);
    if (n > 0) {
      received.insert(received.end(), buffer, buffer + n);
      got = true;
      continue;
    }
    if (n == 0) return got ? Io::ok : Io::closed;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) break;
    return got ? Io::ok : Io::closed;
  }
  return got ? Io::ok : Io::timeout;
}

ChildPipe::Io ChildPipe::send(std::string_view bytes, std::vector<std::uint8_t>& received,
                              std::size_t maxReceived, int timeoutMs) {
  if (in_ < 0) return Io::closed;
  while (!bytes.empty()) {
    const ssize_t n = ::send(in_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return Io::closed;
    // Full: wait for room, taking the child's output meanwhile.
    pollfd fds[2] = {{in_, POLLOUT, 0}, {out_, POLLIN, 0}};
    const nfds_t count = out_ >= 0 && received.size() < maxReceived ? 2 : 1;
    const int ready = ::poll(fds, count, timeoutMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return Io::timeout;
    if (count == 2 && (fds[1].revents & (POLLIN | POLLHUP)) != 0 &&
        drain(received, maxReceived) == Io::closed) {
      return Io::closed;
    }
    if ((fds[0].revents & (POLLERR | POLLHUP)) != 0) return Io::closed;
  }
  return Io::ok;
}

ChildPipe::Io ChildPipe::receive(std::vector<std::uint8_t>& received, std::size_t maxReceived,
                                 int timeoutMs) {
  if (out_ < 0) return Io::closed;
  if (received.size() >= maxReceived) return Io::timeout;
  const Io now = drain(received, maxReceived);
  if (now != Io::timeout || timeoutMs <= 0) return now;
  pollfd fd{out_, POLLIN, 0};
  for (;;) {
    const int ready = ::poll(&fd, 1, timeoutMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return Io::timeout;
    return drain(received, maxReceived);
  }
}

void ChildPipe::stop() {
  closeFd(in_);
  closeFd(out_);
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
}

}  // namespace lamina::platform
