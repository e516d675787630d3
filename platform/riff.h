#pragma once
// RIFF/WAVE files and little-endian fields: the one place that reads and
// writes them. It sits at the bottom layer so that the sound path, the
// diphone synthesizer, the tools and the presentation readers all share it.
#include <cstddef>
#include <cstdint>
#include <istream>
#include <span>
#include <string_view>

namespace lamina::riff {

// Size of the canonical header: "RIFF", "WAVE", a 16-byte "fmt " chunk and
// the head of the "data" chunk; the samples follow at this offset.
inline constexpr std::size_t kWaveHeaderSize = 44;

// Little-endian fields. A field that does not lie wholly inside the span
// reads as 0; a write that would not fit writes nothing and answers false.
constexpr std::uint16_t le16(std::span<const std::uint8_t> b, std::size_t at) {
  if (at > b.size() || b.size() - at < 2) return 0;
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
constexpr std::uint32_t le32(std::span<const std::uint8_t> b, std::size_t at) {
  if (at > b.size() || b.size() - at < 4) return 0;
  return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
         (static_cast<std::uint32_t>(b[at + 2]) << 16) |
         (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
constexpr bool put16(std::span<std::uint8_t> b, std::size_t at, std::uint16_t v) {
  if (at > b.size() || b.size() - at < 2) return false;
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
  return true;
}
constexpr bool put32(std::span<std::uint8_t> b, std::size_t at, std::uint32_t v) {
  if (at > b.size() || b.size() - at < 4) return false;
  for (std::size_t i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  return true;
}

// Chunk identifiers are compared without regard to letter case; `id` is
// given in lower case ("fmt ", "data").
bool idIs(std::span<const std::uint8_t> b, std::size_t at, std::string_view id);

// The 16-byte PCM format record as it lies in a "fmt " chunk: tag 1 (PCM),
// channels, rate, average bytes per second, block align, bits per sample.
struct WaveFormat {
  std::uint16_t formatTag = 1;
  std::uint16_t channels = 0;
  std::uint32_t samplesPerSecond = 0;
  std::uint32_t averageBytesPerSecond = 0;
  std::uint16_t blockAlign = 0;
  std::uint16_t bitsPerSample = 0;

  friend bool operator==(const WaveFormat&, const WaveFormat&) = default;
};

// Writes the canonical 44-byte header for PCM sound: the fixed template
// (11025 Hz, 8 bits, mono, block align 1) with the data length, RIFF size,
// rate, bits, channels and average rate written over it. Block align keeps
// the template's 1, as every reader of these images expects. False, with
// nothing written, when `image` is shorter than the header.
bool writeWaveHeader(std::span<std::uint8_t> image, std::uint32_t dataLength,
                     std::uint32_t rate = 11025, std::uint16_t bits = 8,
                     std::uint16_t channels = 1);

enum class WaveReadResult {
  ok = 0,
  notRiff = 1,      // the source does not begin with "RIFF"
  noFormat = 2,     // no "fmt " chunk where one was needed
  truncated = 3,    // the source ends inside a chunk head or a chunk before the data
  oversized = 4,    // a chunk before the data is longer than the reader may hold
  noDataChunk = 5,  // the chunks end without a "data" chunk
  shortData = 6,    // the data chunk runs past the end; the bytes present are given
  notPcm = 7,       // the samples are not integer PCM (float, compressed, ...)
};
std::string_view resultText(WaveReadResult result);

// Where the chunk walk reads from, front to back.
class ChunkSource {
 public:
  virtual ~ChunkSource() = default;
  // Fills out as far as the source goes; answers how many bytes came.
  virtual std::size_t read(std::span<std::uint8_t> out) = 0;
  // Steps over count bytes; false when fewer were left.
  virtual bool skip(std::uint64_t count) = 0;
};

class SpanSource final : public ChunkSource {
 public:
  explicit SpanSource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::size_t read(std::span<std::uint8_t> out) override;
  bool skip(std::uint64_t count) override;
  std::size_t position() const { return pos_; }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
};

class StreamSource final : public ChunkSource {
 public:
  explicit StreamSource(std::istream& in) : in_(in) {}
  std::size_t read(std::span<std::uint8_t> out) override;
  bool skip(std::uint64_t count) override;

 private:
  std::istream& in_;
};

struct WalkRules {
  // "fmt " must be the first chunk (else noFormat without reading further).
  bool formatFirst = true;
  // The longest "fmt " or skipped chunk accepted; longer ones are oversized.
  std::uint64_t maxChunk = UINT32_MAX;
};

struct WaveChunks {
  bool waveForm = false;  // bytes 8..11 are "WAVE" (not every reader asks)
  WaveFormat format;      // fields the "fmt " chunk is too short for stay 0
  std::uint32_t formatLength = 0;
  std::uint32_t dataLength = 0;  // as the chunk head gives it
};

// Walks the chunks from the RIFF head to the first "data" chunk, stepping
// over the pad byte after every odd-length chunk, and leaves the source at
// the first sample. A "data" chunk before any "fmt " chunk is noFormat.
// Samples that are not integer PCM would play as loud noise, so a format
// tag other than 1 is notPcm; WAVE_FORMAT_EXTENSIBLE is taken only with the
// PCM subformat, and is then given as tag 1.
WaveReadResult walkWave(ChunkSource& source, const WalkRules& rules, WaveChunks& out);

// The walk over an image in memory, with the data span: cut to the image
// (shortData) when its length runs past the end.
struct WaveImage {
  WaveChunks chunks;
  std::span<const std::uint8_t> data;
};
WaveReadResult readWaveImage(std::span<const std::uint8_t> image, const WalkRules& rules,
                             WaveImage& out);

}  // namespace lamina::riff
