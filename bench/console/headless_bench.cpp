// Scrolling speed of the console's own work (screen buffer, runs of equal
// attribute, message pumping) on the headless backend: 10 000 lines of 80
// characters, LENTO off and on. Figures, not a test.
//   build/bench/console/bench_console_headless [LINES]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "console/console.h"
#include "platform/headless_window.h"
#include "platform/sound.h"

namespace {

double microsPerLine(const std::filesystem::path& ini, bool lento, int lines, int& scrolls) {
  std::ofstream(ini) << "[VIDEO]\r\nLENTO=" << (lento ? 'S' : 'N') << "\r\n";
  lamina::platform::HeadlessWindow window;
  lamina::platform::SilentToneSound tones;
  lamina::console::ConsoleOptions options;
  options.iniFile = ini;
  options.terminate = [](int) {};
  lamina::console::Console console(window, tones, options);
  console.ensureConsole();
  std::string line;
  for (int c = 0; c < 80; ++c) line.push_back(static_cast<char>('A' + (c % 26)));
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < lines; ++i) {
    line[0] = static_cast<char>('0' + i % 10);
    console.setTextColor(1 + i % 15);
    console.writeLine(line);
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;
  scrolls = window.scrolls();
  return std::chrono::duration<double, std::micro>(elapsed).count() / lines;
}

}  // namespace

int main(int argc, char** argv) {
  const int lines = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
  const auto dir = std::filesystem::temp_directory_path() / "lamina-bench-console";
  std::filesystem::create_directories(dir);
  for (const bool lento : {false, true}) {
    int scrolls = 0;
    const double us = microsPerLine(dir / "ORALIS.INI", lento, lines, scrolls);
    std::printf(
        "headless, LENTO %s: %d lines of 80 characters, %.2f us/line (%.0f lines/s), %d pixel-copy "
        "scrolls\n",
        lento ? "on " : "off", lines, us, 1e6 / us, scrolls);
  }
  std::filesystem::remove_all(dir);
  return 0;
}
