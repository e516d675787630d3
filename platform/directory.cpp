#include "platform/directory.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>

namespace lamina::platform {

bool changeDirectory(std::string_view path) {
  const std::string p(path);
  return !p.empty() && ::chdir(p.c_str()) == 0;
}

std::string currentDirectory() {
  std::string buffer(4096, '\0');
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE || buffer.size() > (1u << 20)) return {};
    buffer.resize(buffer.size() * 2);
  }
  buffer.resize(std::char_traits<char>::length(buffer.c_str()));
  return buffer;
}

std::optional<std::vector<FileEntry>> listFiles() {
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir("."), ::closedir);
  if (!dir) return std::nullopt;
  std::vector<FileEntry> out;
  const int fd = ::dirfd(dir.get());
  while (const dirent* e = ::readdir(dir.get())) {
    if (e->d_name[0] == '.') continue;
    struct stat st {};
    // A name that vanished between reading and stat is left out.
    if (::fstatat(fd, e->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode)) continue;
    out.push_back(
        {e->d_name, static_cast<std::int64_t>(st.st_size), static_cast<std::int64_t>(st.st_mtime)});
  }
  return out;
}

bool wildcardMatch(std::string_view pattern, std::string_view name) {
  const std::string p(pattern);
  const std::string n(name);
  return ::fnmatch(p.c_str(), n.c_str(), FNM_CASEFOLD) == 0;
}

WorkingDirectoryGuard::WorkingDirectoryGuard()
    : handle_(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}

WorkingDirectoryGuard::~WorkingDirectoryGuard() {
  if (handle_ < 0) return;
  [[maybe_unused]] const int ignored = ::fchdir(handle_);
  ::close(handle_);
}

bool WorkingDirectoryGuard::unchanged() const {
  struct stat was {};
  struct stat now {};
  return handle_ >= 0 && ::fstat(handle_, &was) == 0 && ::stat(".", &now) == 0 &&
         was.st_dev == now.st_dev && was.st_ino == now.st_ino;
}

}  // namespace lamina::platform
