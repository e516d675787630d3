#pragma once
// The program's single instances, created and wired at start-up.
#include <atomic>
#include <filesystem>
#include <iostream>
#include <istream>
#include <memory>
#include <string>
#include <string_view>

#include "console/console.h"
#include "converter/sequence.h"
#include "platform/headless_window.h"
#include "platform/quit_signals.h"
#include "platform/sound.h"
#include "platform/wave_out.h"
#include "platform/window.h"
#include "wave/wave_player.h"

namespace lamina::app {

struct Options {
  enum class ConsoleKind { Automatic, Sdl, Terminal, Headless };
  ConsoleKind console = ConsoleKind::Automatic;
  std::filesystem::path screenDump;
  std::filesystem::path keyLog;
  std::filesystem::path logFile;  // --log: where problems are logged
  std::string error;              // set when the command line is not understood
  bool demo = false;              // --demo-console: the console demo instead
  std::string inputFile;          // the presentation named on the command line
  bool help = false;              // --help: print the options and end
  bool version = false;           // --version: print the version and end
  // Where the headless console reads its key script; none: only what is
  // appended to the window.
  std::istream* keyScript = &std::cin;
};

Options parseOptions(int argc, char** argv);

// A failed device operation of the wave player, on the console: the text
// as it stands (no line end), then a line read, so that the user confirms
// with Enter before the sound goes on.
class ConsoleDeviceErrors final : public wave::DeviceErrorReporter {
 public:
  explicit ConsoleDeviceErrors(console::Console& console) : console_(console) {}
  void showAndWaitEnter(std::string_view text) override;

 private:
  console::Console& console_;
};

class Program {
 public:
  // waveOut: the sound device; none: the system's.
  explicit Program(const Options& options,
                   std::unique_ptr<platform::WaveOutDevice> waveOut = nullptr);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;
  console::Console& console() { return *console_; }
  wave::WavePlayer& player() { return *player_; }
  bool headless() const { return headless_ != nullptr; }
  platform::HeadlessWindow* headlessWindow() { return headless_; }

 private:
  // The console without a window, keys read from the script (none: only
  // what a test appends).
  platform::HeadlessWindow* makeHeadless(std::istream* keyScript);

  // First: a signal during start-up ends the program too.
  std::unique_ptr<platform::QuitSignals> signals_;
  std::unique_ptr<platform::WindowBackend> window_;
  std::unique_ptr<platform::HeadlessWindow> fallback_;
  platform::HeadlessWindow* headless_ = nullptr;
  // The backend whose queue the console reads; the signal thread posts there.
  std::atomic<platform::WindowBackend*> quitTarget_ = nullptr;
  std::unique_ptr<platform::ToneSound> tones_;
  std::unique_ptr<console::Console> console_;
  std::unique_ptr<platform::WaveOutDevice> waveOut_;
  std::unique_ptr<ConsoleDeviceErrors> deviceErrors_;
  std::unique_ptr<wave::WavePlayer> player_;
};

// The console demo: coloured text, scrolling, a line read with echo and the
// codes of the keys pressed. Esc ends it.
void runConsoleDemo(console::Console& console, wave::WavePlayer& player,
                    const std::filesystem::path& keyLog);

// The talking conversion: speech started, the files asked for, the
// presentation converted, the end announced, speech stopped and the console
// closed, which ends the process with exit code 0. chooser: the file
// chooser asked when no presentation was named (unset: none is chosen).
void runConversion(Program& program, const Options& options, converter::ChooseFile chooser = {});

}  // namespace lamina::app
