// lamina-say: speaks a text with the program's own diphone synthesizer, the
// way text speaking does it (digit runs spelled for now, runs of letters
// through the letter rules, other characters by their recorded sounds), to
// the sound card or, with --wav, into a wave file.
//
//   lamina-say [--wav FILE] TEXT...
#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "diphone/database.h"
#include "diphone/letter_rules.h"
#include "diphone/say_text.h"
#include "diphone/speaker.h"
#include "platform/cp1252.h"
#include "platform/recording_wave_out.h"
#include "platform/sdl_audio.h"
#include "speech/recorded_speech.h"
#include "wave/simple_pump.h"
#include "wave/wave_player.h"

namespace {

using namespace lamina;

bool writeWave(const std::string& path, const platform::RecordingWaveOut& device) {
  std::vector<std::uint8_t> samples;
  platform::PcmFormat format = platform::makePcmFormat(11025, 8, 1);
  for (const auto& s : device.submissions()) {
    format = s.format;
    samples.insert(samples.end(), s.bytes.begin(), s.bytes.end());
  }
  std::vector<std::uint8_t> image(wave::kWaveHeaderSize);
  wave::makeWaveHeader(image, static_cast<std::uint32_t>(samples.size()), format.samplesPerSecond,
                       format.bitsPerSample, format.channels);
  image.insert(image.end(), samples.begin(), samples.end());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(image.data()),
            static_cast<std::streamsize>(image.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  std::string wavPath;
  std::string text;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--wav" && i + 1 < argc) {
      wavPath = argv[++i];
      continue;
    }
    if (!text.empty()) text += ' ';
    text += cp1252::fromUtf8(arg);
  }
  if (text.empty()) {
    std::fputs("usage: lamina-say [--wav FILE] TEXT...\n", stderr);
    return 2;
  }

  diphone::LetterRules rules;
  diphone::DiphoneDatabase database(rules, diphone::DataLocations::standard());
  if (const auto code = database.diphoneStart(); code != diphone::StartResult::ready) {
    std::printf("%s%d\n%s%s\n", cp1252::toUtf8("Erro de inicializa\xE7\xE3o: ").c_str(),
                static_cast<int>(code),
                "Banco de dados de voz: ", database.settings().baseName.c_str());
    database.diphoneStop();
    return 1;
  }

  wave::SimplePump pump;
  platform::RecordingWaveOut recorder;
  recorder.setAutoComplete(true);
  platform::SdlWaveOut soundCard;
  platform::WaveOutDevice& device =
      wavPath.empty() ? static_cast<platform::WaveOutDevice&>(soundCard) : recorder;
  wave::WavePlayer player(device, pump);
  speech::RecordedSpeech speech(player, pump);
  diphone::DiphoneSpeaker speaker(database, speech);

  diphone::sayText(text, rules, speaker);
  database.diphoneStop();

  if (!wavPath.empty()) {
    if (recorder.submissions().empty() || !writeWave(wavPath, recorder)) {
      std::fprintf(stderr, "lamina-say: nothing written to %s\n", wavPath.c_str());
      return 1;
    }
  }
  return 0;
}
