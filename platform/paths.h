#pragma once
// Where the program's files live on this system.
#include <filesystem>
#include <string_view>

namespace lamina::paths {

// The folder of the family's configuration file: $ORALIS_DIR when set, else
// ~/.config/oralis. This is the "Windows directory" of the family's
// settings (where a bare "ORALIS.INI" is looked up); comments that follow
// the family's wording keep that name.
std::filesystem::path configDirectory();

// The program's data directory: the build tree's copy when the running
// program lies inside the build tree, the installed share directory
// otherwise. $LAMINA_DATA_DIR overrides both.
std::filesystem::path dataDirectory();

// The running program's own file name.
std::filesystem::path programFile();

// A file in dir whose name equals name without regard to ASCII case; the
// exact name joined to dir when none matches (so a later open fails
// naturally). Windows file names are case-blind, ours are not.
std::filesystem::path findNoCase(const std::filesystem::path& dir, std::string_view name);

// The family configuration file ORALIS.INI in the configuration folder
// (the Windows directory).
std::filesystem::path oralisIni();

}  // namespace lamina::paths
