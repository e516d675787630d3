// The Braille mode tones as a user hears them: played by the console
// through the SDL tone device into SDL's disk driver, which writes every
// sample the device was handed to a file in real time.
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "console/console.h"
#include "platform/headless_window.h"
#include "platform/sdl_tone_sound.h"

namespace lamina::console {
namespace {

// Samples (11025 per second, 8 bits) in runs of one tone: the 800 Hz tone
// changes level every 6 to 8 samples, the 1600 Hz and 400 Hz tones every 3
// or 4 and every 13 to 15.
struct ToneLengths {
  int low = 0;     // 400 Hz
  int middle = 0;  // 800 Hz
  int high = 0;    // 1600 Hz
};

ToneLengths measure(const std::vector<std::uint8_t>& samples) {
  ToneLengths lengths;
  std::size_t i = 0;
  while (i < samples.size()) {
    std::size_t j = i;
    while (j < samples.size() && samples[j] == samples[i]) ++j;
    const int run = static_cast<int>(j - i);
    if (samples[i] == 96 || samples[i] == 160) {
      if (run >= 3 && run <= 4) lengths.high += run;
      if (run >= 6 && run <= 8) lengths.middle += run;
      if (run >= 13 && run <= 15) lengths.low += run;
    }
    i = j;
  }
  return lengths;
}

TEST(ConsoleTones, EachBrailleToneIsHeardForItsFullLength) {
  const auto file = std::filesystem::temp_directory_path() /
                    ("lamina-tones-" + std::to_string(::getpid()) + ".raw");
  SDL_setenv("SDL_AUDIODRIVER", "disk", 1);
  SDL_setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
  int devices = 0;
  {
    platform::HeadlessWindow window;
    platform::SdlToneSound tones;
    ConsoleOptions options;
    options.terminate = [](int) {};
    Console console(window, tones, options);
    console.ensureConsole();
    console.setBrailleMode(1);  // 800 Hz, then 1600 Hz
    console.setBrailleMode(2);  // 800 Hz, then 400 Hz
    // What was handed to the device reaches the file.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    devices = tones.devicesOpened();
  }
  SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
  std::ifstream in(file, std::ios::binary);
  const std::vector<std::uint8_t> samples{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
  std::filesystem::remove(file);
  EXPECT_EQ(devices, 1);
  // 200 ms is 2205 samples; a run cut at a tone's edge is not counted. A
  // loaded machine may sleep longer than asked, never shorter.
  const ToneLengths got = measure(samples);
  EXPECT_GE(got.middle, 2 * 2205 - 40);
  EXPECT_LE(got.middle, 2 * 2 * 2205);
  EXPECT_GE(got.high, 2205 - 20);
  EXPECT_LE(got.high, 2 * 2205);
  EXPECT_GE(got.low, 2205 - 40);
  EXPECT_LE(got.low, 2 * 2205);
}

}  // namespace
}  // namespace lamina::console
