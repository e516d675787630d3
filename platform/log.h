#pragma once
// Problems for the people who look after the program: SDL, GLib, libzip and
// file failures, settings that had to be clamped, a window that could not be
// made. One line each, with a level and a category, to standard error or to
// a file. Nothing here ever reaches the console the user hears.
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace lamina::platform {

enum class LogLevel { debug = 0, info = 1, warning = 2, error = 3, off = 4 };

std::string_view levelName(LogLevel level);

class Logger {
 public:
  // Writes to standard error from warning up.
  Logger();
  ~Logger();
  Logger(const Logger&) = delete;
  Logger& operator=(const Logger&) = delete;

  // Appends to the file from now on; false (and standard error kept) when
  // it cannot be opened.
  bool openFile(const std::filesystem::path& file);
  void useStandardError();
  void setLevel(LogLevel level);
  LogLevel level() const;
  bool enabled(LogLevel level) const;

  // "lamina LEVEL CATEGORY: message"; may be called from any thread.
  void write(LogLevel level, std::string_view category, std::string_view message);

 private:
  struct File;
  mutable std::mutex mutex_;
  LogLevel level_ = LogLevel::warning;
  std::unique_ptr<File> file_;
};

// The process's logger: the libraries report through it from wherever a
// failure happens, as GLib's handler does.
Logger& processLog();

// Points the process's logger at the file named by the program's --log
// option when given, else by LAMINA_LOG when set (from info up), else at
// standard error (from warning up). False when the named file cannot be
// opened.
bool configureProcessLog(const std::filesystem::path& optionFile);

inline void logError(std::string_view category, std::string_view message) {
  processLog().write(LogLevel::error, category, message);
}
inline void logWarning(std::string_view category, std::string_view message) {
  processLog().write(LogLevel::warning, category, message);
}
inline void logInfo(std::string_view category, std::string_view message) {
  processLog().write(LogLevel::info, category, message);
}

}  // namespace lamina::platform
