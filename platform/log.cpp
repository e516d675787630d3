#include "platform/log.h"

#include <cstdio>
#include <cstdlib>

namespace lamina::platform {

struct Logger::File {
  std::FILE* handle = nullptr;
  ~File() {
    if (handle) std::fclose(handle);
  }
};

std::string_view levelName(LogLevel level) {
  switch (level) {
    case LogLevel::debug:
      return "debug";
    case LogLevel::info:
      return "info";
    case LogLevel::warning:
      return "warning";
    case LogLevel::error:
      return "error";
    case LogLevel::off:
      break;
  }
  return "off";
}

Logger::Logger() = default;
Logger::~Logger() = default;

bool Logger::openFile(const std::filesystem::path& file) {
  auto opened = std::make_unique<File>();
  opened->handle = std::fopen(file.c_str(), "ab");
  if (!opened->handle) return false;
  std::lock_guard lock(mutex_);
  file_ = std::move(opened);
  return true;
}

void Logger::useStandardError() {
  std::lock_guard lock(mutex_);
  file_.reset();
}

void Logger::setLevel(LogLevel level) {
  std::lock_guard lock(mutex_);
  level_ = level;
}

LogLevel Logger::level() const {
  std::lock_guard lock(mutex_);
  return level_;
}

bool Logger::enabled(LogLevel level) const {
  return level != LogLevel::off && level >= this->level();
}

void Logger::write(LogLevel level, std::string_view category, std::string_view message) {
  if (!enabled(level)) return;
  std::string line = "lamina ";
  line += levelName(level);
  line += ' ';
  line += category;
  line += ": ";
  // One entry is one line, whatever the message holds.
  for (const char c : message) line += (c == '\n' || c == '\r') ? ' ' : c;
  line += '\n';
  std::lock_guard lock(mutex_);
  std::FILE* out = file_ ? file_->handle : stderr;
  std::fwrite(line.data(), 1, line.size(), out);
  std::fflush(out);
}

Logger& processLog() {
  static Logger logger;
  return logger;
}

bool configureProcessLog(const std::filesystem::path& optionFile) {
  std::filesystem::path file = optionFile;
  if (file.empty()) {
    const char* variable = std::getenv("LAMINA_LOG");
    if (variable && *variable) file = variable;
  }
  if (file.empty()) {
    processLog().useStandardError();
    processLog().setLevel(LogLevel::warning);
    return true;
  }
  // Whoever asks for a file wants the notes too, not only the failures.
  if (processLog().openFile(file)) {
    processLog().setLevel(LogLevel::info);
    return true;
  }
  logError("log", "cannot open the log file " + file.string());
  return false;
}

}  // namespace lamina::platform
