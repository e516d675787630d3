#pragma once
// Speaks phonetic text with the unit database: cuts it into tokens and
// units, copies each unit's sound into the 64000-byte buffer, adds pauses,
// and plays the buffer whenever it is full and at the end.
#include <cstddef>
#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <string_view>

#include "diphone/database.h"
#include "diphone/speech_output.h"
#include "diphone/unit_cutter.h"

namespace lamina::diphone {

class DiphoneSpeaker final : public UnitSink {
 public:
  DiphoneSpeaker(DiphoneDatabase& database, SpeechOutput& output);
  DiphoneSpeaker(const DiphoneSpeaker&) = delete;
  DiphoneSpeaker& operator=(const DiphoneSpeaker&) = delete;

  // Returns when the last buffer has been played. Nothing happens unless
  // the database is ready.
  void speakPhonetic(std::string_view text, bool noPauses);

  // Plays one unit named by the cutter, falling back to shorter units (or
  // noise) when it is missing.
  void speakDiphone(std::string_view name, bool stressed, double factor) override;
  bool playDiphone(std::string_view name, bool stressed, double factor);
  bool playLetterSound(std::string_view name);
  void addSilence(int bytes) override;
  void addNoise();
  void ensureRoom(std::size_t bytes);
  void flushOutput();

  std::size_t fillPosition() const { return fill_; }
  bool stressed() const { return cutter_.stressed(); }

  static constexpr std::size_t kNoiseBytes = 300;
  // Room for samples in an empty buffer: 64000 - 44.
  static constexpr std::size_t kMaxPiece = kSoundBufferSize - kWaveHeaderSize;

 private:
  // Appends samples, playing the buffer first whenever they would fill it;
  // a run longer than an empty buffer holds goes in pieces.
  void append(std::span<const std::uint8_t> samples);

  DiphoneDatabase& db_;
  SpeechOutput& out_;
  UnitCutter cutter_;
  std::size_t fill_ = kWaveHeaderSize;
  std::minstd_rand noise_{1};
};

// Writes the canonical 44-byte header for `dataLength` bytes of 8-bit mono
// sound at 11025 Hz at the start of `image`.
void writeWaveHeader(std::span<std::uint8_t> image, std::uint32_t dataLength);

}  // namespace lamina::diphone
