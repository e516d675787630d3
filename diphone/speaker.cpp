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
    : db_(database), out_(output), cutter_(database.settings(), *this) {}

void DiphoneSpeaker::speakPhonetic(std::string_view text, bool noPauses) {
  if (!db_.ready()) return;
  fill_ = kWaveHeaderSize;
  cutter_.cutPhonetic(text, noPauses);
  flushOutput();
}

void DiphoneSpeaker::speakDiphone(std::string_view d, bool s, double f) {
  const bool recorded = d.starts_with('_');
  if (recorded ? playLetterSound(d) : playDiphone(d, s, f)) return;
  if (d.size() <= 2) {
    addNoise();
    return;
  }
  for (const FallbackUnit& unit : fallbackUnits(d, s, f)) {
    speakDiphone(unit.name, unit.stressed, unit.factor);
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
