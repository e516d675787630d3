// The MBROLA engine behind the speech front-end (TIPOSAPI 3, our own voice):
// time from the speakText call to the first sample on the device (median
// and maximum over short sentences), the real-time factor of a long text
// from the call to its last sample (front-end and synthesizer together), and
// the peak memory. The device is the recording one, so only the work of the
// program is measured, not the pace of a sound card. Prints figures.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "diphone/database.h"
#include "diphone/letter_rules.h"
#include "mbrola_tts/mbrola_engine.h"
#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/recording_wave_out.h"
#include "speech/speech_front.h"
#include "wave/simple_pump.h"
#include "wave/wave_player.h"

namespace {

using namespace lamina;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

long peakKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// The recording device, noting when the first block of a sound arrives.
class TimedDevice final : public platform::WaveOutDevice {
 public:
  platform::WaveResult open(const platform::PcmFormat& f, platform::MessagePump& n) override {
    return inner.open(f, n);
  }
  platform::WaveResult prepare(platform::WaveBlock& b) override { return inner.prepare(b); }
  platform::WaveResult write(platform::WaveBlock& b) override {
    if (!seen) {
      seen = true;
      first = Clock::now();
    }
    bytes += b.length;
    return inner.write(b);
  }
  platform::WaveResult unprepare(platform::WaveBlock& b) override { return inner.unprepare(b); }
  platform::WaveResult reset() override { return inner.reset(); }
  platform::WaveResult close() override { return inner.close(); }

  platform::RecordingWaveOut inner;
  bool seen = false;
  Clock::time_point first;
  std::size_t bytes = 0;
};

class QuietConsole final : public speech::StartConsole {
 public:
  void writeLine(std::string_view text) override {
    std::printf("%s\n", cp1252::toUtf8(text).c_str());
  }
  void readLine() override {}
  void closeConsole() override {}
};

const char* kSentences[] = {
    "Bom dia.",
    "A apresentação foi convertida em texto, slide por slide.",
    "O arquivo está pronto.",
    "Digite o nome do arquivo de saída e tecle Enter.",
    "Atenção: o arquivo 12 tem 7 slides.",
};

}  // namespace

int main() {
  const fs::path dir =
      fs::temp_directory_path() / ("lamina-bench-mbrola-" + std::to_string(std::random_device{}()));
  fs::create_directories(dir);
  std::ofstream(dir / "ORALIS.INI") << "[TRADUTOR]\nSAPI=S\n[SERVFALA]\nTIPOSAPI=3\n";
  setenv("ORALIS_DIR", dir.c_str(), 1);
  const long before = peakKb();
  {
    TimedDevice device;
    device.inner.setAutoComplete(true);
    wave::SimplePump pump;
    wave::WavePlayer player(device, pump);
    speech::PumpKeys keys(pump);
    QuietConsole console;
    diphone::LetterRules rules;
    diphone::DiphoneDatabase database(rules, diphone::DataLocations::standard());
    const speech::ConfigPlaces places{dir, fs::current_path()};
    mbrola_tts::StderrReporter messages;
    mbrola_tts::MbrolaEngine engine(
        player, pump, mbrola_tts::mbrolaSettings(speech::ConfigReader(places)), messages);
    speech::SpeechFront front({player, pump, keys, console, rules, database, places,
                               speech::EngineSet{&engine, nullptr, nullptr},
                               [] { return platform::localTime(); }});
    const auto started = Clock::now();
    if (!front.speechStart(3, "") || !front.state().engineActive) {
      std::puts("mbrola engine: did not start");
      return 1;
    }
    const double startMs = ms(Clock::now() - started);

    std::vector<double> firsts;
    for (int round = 0; round < 20; ++round) {
      for (const char* s : kSentences) {
        device.seen = false;
        const auto t = Clock::now();
        front.text().speakText(cp1252::fromUtf8(s));
        if (device.seen) firsts.push_back(ms(device.first - t));
        while (front.engines().engineBusy(false)) pump.sleepPumping(1);
      }
    }
    std::sort(firsts.begin(), firsts.end());

    std::string text;
    for (int i = 0; text.size() < 4000; ++i) text += cp1252::fromUtf8(kSentences[i % 5]) + " ";
    device.bytes = 0;
    const auto t = Clock::now();
    front.text().speakText(text);
    while (front.engines().engineBusy(false)) pump.sleepPumping(1);
    const double spent = ms(Clock::now() - t);
    const double audioMs = static_cast<double>(device.bytes) / 32.0;
    front.speechStop();

    if (firsts.empty()) {
      std::puts("mbrola engine: no sound");
      return 1;
    }
    std::printf("mbrola engine: start (language files and voice) %.1f ms\n", startMs);
    std::printf(
        "mbrola engine: speakText to first sample, median %.2f ms, max %.2f ms (%zu sentences)\n",
        firsts[firsts.size() / 2], firsts.back(), firsts.size());
    std::printf(
        "mbrola engine: %zu characters, %.0f ms of sound in %.0f ms: %.0fx real time "
        "(front-end and synthesizer, one thread)\n",
        text.size(), audioMs, spent, audioMs / spent);
  }
  std::printf("mbrola engine: peak memory %ld kB (%ld kB before the engine was built)\n", peakKb(),
              before);
  std::error_code ec;
  fs::remove_all(dir, ec);
  return 0;
}
