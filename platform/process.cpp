#include "platform/process.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/log.h"

namespace lamina::platform {

bool PosixProgramStarter::startDetached(std::span<const std::string> argv) {
  if (argv.empty() || argv[0].empty()) return false;
  // Everything the child needs is prepared before fork: between fork and
  // exec only async-signal-safe calls are allowed (other threads may hold
  // the allocator's lock).
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  const pid_t child = ::fork();
  if (child < 0) {
    logWarning("process", "cannot start " + argv[0]);
    return false;
  }
  if (child == 0) {
    // The middle process: a new session, then the program in a grandchild,
    // so that the program is adopted by init and never becomes our zombie.
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild != 0) ::_exit(grandchild < 0 ? 1 : 0);
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
      ::dup2(null, 0);
      ::dup2(null, 1);
      ::dup2(null, 2);
    }
    ::close_range(3, ~0U, 0);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool PosixProgramStarter::isExecutableFile(const std::filesystem::path& file) const {
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  return ::access(file.c_str(), X_OK) == 0;
}

}  // namespace lamina::platform
