#include "speech/config.h"

#include <algorithm>
#include <system_error>

#include "platform/paths.h"
#include "platform/profile.h"

namespace fs = std::filesystem;

namespace lamina::speech {
namespace {

constexpr std::size_t kValueBuffer = 256;  // 255 characters and the end byte
constexpr std::string_view kIniName = "ORALIS.INI";

bool isFile(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec);
}

}  // namespace

std::string expandProgramDirectory(std::string_view value, std::string_view programDir) {
  std::string out;
  std::size_t at = 0;
  if (value.starts_with('@')) {
    out = programDir;
    at = 1;
  }
  while (at < value.size()) {
    std::size_t hit = std::string_view::npos;
    for (std::size_t i = at; i + 1 < value.size(); ++i) {
      if (value[i] == '@' && (value[i + 1] == '\\' || value[i + 1] == '/')) {
        hit = i;
        break;
      }
    }
    if (hit == std::string_view::npos) break;
    out.append(value.substr(at, hit - at));
    out.append(programDir);
    at = hit + 1;  // the separator stays
  }
  out.append(value.substr(std::min(at, value.size())));
  return out;
}

fs::path configPath(std::string_view text) {
  std::string s(text);
  std::replace(s.begin(), s.end(), '\\', '/');
  return fs::path(s);
}

ConfigReader::ConfigReader(ConfigPlaces places) : places_(std::move(places)) {}

fs::path ConfigReader::configFile() const {
  const fs::path windowsFile = paths::findNoCase(places_.windowsDir, kIniName);
  if (!places_.windowsDir.empty() && isFile(windowsFile)) return windowsFile;
  return paths::findNoCase(places_.startDir, kIniName);
}

std::string ConfigReader::programDirectory(const fs::path& file) const {
  std::string dir = profile::readString(file, "ORALIS", "PGMORALIS", "", kValueBuffer);
  if (dir.empty() || dir.starts_with('@')) dir = places_.startDir.string();
  return dir;
}

std::string ConfigReader::readConfigValue(std::string_view section, std::string_view key) const {
  const fs::path file = configFile();
  const std::string value =
      profile::readString(file, section.empty() ? "ORALIS" : section, key, "", kValueBuffer);
  if (value.find('@') == std::string::npos) return value;
  return expandProgramDirectory(value, programDirectory(file));
}

std::string ConfigReader::readWindowsValue(std::string_view section, std::string_view key,
                                           std::string_view defaultText) const {
  return profile::readString(paths::findNoCase(places_.windowsDir, kIniName), section, key,
                             defaultText, kValueBuffer);
}

int configNumber(std::string_view text, int fallback, int lo, int hi) {
  long v = 0;
  if (!profile::parseInt(text, v)) return fallback;
  return static_cast<int>(std::clamp<long>(v, lo, hi));
}

bool configFlag(std::string_view text) {
  return !text.empty() && text.front() != 'N' && text.front() != 'n';
}

}  // namespace lamina::speech
