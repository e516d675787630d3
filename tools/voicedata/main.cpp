// lamina-voicedata: builds the program's recorded sounds and its diphone
// database with eSpeak NG's Brazilian Portuguese voice.
//
//   lamina-voicedata --letters LETRAS.TXT --out DIR [--units UNITS.TXT]
//                    [--copy FILE]... [--stamp FILE]
//
// Writes DIR/letras/<key>.wav for every key of the letters file, the
// telephone tones DIR/letras/dtmf_*.wav, and DIR/difones/DIFONES2.IND/.DIF
// with one unit for every name of the units file; each --copy file is copied
// into DIR/difones.
#include <espeak-ng/speak_lib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/voicedata/sound_edit.h"
#include "tools/voicedata/voice_units.h"

namespace fs = std::filesystem;
using namespace lamina::voicedata;

namespace {

// eSpeak NG's loudest vowels reach nearly full scale: at unity gain the
// 8-bit sound peaks just below clipping.
constexpr double kGain = 1.0;

struct Collector {
  std::vector<std::int16_t> samples;
  std::vector<std::pair<std::string, int>> phonemes;  // mnemonic, position in ms
};
Collector* collector = nullptr;

int synthCallback(short* wav, int count, espeak_EVENT* events) {
  if (collector == nullptr) return 0;
  if (wav != nullptr && count > 0)
    collector->samples.insert(collector->samples.end(), wav, wav + count);
  for (espeak_EVENT* e = events; e != nullptr && e->type != espeakEVENT_LIST_TERMINATED; ++e) {
    if (e->type == espeakEVENT_PHONEME) {
      char name[9] = {};
      std::memcpy(name, e->id.string, 8);
      collector->phonemes.emplace_back(name, e->audio_position);
    }
  }
  return 0;
}

Collector synthesize(const std::string& text, unsigned flags) {
  Collector c;
  collector = &c;
  espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8 | flags,
               nullptr, nullptr);
  collector = nullptr;
  return c;
}

bool writeFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::string trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return {};
  const auto e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

// A recorded text: the whole utterance, quiet ends removed.
std::vector<std::uint8_t> speakText(const std::string& text) {
  const Collector c = synthesize(text, 0);
  const auto sound = downsampleTo8Bit(c.samples, kGain);
  return trimAndFade(sound, 2, 110, 40);
}

// A unit: from its first phoneme to the pause eSpeak NG puts after it.
std::vector<std::uint8_t> speakUnit(const std::string& phonemes) {
  const Collector c = synthesize("[[" + phonemes + "]]", espeakPHONEMES);
  int startMs = -1;
  int endMs = -1;
  for (const auto& [name, ms] : c.phonemes) {
    const bool pause = name.starts_with('_');
    if (startMs < 0 && !pause) startMs = ms;
    if (startMs >= 0 && pause) {
      endMs = ms;
      break;
    }
  }
  if (startMs < 0) return {};
  const std::size_t total = c.samples.size();
  const std::size_t begin = std::min(total, static_cast<std::size_t>(startMs) * 22050 / 1000);
  const std::size_t end =
      endMs < 0 ? total : std::min(total, static_cast<std::size_t>(endMs) * 22050 / 1000);
  const std::span<const std::int16_t> piece(c.samples.data() + begin, end - begin);
  const auto sound = downsampleTo8Bit(piece, kGain);
  constexpr std::size_t kEndFade = 40;
  const auto trimmed = trimAndFade(sound, 2, 220, kEndFade);
  if (trimmed.empty()) return {};
  return fitToCut(trimmed, kSpeakerCut, kEndFade);
}

int buildLetters(const fs::path& lettersFile, const fs::path& outDir) {
  std::ifstream in(lettersFile);
  if (!in) {
    std::cerr << "cannot read " << lettersFile << '\n';
    return 1;
  }
  fs::create_directories(outDir);
  espeak_SetParameter(espeakRANGE, 50, 0);
  espeak_SetParameter(espeakRATE, 185, 0);
  int count = 0;
  std::string line;
  while (std::getline(in, line)) {
    line = trim(line);
    if (line.empty() || line.starts_with('#')) continue;
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = trim(line.substr(0, eq));
    const std::string text = trim(line.substr(eq + 1));
    if (key.empty() || text.empty()) continue;
    const auto sound = speakText(text);
    if (sound.empty() || !writeFile(outDir / (key + ".wav"), waveFileBytes(sound))) {
      std::cerr << "no sound for " << key << '\n';
      return 1;
    }
    ++count;
  }
  // Telephone keys: the row and column frequencies of the keypad.
  struct Key {
    const char* name;
    double low, high;
  };
  const Key keys[] = {{"1", 697, 1209}, {"2", 697, 1336}, {"3", 697, 1477}, {"4", 770, 1209},
                      {"5", 770, 1336}, {"6", 770, 1477}, {"7", 852, 1209}, {"8", 852, 1336},
                      {"9", 852, 1477}, {"X", 941, 1209}, {"0", 941, 1336}, {"#", 941, 1477}};
  for (const Key& k : keys) {
    if (!writeFile(outDir / ("dtmf_" + std::string(k.name) + ".wav"),
                   waveFileBytes(dtmfTone(k.low, k.high, 0.12)))) {
      return 1;
    }
  }
  std::cout << "voicedata: " << count << " recorded sounds and 12 telephone tones\n";
  return 0;
}

