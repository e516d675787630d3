// Text speaking with the installed voice: time from the speakText call to
// its first sample handed to the audio callback (median and maximum over 200
// short texts), and the real-time factor of a 2000-character text.
// Prints figures; usage: bench_speech (SDL_AUDIODRIVER chooses the driver;
// dummy when unset).
#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "diphone/database.h"
#include "diphone/letter_rules.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/recording_wave_out.h"
#include "platform/sdl_audio.h"
#include "speech/speech_front.h"
#include "wave/simple_pump.h"
#include "wave/wave_player.h"

namespace {

using namespace lamina;
using Clock = std::chrono::steady_clock;

class QuietConsole final : public speech::StartConsole {
 public:
  void writeLine(std::string_view text) override { std::printf("%s\n", std::string(text).c_str()); }
  void readLine() override {}
  void closeConsole() override {}
};

// One speech front-end on a device.
struct Voice {
  Voice(platform::WaveOutDevice& device, wave::SimplePump& p)
      : pump(p),
        player(device, pump),
        keys(pump),
        database(rules, diphone::DataLocations::standard()),
        front({player,
               pump,
               keys,
               console,
               rules,
               database,
               {paths::configDirectory(), std::filesystem::current_path()},
               {},
               [] { return platform::localTime(); }}) {}
  wave::SimplePump& pump;
  wave::WavePlayer player;
  speech::PumpKeys keys;
  QuietConsole console;
  diphone::LetterRules rules;
  diphone::DiphoneDatabase database;
  speech::SpeechFront front;
};

double ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

std::string longText() {
  const char* pieces[] = {
      "Bom dia, hoje temos 42 apresenta\xE7\xF5"
      "es para converter. ",
      "O arquivo 1250 tem 007 slides; ", "veja www.exemplo.com.br ou http://lamina.org/ajuda. ",
      "Telefone 3333-4444, ramal 12. ",
      "Aten\xE7\xE3o!!! Isto \xE9 um teste (com par\xEAnteses): fim. "};
  std::string text;
  for (int i = 0; text.size() < 2000; ++i) text += pieces[i % 5];
  text.resize(2000);
  return text;
}

}  // namespace

int main() {
  SDL_setenv("SDL_AUDIODRIVER", "dummy", 0);

  // Latency on the real output path.
  {
    platform::SdlWaveOut device(20);
    wave::SimplePump pump;
    Voice voice(device, pump);
    std::atomic<std::int64_t> firstSound{0};
    device.setFeedObserver([&](std::size_t blockBytes) {
      std::int64_t none = 0;
      // Once the first sample is out, a key ends the text: only the start
      // is measured, and the run stays short.
      if (blockBytes > 0 &&
          firstSound.compare_exchange_strong(none, Clock::now().time_since_epoch().count())) {
        pump.pushKey(' ');
      }
    });
    if (!voice.front.speechStart(3, "")) return 1;
    const char* texts[] = {
        "Bom dia.", "42",          "Arquivo 3 de 10", "sim", "www.exemplo.com.br",
        "Erro!",    "R$ 1.250,00", "14:30",           "-5",  "Slide 12, t\xEDtulo."};
    std::vector<double> start;
    for (int i = 0; i < 200; ++i) {
      firstSound = 0;
      const auto t0 = Clock::now();
      voice.front.text().speakText(texts[i % 10]);
      while (voice.front.recorded().isSpeaking()) pump.waitMessage();
      while (pump.keyPressed()) pump.takeKey();
      if (firstSound != 0) {
        start.push_back(ms(Clock::time_point(Clock::duration(firstSound.load())) - t0));
      }
    }
    voice.front.speechStop();
    if (!start.empty()) {
      const double first = start.front();
      std::sort(start.begin(), start.end());
      std::printf(
          "speakText -> first sample   n=%zu  median %6.2f ms  max %6.2f ms  "
          "(first call %6.2f ms)\n",
          start.size(), start[start.size() / 2], start.back(), first);
    }
  }

  // Real-time factor: sound made as fast as the program can, pauses counted
  // as sound but not slept.
  {
    platform::RecordingWaveOut device;
    device.setAutoComplete(true);
    wave::SimplePump pump;
    pump.setIdleHook([] {});
    Voice voice(device, pump);
    if (!voice.front.speechStart(3, "")) return 1;
    const std::string text = longText();
    const auto t0 = Clock::now();
    voice.front.text().speakText(text);
    const double took = ms(Clock::now() - t0);
    voice.front.speechStop();
    std::size_t bytes = 0;
    for (const auto& s : device.submissions()) bytes += s.bytes.size();
    const double soundMs = 1000.0 * static_cast<double>(bytes) / 11025.0;
    const auto pauseMs = static_cast<double>(pump.virtualSleptMs());
    std::printf(
        "2000 characters: %.0f ms of sound + %.0f ms of pauses made in %.1f ms, "
        "real-time factor %.6f\n",
        soundMs, pauseMs, took, took / (soundMs + pauseMs));
  }
  return 0;
}
