// Settings text and spoken text from random bytes: the input up to its first
// zero byte is an ORALIS.INI whose every key of [ORALIS] is read and
// expanded with its PGMORALIS; the rest is spoken by speakText into a
// recording device (no voice files: only the splitting, the numbers and the
// pauses run).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "diphone/database.h"
#include "diphone/letter_rules.h"
#include "platform/profile.h"
#include "platform/recording_wave_out.h"
#include "speech/config.h"
#include "speech/speech_front.h"
#include "wave/simple_pump.h"
#include "wave/wave_player.h"

namespace {

using namespace lamina;

class NoConsole final : public speech::StartConsole {
 public:
  void writeLine(std::string_view) override {}
  void readLine() override {}
  void closeConsole() override {}
};

struct Speaker {
  Speaker() {
    device.setAutoComplete(true);
    pump.setIdleHook([] {});
  }
  platform::RecordingWaveOut device;
  wave::SimplePump pump;
  wave::WavePlayer player{device, pump};
  speech::PumpKeys keys{pump};
  NoConsole console;
  diphone::LetterRules rules;
  diphone::DiphoneDatabase database{rules, {"", "", ""}};
  speech::SpeechFront front{{player, pump, keys, console, rules, database, {"", ""}, {}, [] {
                               return platform::LocalTime{2026, 12, 7, 1, 14, 30, 0, 0};
                             }}};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Speaker speaker;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t cut = input.find('\0');
  const std::string_view ini = input.substr(0, cut);
  const std::string_view text = cut == std::string_view::npos ? "" : input.substr(cut + 1);

  const std::string program = profile::readStringFromText(ini, "ORALIS", "PGMORALIS", "", 256);
  for (const char* key : {"A", "B", "SOM", "PGMORALIS"}) {
    const std::string value = profile::readStringFromText(ini, "oralis", key, "", 256);
    const std::string out = speech::expandProgramDirectory(value, program);
    if (out.size() > value.size() * (program.size() + 1) + 1) __builtin_trap();
  }
  speech::configNumber(profile::readStringFromText(ini, "SINTETIZADOR", "PAUSAVIRG3", "", 256), 150,
                       0, 5000);

  speaker.device.clearSubmissions();
  speaker.front.text().speakText(text);
  return 0;
}
