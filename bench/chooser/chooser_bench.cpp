// The file chooser over 2000 files on the headless console with the
// installed voice: time from a key reaching the window (Down, Page Down) to
// the first sample of the entry's name handed to the audio callback, median
// and maximum. Prints figures; usage: bench_chooser (SDL_AUDIODRIVER
// chooses the driver; dummy when unset).
#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "chooser/chooser.h"
#include "console/console.h"
#include "diphone/database.h"
#include "diphone/letter_rules.h"
#include "platform/clock.h"
#include "platform/headless_window.h"
#include "platform/paths.h"
#include "platform/sdl_audio.h"
#include "platform/sound.h"
#include "speech/line_editor.h"
#include "speech/speech_front.h"
#include "wave/wave_player.h"

namespace {

using namespace lamina;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

class QuietConsole final : public speech::StartConsole {
 public:
  void writeLine(std::string_view text) override { std::printf("%s\n", std::string(text).c_str()); }
  void readLine() override {}
  void closeConsole() override {}
};

double ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

void print(const char* what, std::vector<double> v) {
  if (v.empty()) {
    std::printf("%-34s no samples\n", what);
    return;
  }
  std::sort(v.begin(), v.end());
  std::printf("%-34s n=%zu  median %7.2f ms  max %7.2f ms\n", what, v.size(), v[v.size() / 2],
              v.back());
}

}  // namespace

int main() {
  SDL_setenv("SDL_AUDIODRIVER", "dummy", 0);
  std::random_device random;
  const fs::path dir =
      fs::temp_directory_path() / ("lamina-chooser-bench-" + std::to_string(random()));
  fs::create_directories(dir);
  for (int i = 0; i < 2000; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "aula%04d.ppt", i);
    std::ofstream(dir / name) << "x";
  }
  const fs::path previous = fs::current_path();
  fs::current_path(dir);

  {
    platform::HeadlessWindow window;
    platform::SilentToneSound tones;
    console::ConsoleOptions options;
    options.caption = "lamina";
    console::Console console(window, tones, options);
    platform::SdlWaveOut device(20);
    wave::WavePlayer player(device, console);
    speech::ConsoleKeys keys(console);
    QuietConsole quiet;
    diphone::LetterRules rules;
    diphone::DiphoneDatabase database(rules, diphone::DataLocations::standard());
    speech::SpeechFront front({player,
                               console,
                               keys,
                               quiet,
                               rules,
                               database,
                               {paths::configDirectory(), fs::current_path()},
                               {},
                               [] { return platform::localTime(); }});
    if (!front.speechStart(3, "")) return 1;
    speech::LineEditor editor({console, front, {}, {}});
    chooser::FileChooser chooser(console, front, editor);
    console.ensureConsole();

    std::atomic<std::int64_t> firstSound{0};
    std::atomic<bool> armed{false};
    std::atomic<std::int64_t> lastSound{Clock::now().time_since_epoch().count()};
    device.setFeedObserver([&](std::size_t blockBytes) {
      std::int64_t none = 0;
      if (blockBytes > 0) lastSound = Clock::now().time_since_epoch().count();
      if (blockBytes > 0 && armed &&
          firstSound.compare_exchange_strong(none, Clock::now().time_since_epoch().count()))
        armed = false;
    });

    std::vector<double> down;
    std::vector<double> pageDown;
    std::thread driver([&] {
      // Each key once the name before it has been heard to its end, so
      // that the chooser is waiting for it.
      auto press = [&](const char* key, std::vector<double>& into) {
        while (Clock::now() - Clock::time_point(Clock::duration(lastSound.load())) <
               std::chrono::milliseconds(150))
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
        firstSound = 0;
        armed = true;
        const auto t0 = Clock::now();
        window.appendScript(key);
        while (firstSound == 0 && Clock::now() - t0 < std::chrono::seconds(10))
          std::this_thread::sleep_for(std::chrono::microseconds(200));
        if (firstSound != 0)
          into.push_back(ms(Clock::time_point(Clock::duration(firstSound.load())) - t0));
      };
      std::vector<double> opening;
      press("{Down}", opening);
      for (int i = 0; i < 10; ++i) press("{Down}", down);
      for (int i = 0; i < 10; ++i) press("{PgDn}", pageDown);
      window.appendScript("{Esc}");
      window.endScript();
      print("list opened -> first name", opening);
    });
    const auto chosen = chooser.chooseFile(10, "*.ppt");
    driver.join();
    print("Down -> first sample of the name", down);
    print("Page Down -> first sample of name", pageDown);
    std::printf("chosen: \"%s\" (Esc: empty)\n", chosen.name.c_str());
    front.speechStop();
  }
  fs::current_path(previous);
  fs::remove_all(dir);
}
