#include "presentation/glib_log.h"

#include <glib.h>

#include <mutex>
#include <string>

#include "platform/log.h"

namespace lamina::presentation {
namespace {

platform::LogLevel levelOf(GLogLevelFlags flags) {
  if (flags & (G_LOG_LEVEL_ERROR | G_LOG_LEVEL_CRITICAL)) return platform::LogLevel::error;
  if (flags & G_LOG_LEVEL_WARNING) return platform::LogLevel::warning;
  if (flags & (G_LOG_LEVEL_MESSAGE | G_LOG_LEVEL_INFO)) return platform::LogLevel::info;
  return platform::LogLevel::debug;
}

void toLogger(const gchar* domain, GLogLevelFlags flags, const gchar* message, gpointer) {
  std::string category = "glib";
  if (domain && *domain) category += std::string(":") + domain;
  platform::processLog().write(levelOf(flags), category, message ? message : "");
}

}  // namespace

void routeGlibLog() {
  static std::once_flag once;
  std::call_once(once, [] { g_log_set_default_handler(toLogger, nullptr); });
}

}  // namespace lamina::presentation
