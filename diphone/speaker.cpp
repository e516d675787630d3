#include "diphone/speaker.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/paths.h"

namespace lamina::diphone {
namespace {

constexpr std::string_view kConsonants = "bcdfgjklmnpqrstvxz";
constexpr std::string_view kVowels = "AEIOUaeiou";

bool isConsonant(char c) {
  return kConsonants.find(c) != std::string_view::npos;
}
bool isVowel(char c) {
  return kVowels.find(c) != std::string_view::npos;
}
bool isSemivowel(char c) {
  return c == 'w' || c == 'y';
}
bool isUpperVowel(char c) {
  return c == 'A' || c == 'E' || c == 'I' || c == 'O' || c == 'U';
}

bool sameTag(const char* a, const char* tag) {
  for (int i = 0; i < 4; ++i) {
    char c = a[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (c != tag[i]) return false;
  }
  return true;
}

std::uint32_t le32(const char* p) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(p[0])) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(p[1])) << 8) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(p[2])) << 16) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(p[3])) << 24);
}

// Size of the "data" chunk with the file placed at its first sample; 0 when
// the file is no RIFF file with "fmt " first or has no data chunk.
std::uint32_t findWaveData(std::ifstream& file) {
  std::array<char, 12> riff{};
  if (!file.read(riff.data(), riff.size()) || !sameTag(riff.data(), "RIFF")) return 0;
  std::array<char, 8> head{};
  if (!file.read(head.data(), head.size()) || !sameTag(head.data(), "FMT ")) return 0;
  file.seekg(le32(head.data() + 4), std::ios::cur);
  while (file.read(head.data(), head.size())) {
    if (sameTag(head.data(), "DATA")) return le32(head.data() + 4);
    file.seekg(le32(head.data() + 4), std::ios::cur);
  }
  return 0;
}

