#pragma once
// The diphone voice of our synthesizer of MBROLA input lines: one file
// holding, for every diphone, its 16-bit samples at 16000 Hz cut from the
// middle of the first phoneme to the middle of the second, the sample where
// the second phoneme begins, and the pitch marks of its voiced stretches.
//
// File layout, little-endian: "LAMNVOZ1", sample rate (u32, 16000), the
// voice's own pitch in Hz (u32), the number of diphones (u32); then per
// diphone: first and second phoneme names (u8 length + bytes each), sample
// count (u32), boundary (u32), mark count (u32), the marks (u32 each: the
// position in the low 31 bits, the top bit set for a voiced mark; strictly
// increasing) and the samples (i16 each). The diphones are sorted by name.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lamina::mbrola_tts {

struct PitchMark {
  std::uint32_t position = 0;
  bool voiced = false;
};

struct VoiceDiphone {
  std::string first;
  std::string second;
  std::vector<std::int16_t> samples;
  std::uint32_t boundary = 0;  // first sample of the second phoneme
  std::vector<PitchMark> marks;
  // Loudness at the two cut points, for evening out the joins (not stored).
  float startLevel = 0;
  float endLevel = 0;
};

enum class VoiceLoadResult { ok = 0, unreadable = -1, damaged = -2 };

class PhoVoice {
 public:
  static constexpr std::uint32_t kSampleRate = 16000;
  // Limits that keep a damaged file from asking for absurd amounts of memory.
  static constexpr std::uint32_t kMaxDiphones = 20000;
  static constexpr std::uint32_t kMaxDiphoneSamples = 3 * kSampleRate;
  static constexpr std::size_t kMaxNameLength = 8;
  static constexpr int kMinPitch = 40;
  static constexpr int kMaxPitch = 600;

  VoiceLoadResult load(const std::filesystem::path& file);
  VoiceLoadResult parse(std::span<const std::uint8_t> bytes);
  std::vector<std::uint8_t> serialize() const;

  // The builder's side: takes the whole list; false (nothing changed) when a
  // name is invalid, a diphone comes twice or a mark lies out of order.
  bool setDiphones(std::vector<VoiceDiphone> list);

  const VoiceDiphone* find(std::string_view first, std::string_view second) const;
  bool hasPhoneme(std::string_view name) const;
  const std::vector<VoiceDiphone>& diphones() const { return diphones_; }
  bool empty() const { return diphones_.empty(); }
  void clear();

  int pitch = 200;  // the voice's own pitch in Hz

 private:
  void index();

  std::vector<VoiceDiphone> diphones_;  // sorted by (first, second)
  std::vector<std::string> phonemes_;   // sorted, unique
};

// A valid phoneme name: 1 to 8 letters, digits or "_".
bool isPhonemeName(std::string_view name);

// How alike two stretches of `length` samples are, a[aFrom...] and
// b[bFrom...]: their normalised correlation, -1..1, samples outside a
// recording counting as silence (so a stretch that hangs over an edge
// scores lower); 0 when either stretch is silent. Marks are placed and
// joins lined up by it.
double similarity(std::span<const std::int16_t> a, std::int64_t aFrom,
                  std::span<const std::int16_t> b, std::int64_t bFrom, std::size_t length);

}  // namespace lamina::mbrola_tts
