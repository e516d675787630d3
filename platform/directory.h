#pragma once
// The file system as the file chooser needs it: the working directory (kept
// as an open handle, so that it can be returned to even when its path has
// been renamed or removed), the ordinary files of a directory and the
// system's wildcard matching.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lamina::platform {

struct FileEntry {
  std::string name;  // the name on disk, as its bytes
  std::int64_t size = 0;
  std::int64_t modified = 0;  // seconds since the epoch
};

// Changes the working directory; false when it cannot be entered.
bool changeDirectory(std::string_view path);

// The full path of the working directory; empty when it has none (removed).
std::string currentDirectory();

// Ordinary files of the working directory (no directories, no devices, no
// names starting with "."; links count when they lead to an ordinary file).
// Nothing when the directory cannot be read.
std::optional<std::vector<FileEntry>> listFiles();

// The system's wildcard rules ("*", "?", "[...]"), without regard to case.
bool wildcardMatch(std::string_view pattern, std::string_view name);

// The working directory at construction, entered again at destruction.
class WorkingDirectoryGuard {
 public:
  WorkingDirectoryGuard();
  ~WorkingDirectoryGuard();
  WorkingDirectoryGuard(const WorkingDirectoryGuard&) = delete;
  WorkingDirectoryGuard& operator=(const WorkingDirectoryGuard&) = delete;
  // True when the working directory is the one at construction.
  bool unchanged() const;

 private:
  int handle_ = -1;
};

}  // namespace lamina::platform