int buildDatabase(const fs::path& unitsFile, const fs::path& outDir) {
  std::ifstream in;
  if (!unitsFile.empty()) in.open(unitsFile);
  if (!unitsFile.empty() && !in) {
    std::cerr << "cannot read " << unitsFile << '\n';
    return 1;
  }
  fs::create_directories(outDir);
  // Units are joined without prosody of their own: a level pitch keeps the
  // joins from jumping up and down.
  espeak_SetParameter(espeakRANGE, 0, 0);
  espeak_SetParameter(espeakRATE, 240, 0);
  std::vector<UnitEntry> units;
  std::string line;
  while (std::getline(in, line)) {
    line = trim(line.substr(0, line.find('#')));
    if (line.empty()) continue;
    std::string name;
    for (char c : line) name += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    const std::string phonemes = espeakPhonemesForUnit(name);
    if (phonemes.empty()) {
      std::cerr << "voicedata: no phonemes for unit " << name << '\n';
      return 1;
    }
    auto sound = speakUnit(phonemes);
    if (sound.empty()) {
      std::cerr << "voicedata: no sound for unit " << name << '\n';
      return 1;
    }
    units.push_back({name, std::move(sound)});
  }
  const std::size_t wanted = units.size();
  const DatabaseFiles files = layOutDatabase(std::move(units));
  for (const std::string& s : files.skipped) std::cerr << "voicedata: unit left out: " << s << '\n';
  if (!writeFile(outDir / "DIFONES2.IND", files.index) ||
      !writeFile(outDir / "DIFONES2.DIF", files.data)) {
    return 1;
  }
  std::cout << "voicedata: " << files.index.size() / 15 << " of " << wanted << " units, "
            << files.data.size() << " bytes of sound\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  fs::path letters, unitsFile, out, stamp;
  std::vector<fs::path> copies;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string opt = argv[i];
    if (opt == "--letters")
      letters = argv[i + 1];
    else if (opt == "--units")
      unitsFile = argv[i + 1];
    else if (opt == "--out")
      out = argv[i + 1];
    else if (opt == "--stamp")
      stamp = argv[i + 1];
    else if (opt == "--copy")
      copies.emplace_back(argv[i + 1]);
    else {
      std::cerr << "unknown option " << opt << '\n';
      return 2;
    }
  }
  if (letters.empty() || out.empty()) {
    std::cerr << "usage: lamina-voicedata --letters FILE --out DIR [--units FILE] [--copy FILE]... "
                 "[--stamp FILE]\n";
    return 2;
  }
  if (espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr,
                        espeakINITIALIZE_PHONEME_EVENTS | espeakINITIALIZE_DONT_EXIT) <= 0) {
    std::cerr << "voicedata: eSpeak NG did not start\n";
    return 1;
  }
  if (espeak_SetVoiceByName("pt-br") != EE_OK && espeak_SetVoiceByName("pt") != EE_OK) {
    std::cerr << "voicedata: eSpeak NG has no Portuguese voice\n";
    return 1;
  }
  espeak_SetSynthCallback(synthCallback);
  int rc = buildLetters(letters, out / "letras");
  if (rc == 0) rc = buildDatabase(unitsFile, out / "difones");
  espeak_Terminate();
  if (rc != 0) return rc;
  std::error_code ec;
  for (const fs::path& p : copies) {
    if (!fs::exists(p)) continue;  // the letter rules may not be written yet
    fs::copy_file(p, out / "difones" / p.filename(), fs::copy_options::overwrite_existing, ec);
    if (ec) {
      std::cerr << "voicedata: cannot copy " << p << '\n';
      return 1;
    }
  }
  if (!stamp.empty()) std::ofstream(stamp) << "done\n";
  return 0;
}
