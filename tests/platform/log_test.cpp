#include "platform/log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace lamina::platform {
namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("lamina-log-" + std::to_string(::getpid()));
    fs::create_directories(dir);
  }
  void TearDown() override {
    processLog().useStandardError();
    ::unsetenv("LAMINA_LOG");
    fs::remove_all(dir);
  }
  fs::path dir;
};

TEST_F(LogTest, FileGetsOneLinePerEntryAtOrAboveTheLevel) {
  Logger log;
  ASSERT_TRUE(log.openFile(dir / "a.log"));
  log.write(LogLevel::info, "console", "not shown at the default level");
  log.write(LogLevel::warning, "console", "TAMANHO clamped\nto 30");
  log.write(LogLevel::error, "sdl", "no video");
  log.setLevel(LogLevel::off);
  log.write(LogLevel::error, "sdl", "nothing when off");
  log.setLevel(LogLevel::debug);
  log.write(LogLevel::debug, "glib", "everything at debug");
  EXPECT_EQ(readAll(dir / "a.log"),
            "lamina warning console: TAMANHO clamped to 30\n"
            "lamina error sdl: no video\n"
            "lamina debug glib: everything at debug\n");
  EXPECT_FALSE(log.openFile(dir / "missing" / "b.log"));
}

TEST_F(LogTest, OptionWinsOverTheEnvironment) {
  ::setenv("LAMINA_LOG", (dir / "env.log").c_str(), 1);
  ASSERT_TRUE(configureProcessLog({}));
  logInfo("test", "to the variable's file");
  ASSERT_TRUE(configureProcessLog(dir / "option.log"));
  logError("test", "to the option's file");
  EXPECT_EQ(readAll(dir / "env.log"), "lamina info test: to the variable's file\n");
  EXPECT_EQ(readAll(dir / "option.log"), "lamina error test: to the option's file\n");
  EXPECT_FALSE(configureProcessLog(dir / "missing" / "c.log"));
}

}  // namespace
}  // namespace lamina::platform
