#include "platform/paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace lamina::paths;

namespace {

// Sets an environment variable for the scope of one test.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, hadOld_ = true;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (hadOld_) {
      setenv(name_, old_.c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::string old_;
  bool hadOld_ = false;
};

}  // namespace

TEST(Paths, ConfigDirectoryComesFromOralisDirOrTheHomeConfiguration) {
  {
    ScopedEnv dir("ORALIS_DIR", "/some/where");
    EXPECT_EQ(configDirectory(), fs::path("/some/where"));
  }
  ScopedEnv dir("ORALIS_DIR", "");
  ScopedEnv home("HOME", "/home/usuario");
  EXPECT_EQ(configDirectory(), fs::path("/home/usuario/.config/oralis"));
}

TEST(Paths, FilesAreFoundWithoutRegardToCase) {
  const fs::path dir = fs::temp_directory_path() / ("lamina-paths-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "oralis.ini") << "[VIDEO]\n";
  EXPECT_EQ(findNoCase(dir, "ORALIS.INI"), dir / "oralis.ini");
  // No match: the name as asked, so that opening it fails naturally.
  EXPECT_EQ(findNoCase(dir, "OUTRO.INI"), dir / "OUTRO.INI");
  EXPECT_EQ(findNoCase(dir / "absent", "X"), dir / "absent" / "X");
  {
    ScopedEnv env("ORALIS_DIR", dir.c_str());
    EXPECT_EQ(oralisIni(), dir / "oralis.ini");
  }
  fs::remove_all(dir);
}

TEST(Paths, DataDirectoryCanBeNamedAndIsTheBuildTreesCopyHere) {
  {
    ScopedEnv env("LAMINA_DATA_DIR", "/data/lamina");
    EXPECT_EQ(dataDirectory(), fs::path("/data/lamina"));
  }
  ScopedEnv env("LAMINA_DATA_DIR", nullptr);
  // The test program runs from the build tree, so it gets the build's data.
  EXPECT_EQ(dataDirectory().filename(), "data");
  EXPECT_TRUE(fs::is_directory(dataDirectory() / "difones"));
}
