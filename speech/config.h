#pragma once
// The family configuration file ORALIS.INI as the speech front-end reads it:
// the Windows directory's file when it exists, else the start directory's,
// with "@" standing for the family's program directory.
#include <filesystem>
#include <string>
#include <string_view>

namespace lamina::speech {

struct ConfigPlaces {
  std::filesystem::path windowsDir;  // where the console's ORALIS.INI lies
  std::filesystem::path startDir;    // the directory the program started in
};

// Expands "@": a leading "@" becomes the program directory, and so does the
// "@" of every "@\" or "@/". Only the text of `value` is searched, never a
// program directory already put in, so the expansion always ends.
std::string expandProgramDirectory(std::string_view value, std::string_view programDir);

// A configuration value (cp1252, "\" or "/" separated) as a path.
std::filesystem::path configPath(std::string_view text);

class ConfigReader {
 public:
  explicit ConfigReader(ConfigPlaces places);

  // The key's value (at most 255 characters as read) with "@" expanded;
  // empty when the key is missing. An empty section means "ORALIS".
  std::string readConfigValue(std::string_view section, std::string_view key) const;
  // A key of the Windows directory's file only, without expansion.
  std::string readWindowsValue(std::string_view section, std::string_view key,
                               std::string_view defaultText) const;
  // The file that lookups use.
  std::filesystem::path configFile() const;
  const ConfigPlaces& places() const { return places_; }

 private:
  std::string programDirectory(const std::filesystem::path& file) const;

  ConfigPlaces places_;
};

// A decimal number of a key, or `fallback` when it is not a number; cut
// to lo..hi so that no setting can ask for an absurd size or wait.
int configNumber(std::string_view text, int fallback, int lo, int hi);
// A flag key: on when not empty and not beginning with "N" or "n".
bool configFlag(std::string_view text);

}  // namespace lamina::speech
