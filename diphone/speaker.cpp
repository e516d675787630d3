#include "diphone/speaker.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "platform/riff.h"

namespace lamina::diphone {
namespace {

// Size of the "data" chunk with the file placed at its first sample; 0 when
// the file is no RIFF file with "fmt " first or has no data chunk. The sample
// format is not looked at: letter sounds are 8-bit mono at 11025 Hz.
std::uint32_t findWaveData(std::ifstream& file) {
  riff::StreamSource source(file);
  riff::WaveChunks chunks;
  if (riff::walkWave(source, riff::WalkRules{}, chunks) != riff::WaveReadResult::ok) return 0;
  return chunks.dataLength;
}

}  // namespace

void writeWaveHeader(std::span<std::uint8_t> image, std::uint32_t dataLength) {
  riff::writeWaveHeader(image, dataLength);
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
