// GLib's messages (libgsf's complaints about damaged files, GObject's
// criticals) reach the process's logger instead of being dropped.
#include "presentation/glib_log.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/log.h"

namespace lamina::presentation {
namespace {

TEST(GlibLog, MessagesReachTheLogWithTheirDomainAndLevel) {
  const auto file = std::filesystem::temp_directory_path() /
                    ("lamina-glib-" + std::to_string(g_random_int()) + ".log");
  routeGlibLog();
  routeGlibLog();  // a second call must not install a second handler
  auto& log = platform::processLog();
  ASSERT_TRUE(log.openFile(file));
  log.setLevel(platform::LogLevel::info);
  g_log("libgsf:msole", G_LOG_LEVEL_WARNING, "bad sector %d", 7);
  g_log("GLib-GObject", G_LOG_LEVEL_CRITICAL, "instance is not a GObject");
  g_log("libgsf", G_LOG_LEVEL_DEBUG, "below the level");
  log.useStandardError();
  log.setLevel(platform::LogLevel::warning);

  std::ifstream in(file);
  std::ostringstream text;
  text << in.rdbuf();
  std::filesystem::remove(file);
  EXPECT_EQ(text.str(),
            "lamina warning glib:libgsf:msole: bad sector 7\n"
            "lamina error glib:GLib-GObject: instance is not a GObject\n");
}

}  // namespace
}  // namespace lamina::presentation
