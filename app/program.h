#pragma once
// The program's single instances, created and wired at start-up.
#include <filesystem>
#include <memory>
#include <string>

#include "console/console.h"
#include "platform/headless_window.h"
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
  std::unique_ptr<platform::WindowBackend> window_;
  platform::HeadlessWindow* headless_ = nullptr;
  std::unique_ptr<platform::ToneSound> tones_;
  std::unique_ptr<console::Console> console_;
};

// The console demo: coloured text, scrolling, a line read with echo and the
// codes of the keys pressed. Esc ends it.
void runConsoleDemo(console::Console& console, const std::filesystem::path& keyLog);

}  // namespace lamina::app
