// Scrolling speed of the console on the SDL window: 10 000 lines of 80
// characters written through the console, with LENTO off (every scroll
// repaints the 25 rows) and on (pixel copy of 24 rows and one row filled).
// Needs a display; run it under a virtual one:
//   xvfb-run -a build/bench/console/bench_console_window [LINES]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "console/console.h"
#include "platform/sdl_window.h"
#include "platform/sound.h"

namespace {

struct Figures {
  double microsPerLine = 0;
  bool pixelCopy = false;
};

bool runOnce(const std::filesystem::path& ini, bool lento, int lines, Figures& figures) {
  {
    std::ofstream out(ini);
    out << "[VIDEO]\r\nLENTO=" << (lento ? 'S' : 'N') << "\r\n";
  }
  auto window = lamina::platform::createSdlWindowBackend();
  if (!window) return false;
  lamina::platform::SilentToneSound tones;
  lamina::console::ConsoleOptions options;
  options.iniFile = ini;
  options.caption = "lamina bench";
  options.terminate = [](int) {};
  lamina::console::Console console(*window, tones, options);
  console.ensureConsole();
  // Let the window be shown and take the focus before timing.
  for (int i = 0; i < 50 && !window->isActive(); ++i) console.sleepPumping(20);
  console.sleepPumping(100);
  figures.pixelCopy = lento && window->isActive();

  std::string line;
  for (int c = 0; c < 80; ++c) line.push_back(static_cast<char>('A' + (c % 26)));
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < lines; ++i) {
    line[0] = static_cast<char>('0' + i % 10);
    console.writeLine(line);
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;
  figures.microsPerLine =
      std::chrono::duration<double, std::micro>(elapsed).count() / static_cast<double>(lines);
  return true;
}

// The window side alone, as the console drives it per scrolled line: the
// 25 rows redrawn (LENTO off) or 24 rows copied and one filled (LENTO on),
// with and without copying the picture to the display (where the server
// copies the scrolled rows itself, a scroll first brings the window up to
// date, so the two LENTO on figures differ little).
void backendFigures(int lines) {
  using lamina::platform::Rgb;
  auto window = lamina::platform::createSdlWindowBackend();
  if (!window) return;
  window->openFont({"Lucida Console", 9, 22, 700});
  lamina::platform::WindowSpec spec;
  spec.caption = "lamina bench";
  spec.width = 720;
  spec.height = 550;
  if (!window->createWindow(spec)) return;
  lamina::platform::Message m;
  while (window->peekMessage(m)) {
  }
  const std::string row(80, 'x');
  const Rgb white{255, 255, 255}, black{0, 0, 0};
  for (const bool present : {false, true}) {
    for (const bool lento : {false, true}) {
      const auto start = std::chrono::steady_clock::now();
      for (int i = 0; i < lines; ++i) {
        window->drawText(0, 24 * 22, row, white, black);
        if (lento) {
          window->scrollUp(0, 22, 720, 24 * 22, 22);
          window->fillRect(0, 24 * 22, 720, 22, black);
        } else {
          for (int r = 0; r < 25; ++r) window->drawText(0, r * 22, row, white, black);
        }
        if (present) window->present();
      }
      const double us =
          std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
              .count() /
          lines;
      std::printf("backend only, LENTO %-3s %-17s %8.1f us per line\n", lento ? "on" : "off",
                  present ? "drawn and shown" : "drawn, not shown", us);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int lines = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
  const auto dir = std::filesystem::temp_directory_path() / "lamina-window-bench";
  std::filesystem::create_directories(dir);
  const auto ini = dir / "ORALIS.INI";
  std::printf("console on the SDL window, %d lines of 80 characters\n", lines);
  for (const bool lento : {false, true}) {
    Figures figures;
    if (!runOnce(ini, lento, lines, figures)) {
      std::printf("no display: run under xvfb-run -a\n");
      std::filesystem::remove_all(dir);
      return 1;
    }
    std::printf("LENTO %-3s  %8.1f us per line  %8.0f lines per second%s\n", lento ? "on" : "off",
                figures.microsPerLine, 1e6 / figures.microsPerLine,
                lento && !figures.pixelCopy ? "  (window not active: repainted instead)" : "");
  }
  std::filesystem::remove_all(dir);
  backendFigures(std::min(lines, 2000));
  return 0;
}
