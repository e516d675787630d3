#include "platform/paths.h"

#include <cstdlib>
#include <system_error>

#include "platform/log.h"

#ifndef LAMINA_BUILD_DATA_DIR
#define LAMINA_BUILD_DATA_DIR ""
#endif
#ifndef LAMINA_BUILD_DIR
#define LAMINA_BUILD_DIR ""
#endif
#ifndef LAMINA_INSTALL_DATA_DIR
#define LAMINA_INSTALL_DATA_DIR "/usr/local/share/lamina"
#endif

namespace fs = std::filesystem;

namespace lamina::paths {

fs::path configDirectory() {
  if (const char* dir = std::getenv("ORALIS_DIR"); dir != nullptr && *dir != '\0') return dir;
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    return fs::path(home) / ".config" / "oralis";
  }
  return fs::path(".config") / "oralis";
}

fs::path programFile() {
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) return self;
  platform::logWarning("paths", "the program's own file is unknown: " + ec.message());
  return fs::path("lamina");
}

fs::path dataDirectory() {
  if (const char* dir = std::getenv("LAMINA_DATA_DIR"); dir != nullptr && *dir != '\0') return dir;
  std::string buildDir = LAMINA_BUILD_DIR;
  if (!buildDir.empty()) {
    // A whole folder name: "/x/build-stage/bin/lamina" is not inside "/x/build".
    if (!buildDir.ends_with('/')) buildDir += '/';
    const std::string self = programFile().string();
    if (self.starts_with(buildDir)) return LAMINA_BUILD_DATA_DIR;
  }
  // An installed program finds its data beside its bin directory, wherever
  // the tree was installed; the configured location is the last resort.
  std::error_code ec;
  const fs::path besideBin = programFile().parent_path().parent_path() / "share" / "lamina";
  if (fs::is_directory(besideBin, ec)) return besideBin;
  return LAMINA_INSTALL_DATA_DIR;
}

fs::path findNoCase(const fs::path& dir, std::string_view name) {
  std::error_code ec;
  const fs::path exact = dir / std::string(name);
  if (fs::exists(exact, ec)) return exact;
  auto lower = [](std::string s) {
    for (char& c : s) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return s;
  };
  const std::string wanted = lower(std::string(name));
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (lower(it->path().filename().string()) == wanted) return it->path();
  }
  return exact;
}

fs::path oralisIni() {
  return findNoCase(configDirectory(), "ORALIS.INI");
}

}  // namespace lamina::paths
