#include "platform/riff.h"

#include <algorithm>
#include <array>

namespace lamina::riff {

namespace {

// WAVE_FORMAT_EXTENSIBLE: the real tag is the first two bytes of the
// subformat GUID at offset 24; the other fourteen are the same for every
// tag.
constexpr std::uint16_t kTagPcm = 1;
constexpr std::uint16_t kTagExtensible = 0xFFFE;
constexpr std::size_t kExtensibleRecord = 40;
constexpr std::array<std::uint8_t, 14> kSubformatTail{0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                      0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// Whether the format record (as much as the chunk holds) is integer PCM.
bool isPcm(std::span<const std::uint8_t> record) {
  const std::uint16_t tag = le16(record, 0);
  if (tag == kTagPcm) return true;
  if (tag != kTagExtensible || record.size() < kExtensibleRecord) return false;
  return le16(record, 24) == kTagPcm &&
         std::equal(kSubformatTail.begin(), kSubformatTail.end(), record.begin() + 26);
}

constexpr std::array<std::uint8_t, kWaveHeaderSize> kTemplate{
    'R', 'I', 'F', 'F', 0xFF, 0xFF, 0xFF, 0xFF, 'W', 'A',  'V',  'E',  'f',  'm',  't',
    ' ', 16,  0,   0,   0,    1,    0,    1,    0,   0x11, 0x2B, 0,    0,    0x11, 0x2B,
    0,   0,   1,   0,   8,    0,    'd',  'a',  't', 'a',  0xFF, 0xFF, 0xFF, 0xFF};

bool readAll(ChunkSource& source, std::span<std::uint8_t> out) {
  return source.read(out) == out.size();
}

}  // namespace

bool idIs(std::span<const std::uint8_t> b, std::size_t at, std::string_view id) {
  if (at > b.size() || b.size() - at < 4 || id.size() != 4) return false;
  for (std::size_t i = 0; i < 4; ++i) {
    const std::uint8_t c = b[at + i];
    const auto lower = static_cast<std::uint8_t>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    if (lower != static_cast<std::uint8_t>(id[i])) return false;
  }
  return true;
}

bool writeWaveHeader(std::span<std::uint8_t> image, std::uint32_t dataLength, std::uint32_t rate,
                     std::uint16_t bits, std::uint16_t channels) {
  if (image.size() < kWaveHeaderSize) return false;
  std::copy(kTemplate.begin(), kTemplate.end(), image.begin());
  put32(image, 40, dataLength);
  put32(image, 4, dataLength + 36);
  put16(image, 34, bits);
  put16(image, 22, channels);
  put32(image, 24, rate);
  put32(image, 28, rate * channels * (bits / 8u));
  return true;
}

std::string_view resultText(WaveReadResult result) {
  switch (result) {
    case WaveReadResult::ok:
      return "ok";
    case WaveReadResult::notRiff:
      return "not a RIFF file";
    case WaveReadResult::noFormat:
      return "no fmt chunk before the data";
    case WaveReadResult::truncated:
      return "the file ends inside a chunk";
    case WaveReadResult::oversized:
      return "a chunk is too long to read";
    case WaveReadResult::noDataChunk:
      return "no data chunk";
    case WaveReadResult::shortData:
      return "the data chunk runs past the end of the file";
    case WaveReadResult::notPcm:
      return "the samples are not integer PCM";
  }
  return "unknown wave read result";
}

std::size_t SpanSource::read(std::span<std::uint8_t> out) {
  const std::size_t n = std::min(out.size(), bytes_.size() - pos_);
  std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(pos_), n, out.begin());
  pos_ += n;
  return n;
}

bool SpanSource::skip(std::uint64_t count) {
  if (count > bytes_.size() - pos_) {
    pos_ = bytes_.size();
    return false;
  }
  pos_ += static_cast<std::size_t>(count);
  return true;
}

std::size_t StreamSource::read(std::span<std::uint8_t> out) {
  in_.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
  const std::streamsize got = in_.gcount();
  return got > 0 ? static_cast<std::size_t>(got) : 0;
}

bool StreamSource::skip(std::uint64_t count) {
  // Chunk lengths are 32-bit, so the count always fits a stream size.
  const auto n = static_cast<std::streamsize>(count);
  if (n == 0) return true;
  in_.ignore(n);
  return in_.gcount() == n;
}

WaveReadResult walkWave(ChunkSource& source, const WalkRules& rules, WaveChunks& out) {
  out = WaveChunks{};
  std::array<std::uint8_t, 12> riffHead{};
  if (!readAll(source, riffHead) || !idIs(riffHead, 0, "riff")) return WaveReadResult::notRiff;
  out.waveForm = idIs(riffHead, 8, "wave");

  bool haveFormat = false;
  for (bool first = true;; first = false) {
    std::array<std::uint8_t, 8> head{};
    const std::size_t got = source.read(head);
    if (got == 0) return WaveReadResult::noDataChunk;
    if (got < head.size()) return WaveReadResult::truncated;
    const std::uint32_t length = le32(head, 4);
    const bool isFormat = idIs(head, 0, "fmt ");
    if (first && rules.formatFirst && !isFormat) return WaveReadResult::noFormat;
    if (idIs(head, 0, "data")) {
      if (!haveFormat) return WaveReadResult::noFormat;
      out.dataLength = length;
      return WaveReadResult::ok;
    }
    if (length > rules.maxChunk) return WaveReadResult::oversized;
    std::uint64_t rest = length;
    if (isFormat) {
      std::array<std::uint8_t, kExtensibleRecord> record{};
      const std::size_t n = std::min<std::size_t>(length, kExtensibleRecord);
      if (!readAll(source, std::span(record).first(n))) return WaveReadResult::truncated;
      if (n >= 2 && !isPcm(std::span(record).first(n))) return WaveReadResult::notPcm;
      out.format.formatTag = kTagPcm;
      out.format.channels = le16(record, 2);
      out.format.samplesPerSecond = le32(record, 4);
      out.format.averageBytesPerSecond = le32(record, 8);
      out.format.blockAlign = le16(record, 12);
      out.format.bitsPerSample = le16(record, 14);
      out.formatLength = length;
      haveFormat = true;
      rest -= n;
    }
    // Chunks are padded to an even length; the pad byte is not counted.
    if (!source.skip(rest + (length & 1))) return WaveReadResult::truncated;
  }
}

WaveReadResult readWaveImage(std::span<const std::uint8_t> image, const WalkRules& rules,
                             WaveImage& out) {
  out = WaveImage{};
  SpanSource source(image);
  const WaveReadResult result = walkWave(source, rules, out.chunks);
  if (result != WaveReadResult::ok) return result;
  const std::size_t start = source.position();
  const std::size_t avail = image.size() - start;
  const std::size_t n = std::min<std::size_t>(out.chunks.dataLength, avail);
  out.data = image.subspan(start, n);
  return n < out.chunks.dataLength ? WaveReadResult::shortData : WaveReadResult::ok;
}

}  // namespace lamina::riff
