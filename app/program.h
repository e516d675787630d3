#pragma once
// The program's single instances, created and wired at start-up.
#include <atomic>
#include <filesystem>
#include <memory>
#include <string>

#include "console/console.h"
#include "platform/headless_window.h"
#include "platform/quit_signals.h"
#include "platform/sound.h"
#include "platform/window.h"

namespace lamina::app {

struct Options {
  enum class ConsoleKind { Automatic, Sdl, Headless };
  ConsoleKind console = ConsoleKind::Automatic;
  std::filesystem::path screenDump;
  std::filesystem::path keyLog;
  std::filesystem::path logFile;  // --log: where problems are logged
  std::string error;              // set when the command line is not understood
};

Options parseOptions(int argc, char** argv);

class Program {
 public:
  explicit Program(const Options& options);
  console::Console& console() { return *console_; }
  bool headless() const { return headless_ != nullptr; }

 private:
  // The console without a window, keys read from standard input.
  platform::HeadlessWindow* makeHeadless();

  // First: a signal during start-up ends the program too.
  std::unique_ptr<platform::QuitSignals> signals_;
  std::unique_ptr<platform::WindowBackend> window_;
  std::unique_ptr<platform::HeadlessWindow> fallback_;
  platform::HeadlessWindow* headless_ = nullptr;
  // The backend whose queue the console reads; the signal thread posts there.
  std::atomic<platform::WindowBackend*> quitTarget_ = nullptr;
  std::unique_ptr<platform::ToneSound> tones_;
  std::unique_ptr<console::Console> console_;
};

// The console demo: coloured text, scrolling, a line read with echo and the
// codes of the keys pressed. Esc ends it.
void runConsoleDemo(console::Console& console, const std::filesystem::path& keyLog);

}  // namespace lamina::app
