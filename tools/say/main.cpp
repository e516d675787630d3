// lamina-say: speaks a text the way the program does (numbers from recorded
// words, letters through the diphone synthesizer, symbols by their recorded
// sounds, pauses after punctuation), to the sound card or, with --wav, into
// a wave file. --trace prints every recording, unit and pause in order.
// When ORALIS.INI asks for an outside engine ([TRADUTOR] SAPI, [SERVFALA]
// TIPOSAPI), the text goes to it: MBROLA (3) or eSpeak NG (4 and others),
// their sound through the same player, so into the file too, or Speech
// Dispatcher (5: aloud, at the daemon SPEECHD_ADDRESS names, else the
// session's own).
//
//   lamina-say [--speed N] [--wav FILE] [--trace] TEXT...
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "diphone/database.h"
#include "diphone/letter_rules.h"
#include "mbrola_tts/mbrola_engine.h"
#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/paths.h"
#include "platform/recording_wave_out.h"
#include "platform/sdl_audio.h"
#include "sapi/espeak_engine.h"
#include "sapi/speech_dispatcher_engine.h"
#include "speech/speech_front.h"
#include "wave/simple_pump.h"
#include "wave/wave_player.h"

namespace {

using namespace lamina;

std::size_t bytesSoFar(const platform::RecordingWaveOut& device) {
  std::size_t n = 0;
  for (const auto& s : device.submissions()) n += s.bytes.size();
  return n;
}

// Into a wave file, pauses become silence instead of waits: each sleep is
// noted at the number of bytes written so far.
class FilePump final : public platform::MessagePump {
 public:
  FilePump(wave::SimplePump& inner, const platform::RecordingWaveOut& device)
      : inner_(inner), device_(device) {}
  bool keyPressed() override { return inner_.keyPressed(); }
  void pumpMessages() override { inner_.pumpMessages(); }
  void waitMessage() override { inner_.waitMessage(); }
  void sleepPumping(unsigned ms) override {
    pauses.emplace_back(bytesSoFar(device_), ms);
    inner_.pumpMessages();
  }
  void setWaveDoneHandler(WaveDoneHandler handler) override {
    inner_.setWaveDoneHandler(std::move(handler));
  }
  void postMessage(std::uint32_t id, std::uintptr_t p1, std::uintptr_t p2) override {
    inner_.postMessage(id, p1, p2);
  }
  std::vector<std::pair<std::size_t, unsigned>> pauses;

 private:
  wave::SimplePump& inner_;
  const platform::RecordingWaveOut& device_;
};

bool writeWave(const std::string& path, const platform::RecordingWaveOut& device,
               const std::vector<std::pair<std::size_t, unsigned>>& pauses) {
  std::vector<std::uint8_t> samples;
  platform::PcmFormat format = platform::makePcmFormat(11025, 8, 1);
  std::size_t pause = 0;
  std::size_t written = 0;
  auto silence = [&] {
    for (; pause < pauses.size() && pauses[pause].first <= written; ++pause) {
      samples.insert(samples.end(), pauses[pause].second * 11025 / 1000, 128);
    }
  };
  for (const auto& s : device.submissions()) {
    silence();
    format = s.format;
    samples.insert(samples.end(), s.bytes.begin(), s.bytes.end());
    written += s.bytes.size();
  }
  silence();
  std::vector<std::uint8_t> image(wave::kWaveHeaderSize);
  wave::makeWaveHeader(image, static_cast<std::uint32_t>(samples.size()), format.samplesPerSecond,
                       format.bitsPerSample, format.channels);
  image.insert(image.end(), samples.begin(), samples.end());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(image.data()),
            static_cast<std::streamsize>(image.size()));
  return static_cast<bool>(out);
}

// Passes everything to the real device and notes whether any block it took
// held sound: a voice without units, or no sound card, plays nothing, and
// the tool must not then report success.
class HeardDevice final : public platform::WaveOutDevice {
 public:
  explicit HeardDevice(platform::WaveOutDevice& inner) : inner_(inner) {}
  platform::WaveResult open(const platform::PcmFormat& f, platform::MessagePump& n) override {
    const auto r = inner_.open(f, n);
    if (r == platform::WaveResult::ok) format_ = f;
    return r;
  }
  platform::WaveResult prepare(platform::WaveBlock& b) override { return inner_.prepare(b); }
  platform::WaveResult write(platform::WaveBlock& b) override {
    const auto r = inner_.write(b);
    if (r == platform::WaveResult::ok && !heard) heard = holdsSound(b);
    return r;
  }
  platform::WaveResult unprepare(platform::WaveBlock& b) override { return inner_.unprepare(b); }
  platform::WaveResult reset() override { return inner_.reset(); }
  platform::WaveResult close() override { return inner_.close(); }
  bool heard = false;

