// Damaged voice data and odd phonetic text: an index, a data file, a
// recorded sound and a text, all taken from the input, are started and
// spoken. Nothing may crash or read outside what the files hold.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "diphone/database.h"
#include "diphone/letter_rules.h"
#include "diphone/speaker.h"

namespace {

namespace fs = std::filesystem;

class NullOutput final : public lamina::diphone::SpeechOutput {
 public:
  void playWaveImage(std::span<const std::uint8_t> image) override {
    if (image.size() < 44 || image.size() > lamina::diphone::kSoundBufferSize) __builtin_trap();
  }
  bool isSpeaking() override { return false; }
};

// The voice directory of this run, removed when the process ends.
struct TempVoice {
  fs::path dir;
  TempVoice() {
    std::random_device random;
    dir = fs::temp_directory_path() /
          ("lamina-fuzz-voice-" + std::to_string(random()) + std::to_string(random()));
    fs::create_directories(dir / "letras");
    fs::create_directories(dir / "difones");
    std::ofstream(dir / "difones" / "regras.rgr") << "(A)=a\n(K)=k\n";
    std::ofstream(dir / "difones" / "portug.exc") << "";
  }
  ~TempVoice() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
};

const fs::path& root() {
  static const TempVoice voice;
  return voice.dir;
}

void write(const fs::path& p, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const fs::path dir = root();
  write(dir / "difones" / "DIFONES2.IND",
        in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange(0, 400)));
  write(dir / "difones" / "DIFONES2.DIF",
        in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange(0, 3000)));
  const auto wave = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange(0, 300));
  write(dir / "letras" / "_1.wav", wave);
  write(dir / "letras" / "_44.wav", wave);
  const bool noPauses = in.ConsumeBool();
  const int cut = in.ConsumeIntegralInRange(-500, 70000);
  const int keep = in.ConsumeIntegralInRange(-500, 70000);
  const std::string text = in.ConsumeRemainingBytesAsString();

  lamina::diphone::LetterRules rules;
  lamina::diphone::DiphoneDatabase db(rules, {dir / "ORALIS.INI", dir / "letras", dir / "difones"});
  db.setSynthesisCuts(cut, keep, 100);
  NullOutput out;
  lamina::diphone::DiphoneSpeaker speaker(db, out);
  if (db.diphoneStart() == lamina::diphone::StartResult::ready) {
    speaker.speakPhonetic(text, noPauses);
  }
  db.diphoneStop();
  return 0;
}