void put32(std::span<std::uint8_t> at, std::uint32_t v) {
  for (std::size_t i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

void writeWaveHeader(std::span<std::uint8_t> image, std::uint32_t dataLength) {
  static constexpr std::array<std::uint8_t, kWaveHeaderSize> kTemplate{
      'R', 'I', 'F', 'F', 0, 0, 0,   0,   'W', 'A',  'V',  'E', 'f', 'm',  't',
      ' ', 16,  0,   0,   0, 1, 0,   1,   0,   0x11, 0x2B, 0,   0,   0x11, 0x2B,
      0,   0,   1,   0,   8, 0, 'd', 'a', 't', 'a',  0,    0,   0,   0};
  std::copy(kTemplate.begin(), kTemplate.end(), image.begin());
  put32(image.subspan(4, 4), dataLength + 36);
  put32(image.subspan(40, 4), dataLength);
}

DiphoneSpeaker::DiphoneSpeaker(DiphoneDatabase& database, SpeechOutput& output)
    : db_(database), out_(output) {}

void DiphoneSpeaker::speakPhonetic(std::string_view text, bool noPauses) {
  if (!db_.ready()) return;
  fill_ = kWaveHeaderSize;
  stressed_ = false;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::string token = nextPhoneticToken(text, i, noPauses);
    speakChunk(token, 1.0);
    if (i < text.size() && text[i - 1] != ' ') addSilence(db_.settings().wordPause);
  }
  flushOutput();
}

std::string DiphoneSpeaker::nextPhoneticToken(std::string_view text, std::size_t& i,
                                              bool noPauses) {
  std::string token;
  auto add = [&token](char c) {
    if (token.size() < kMaxToken) token += c;
  };
  if (i < text.size() && text[i] == '[') {
    stressed_ = false;
    ++i;
  }
  while (i < text.size() && text[i] != ' ' && text[i] != ']') {
    const char c = text[i];
    if (c == '/') {
      if (token.size() >= 9) break;  // a long token ends at the slash
      ++i;
    } else if (c == '_') {
      add('_');
      ++i;
      if (i < text.size()) add(text[i++]);
    } else if (c == '|') {
      token = "_TRACO";
      ++i;
    } else {
      add(c);
      ++i;
    }
  }
  if (i < text.size()) ++i;  // past the character that ended the token
  if (!noPauses && token.size() == 2 && token[0] == '_') {
    const SynthesisSettings& s = db_.settings();
    int pause = -1;
    switch (token[1]) {
      case ',':
        pause = s.commaPause;
        break;
      case '.':
        pause = s.fullStopPause;
        break;
      case ':':
        pause = s.colonPause;
        break;
      case ';':
        pause = s.semicolonPause;
        break;
      default:
        break;
    }
    if (pause >= 0) {
      addSilence(pause);
      token.clear();
    }
  }
  return token;
}

void DiphoneSpeaker::speakChunk(std::string_view t, double f) {
  const std::size_t n = t.size();
  if (n == 0) return;
  if (n == 1) {
    speakUnit(t, f);
    return;
  }
  const char last = t[n - 1];
  const std::string_view firstTwo = t.substr(0, 2);
  if (n > 2 && isConsonant(t[0]) && isConsonant(t[1]) && firstTwo != "dj" && firstTwo != "nh" &&
      firstTwo != "rr" && firstTwo != "ks" && !t.starts_with("tch")) {
    speakUnit(t.substr(0, 1), 1.0);
    speakChunk(t.substr(1), f);
    return;
  }
  if (n > 2 && t.ends_with("rr")) {
    speakChunk(t.substr(0, n - 2), f);
    speakUnit("rr", f);
    return;
  }
  if (n > 2 && isConsonant(last)) {
    speakChunk(t.substr(0, n - 1), f);
    speakChunk(t.substr(n - 1), f);
    return;
  }
  if (isSemivowel(last) && isVowel(t[n - 2]) && n > 2) {
    speakChunk(t.substr(0, n - 1), 0.6);
    speakUnit(t.substr(n - 2), f);
    return;
  }
  // A two-character token such as "~w" has no vowel for the mark: it is
  // left to the last step rather than read before its start.
  if (isSemivowel(last) && (t[n - 2] == '^' || t[n - 2] == '~') && n >= 3) {
    const std::string unit{t[n - 3], t[n - 1], t[n - 2]};
    if (n > 3) speakChunk(std::string(t.substr(0, n - 2)) + "^", 0.6);
    // n == 3: the token is just vowel, mark, semivowel.
    speakUnit(unit, f);
    return;
  }
  if (t != "_s" && last == 's') {
    speakChunk(t.substr(0, n - 1), 0.7);
    speakUnit("s", f);
    return;
  }
  speakUnit(t, f);
}

void DiphoneSpeaker::speakUnit(std::string_view u, double f) {
  u = u.substr(0, kMaxUnit);
  if (u.starts_with('_')) {
    if (u.size() == 1) return;
    // "_TRACO" and the like name their recorded sound; "_" + one character
    // is that character's sound, named by its code.
    const std::string name =
        u.size() > 2 ? std::string(u) : "_" + std::to_string(static_cast<unsigned char>(u[1]));
    speakDiphone(name, stressed_, f);
    return;
  }
  bool setHere = false;
  std::string name = "$";
  for (const char c : u) {
    if (c == '^' || c == '~') {
      speakDiphone(name + (c == '^' ? "CIRC" : "TIL"), stressed_, f);
      name = "$";
      continue;
    }
    if (isUpperVowel(c)) {
      stressed_ = true;
      setHere = true;
    }
    name += c;
  }
  if (name.size() > 1) speakDiphone(name, stressed_, f);
  if (setHere) stressed_ = false;
}

void DiphoneSpeaker::speakDiphone(std::string_view d, bool s, double f) {
  const bool recorded = d.starts_with('_');
  if (recorded ? playLetterSound(d) : playDiphone(d, s, f)) return;
  if (d.size() <= 2) {
    addNoise();
    return;
  }
  // The shorter units stand only for database units; a missing recorded
  // sound with a longer name is left out.
  if (recorded) return;
  const std::string name(d);
  const char last = d.back();
  if (isVowel(last)) {
    speakDiphone(name.substr(0, name.size() - 1), s, 0.9 * f);
    speakDiphone(std::string("$") + last, s, f);
  } else if (d.ends_with("CIRC") && d.size() > 6) {
    speakDiphone(name.substr(0, name.size() - 5), s, 0.9 * f);
    speakDiphone("$" + name.substr(name.size() - 5), s, f);
  } else if (d.ends_with("TIL")) {
    const std::string rest = name.substr(0, name.size() - 3);
    const char r = rest.back();
    if (r == 'I' || r == 'U' || r == 'i' || r == 'u') {
      speakDiphone(rest, s, 0.9 * f);
    } else {
      speakDiphone(rest + "CIRC", true, 0.9 * f);
    }
    speakDiphone("$nn", false, 0.9);
  }
}

bool DiphoneSpeaker::playDiphone(std::string_view name, bool s, double f) {
  const UnitRecord* rec = db_.findUnit(name);
  if (rec == nullptr) return false;
  long length = rec->length;
  const SynthesisSettings& settings = db_.settings();
  if (!s && name.size() >= 3) {
    length -= settings.cutLength;
    if (length < settings.keepLength) {
      length = std::min<long>(settings.keepLength, rec->length);
    }
  }
  length = std::max(0L, length);
  const auto bytes = static_cast<std::size_t>(static_cast<double>(length) * f);
  std::vector<std::uint8_t> sound;
  // Read errors are not reported: the unit is simply not heard.
  if (db_.readUnit(*rec, std::min<std::size_t>(bytes, rec->length), sound)) append(sound);
  return true;
}

bool DiphoneSpeaker::playLetterSound(std::string_view name) {
  std::ifstream file(paths::findNoCase(db_.lettersDir(), std::string(name) + ".wav"),
                     std::ios::binary);
  if (!file) return false;
  const std::uint32_t size = std::min<std::uint32_t>(findWaveData(file), 65535);
  if (size == 0) return false;
  std::vector<std::uint8_t> sound(size);
  file.read(reinterpret_cast<char*>(sound.data()), size);
  sound.resize(static_cast<std::size_t>(file.gcount()));
  if (sound.empty()) return false;
  if (sound.size() > kMaxPiece) {
    // More than an empty buffer holds: played on its own, in pieces.
    ensureRoom(kMaxPiece);
    append(sound);
    flushOutput();
    return true;
  }
  append(sound);
  return true;
}

void DiphoneSpeaker::addSilence(int bytes) {
  static const std::array<std::uint8_t, 100> kBlock = [] {
    std::array<std::uint8_t, 100> b{};
    b.fill(128);
    return b;
  }();
  for (int i = 0; i < bytes / 100; ++i) append(kBlock);
}

void DiphoneSpeaker::addNoise() {
  std::array<std::uint8_t, kNoiseBytes> noise{};
  std::uniform_int_distribution<int> value(88, 167);
  for (std::uint8_t& b : noise) b = static_cast<std::uint8_t>(value(noise_));
  append(noise);
}

void DiphoneSpeaker::append(std::span<const std::uint8_t> samples) {
  std::vector<std::uint8_t>& buffer = db_.soundBuffer();
  if (buffer.size() < kSoundBufferSize) return;  // not started
  while (!samples.empty()) {
    const std::size_t n = std::min(samples.size(), kMaxPiece);
    ensureRoom(n);
    std::copy_n(samples.begin(), n, buffer.begin() + static_cast<std::ptrdiff_t>(fill_));
    fill_ += n;
    samples = samples.subspan(n);
  }
}

void DiphoneSpeaker::ensureRoom(std::size_t n) {
  if (fill_ + n < kSoundBufferSize) return;
  flushOutput();
  // The output pumps messages while it answers, so this wait stays live.
  while (out_.isSpeaking()) {
  }
}

void DiphoneSpeaker::flushOutput() {
  if (fill_ == kWaveHeaderSize) return;
  std::vector<std::uint8_t>& buffer = db_.soundBuffer();
  writeWaveHeader(buffer, static_cast<std::uint32_t>(fill_ - kWaveHeaderSize));
  out_.playWaveImage(std::span<const std::uint8_t>(buffer.data(), fill_));
  fill_ = kWaveHeaderSize;
}

}  // namespace lamina::diphone