 private:
  bool holdsSound(const platform::WaveBlock& b) const {
    if (format_.bitsPerSample == 16) {
      for (std::uint32_t i = 0; i + 1 < b.length; i += 2) {
        const auto v = static_cast<std::int16_t>(b.data[i] | (b.data[i + 1] << 8));
        if (v > 512 || v < -512) return true;
      }
      return false;
    }
    for (std::uint32_t i = 0; i < b.length; ++i) {
      if (b.data[i] > 130 || b.data[i] < 126) return true;
    }
    return false;
  }
  platform::WaveOutDevice& inner_;
  platform::PcmFormat format_{};
};

// A failed start is shown on standard output; a tool does not wait for Enter.
class ToolConsole final : public speech::StartConsole {
 public:
  void writeLine(std::string_view text) override {
    std::printf("%s\n", cp1252::toUtf8(text).c_str());
  }
  void readLine() override {}
  void closeConsole() override {}
};

int usage() {
  std::fputs("usage: lamina-say [--speed N] [--wav FILE] [--trace] TEXT...\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string wavPath;
  std::string text;
  int speed = 0;
  bool trace = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--wav" && i + 1 < argc) {
      wavPath = argv[++i];
      continue;
    }
    if (arg == "--speed" && i + 1 < argc) {
      const std::string_view n = argv[++i];
      if (n.size() != 1 || n[0] < '1' || n[0] > '5') return usage();
      speed = n[0] - '0';
      continue;
    }
    if (arg == "--trace") {
      trace = true;
      continue;
    }
    if (!text.empty()) text += ' ';
    text += cp1252::fromUtf8(arg);
  }
  if (text.empty()) return usage();

  wave::SimplePump pump;
  platform::RecordingWaveOut recorder;
  recorder.setAutoComplete(true);
  platform::SdlWaveOut soundCard;
  HeardDevice device(wavPath.empty() ? static_cast<platform::WaveOutDevice&>(soundCard) : recorder);
  FilePump filePump(pump, recorder);
  platform::MessagePump& playerPump =
      wavPath.empty() ? static_cast<platform::MessagePump&>(pump) : filePump;
  wave::WavePlayer player(device, playerPump);
  speech::PumpKeys keys(pump);
  ToolConsole console;
  diphone::LetterRules rules;
  diphone::DiphoneDatabase database(rules, diphone::DataLocations::standard());
  std::error_code ec;
  const speech::ConfigPlaces places{paths::configDirectory(), std::filesystem::current_path(ec)};
  mbrola_tts::StderrReporter mbrolaMessages;
  mbrola_tts::MbrolaEngine mbrola(
      player, playerPump, mbrola_tts::mbrolaSettings(speech::ConfigReader(places)), mbrolaMessages);
  sapi::EspeakEngine espeak(player, playerPump);
  const char* spdAddress = std::getenv("SPEECHD_ADDRESS");
  sapi::SpeechDispatcherEngine systemVoices(playerPump, spdAddress != nullptr ? spdAddress : "");
  speech::SpeechFront front({player,
                             playerPump,
                             keys,
                             console,
                             rules,
                             database,
                             places,
                             {&mbrola, &systemVoices, &espeak},
                             [] { return platform::localTime(); }});
  auto print = [](std::string_view line) { std::printf("%s\n", cp1252::toUtf8(line).c_str()); };
  if (trace) front.setTrace(print);
  // A voice whose index holds none of the units asked for plays only the
  // noise that stands in for missing units: that is no speech either.
  std::size_t unitsAsked = 0;
  std::size_t unitsFound = 0;
  database.setLookupObserver([&](std::string_view name, bool found) {
    ++unitsAsked;
    if (!found) return;
    ++unitsFound;
    if (trace) print("unit " + std::string(name));
  });
  if (!front.speechStart(speed, "")) return 1;
  // An outside engine may speak through its own sound output, which this
  // tool cannot hear; only the own voice is checked.
  const bool ownVoice = !front.state().engineActive;
  front.text().speakText(text);
  front.speechStop();

  if (ownVoice && (!device.heard || (unitsAsked > 0 && unitsFound == 0))) {
    std::fprintf(
        stderr, "lamina-say: nothing was spoken (%s)\n",
        wavPath.empty() ? "no sound device, or a voice without sounds" : "a voice without sounds");
    return 1;
  }
  if (!wavPath.empty() && !writeWave(wavPath, recorder, filePump.pauses)) {
    std::fprintf(stderr, "lamina-say: nothing written to %s\n", wavPath.c_str());
    return 1;
  }
  return 0;
}
