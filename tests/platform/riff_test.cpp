#include "platform/riff.h"

#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <string>
#include <vector>

namespace lamina::riff {
namespace {

using Bytes = std::vector<std::uint8_t>;

void chunk(Bytes& v, const std::string& id, std::uint32_t length, const Bytes& body) {
  v.insert(v.end(), id.begin(), id.end());
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
  v.insert(v.end(), body.begin(), body.end());
}

Bytes riffHead() {
  return {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
}

// 16-bit stereo at 22050 Hz.
Bytes formatBody() {
  return {1, 0, 2, 0, 0x22, 0x56, 0, 0, 0x88, 0x58, 1, 0, 4, 0, 16, 0};
}

Bytes withFormat() {
  Bytes v = riffHead();
  chunk(v, "fmt ", 16, formatBody());
  return v;
}

TEST(RiffFields, ReadAndWriteOnlyInsideTheSpan) {
  std::array<std::uint8_t, 6> b{};
  EXPECT_TRUE(put32(b, 2, 0x11223344));
  EXPECT_TRUE(put16(b, 0, 0xA1B2));
  EXPECT_EQ(b, (std::array<std::uint8_t, 6>{0xB2, 0xA1, 0x44, 0x33, 0x22, 0x11}));
  EXPECT_EQ(le32(b, 2), 0x11223344u);
  EXPECT_EQ(le16(b, 0), 0xA1B2);
  EXPECT_FALSE(put32(b, 3, 0xFFFFFFFF));
  EXPECT_FALSE(put16(b, 7, 0xFFFF));
  EXPECT_EQ(le32(b, 2), 0x11223344u);  // nothing was written
  EXPECT_EQ(le32(b, 3), 0u);
  EXPECT_EQ(le16(b, 5), 0u);
  EXPECT_EQ(le16(b, 99), 0u);
}

TEST(RiffHeader, RoundTripsThroughTheReader) {
  Bytes image(kWaveHeaderSize + 6, 0x55);
  ASSERT_TRUE(writeWaveHeader(image, 6, 22050, 16, 2));
  EXPECT_EQ(le32(image, 4), 42u);      // data length + 36
  EXPECT_EQ(le32(image, 28), 88200u);  // average bytes per second
  EXPECT_EQ(le16(image, 32), 1);       // block align stays the template's
  WaveImage w;
  ASSERT_EQ(readWaveImage(image, {}, w), WaveReadResult::ok);
  EXPECT_TRUE(w.chunks.waveForm);
  EXPECT_EQ(w.chunks.formatLength, 16u);
  EXPECT_EQ(w.chunks.format.formatTag, 1);
  EXPECT_EQ(w.chunks.format.samplesPerSecond, 22050u);
  EXPECT_EQ(w.chunks.format.bitsPerSample, 16);
  EXPECT_EQ(w.chunks.format.channels, 2);
  EXPECT_EQ(w.data.data(), image.data() + kWaveHeaderSize);
  EXPECT_EQ(w.data.size(), 6u);

  Bytes small(kWaveHeaderSize - 1, 7);
  EXPECT_FALSE(writeWaveHeader(small, 0));
  EXPECT_EQ(small, Bytes(kWaveHeaderSize - 1, 7));
}

TEST(RiffWalk, StepsOverThePadByteOfOddChunks) {
  Bytes v = withFormat();
  chunk(v, "LIST", 3, {9, 9, 9});
  v.push_back(0);  // pad
  chunk(v, "data", 2, {0x10, 0x20});
  WaveImage w;
  ASSERT_EQ(readWaveImage(v, {}, w), WaveReadResult::ok);
  EXPECT_EQ(w.data.data(), v.data() + v.size() - 2);

  // The file walk agrees and leaves the stream at the first sample; the
  // identifiers are matched in any letter case.
  v[0] = 'r';
  std::istringstream in(std::string(v.begin(), v.end()));
  StreamSource source(in);
  WaveChunks c;
  ASSERT_EQ(walkWave(source, {}, c), WaveReadResult::ok);
  EXPECT_EQ(c.dataLength, 2u);
  EXPECT_EQ(in.get(), 0x10);
}

TEST(RiffWalk, ReportsTruncatedAndOversizedChunks) {
  WaveImage w;
  Bytes cutHead = withFormat();
  cutHead.insert(cutHead.end(), {'d', 'a', 't'});
  EXPECT_EQ(readWaveImage(cutHead, {}, w), WaveReadResult::truncated);

  Bytes longSkip = withFormat();
  chunk(longSkip, "LIST", 100, {1, 2, 3});
  EXPECT_EQ(readWaveImage(longSkip, {}, w), WaveReadResult::truncated);

  Bytes cutFormat = riffHead();
  chunk(cutFormat, "fmt ", 16, {1, 0, 1});
  EXPECT_EQ(readWaveImage(cutFormat, {}, w), WaveReadResult::truncated);

  Bytes shortData = withFormat();
  chunk(shortData, "data", 1000, {5, 6, 7});
  ASSERT_EQ(readWaveImage(shortData, {}, w), WaveReadResult::shortData);
  EXPECT_EQ(w.data.size(), 3u);
  EXPECT_EQ(w.data[2], 7);

  Bytes big = withFormat();
  chunk(big, "LIST", 17, Bytes(18, 0));
  chunk(big, "data", 1, {1});
  EXPECT_EQ(readWaveImage(big, {.maxChunk = 16}, w), WaveReadResult::oversized);
  EXPECT_EQ(readWaveImage(big, {.maxChunk = 17}, w), WaveReadResult::ok);
  EXPECT_EQ(readWaveImage(big, {.maxChunk = 15}, w), WaveReadResult::oversized);  // fmt
}

TEST(RiffWalk, RefusesMissingChunksAndWrongOrder) {
  WaveImage w;
  EXPECT_EQ(readWaveImage(withFormat(), {}, w), WaveReadResult::noDataChunk);
  Bytes notRiff = withFormat();
  notRiff[3] = 'X';
  EXPECT_EQ(readWaveImage(notRiff, {}, w), WaveReadResult::notRiff);

  Bytes dataFirst = riffHead();
  chunk(dataFirst, "data", 1, {1});
  EXPECT_EQ(readWaveImage(dataFirst, {.formatFirst = false}, w), WaveReadResult::noFormat);

  Bytes listFirst = riffHead();
  chunk(listFirst, "LIST", 2, {0, 0});
  chunk(listFirst, "fmt ", 16, formatBody());
  chunk(listFirst, "data", 1, {1});
  EXPECT_EQ(readWaveImage(listFirst, {}, w), WaveReadResult::noFormat);
  EXPECT_EQ(readWaveImage(listFirst, {.formatFirst = false}, w), WaveReadResult::ok);
  EXPECT_EQ(w.chunks.format.channels, 2);
}

// WAVE_FORMAT_EXTENSIBLE record of 40 bytes for 16-bit stereo with the
// given subformat tag.
Bytes extensibleBody(std::uint8_t subTag) {
  Bytes v = formatBody();
  v[0] = 0xFE;
  v[1] = 0xFF;
  const Bytes ext = {22, 0, 16,   0, 3,    0, 0, 0,    subTag, 0,    0,    0,
                     0,  0, 0x10, 0, 0x80, 0, 0, 0xAA, 0,      0x38, 0x9B, 0x71};
  v.insert(v.end(), ext.begin(), ext.end());
  return v;
}

TEST(RiffWalk, OnlyIntegerPcmSamplesAreAccepted) {
  WaveImage w;
  const Bytes pcm = extensibleBody(1);
  // Float, A-law, extensible float, extensible cut before its subformat.
  Bytes alaw = formatBody();
  alaw[0] = 6;
  for (const Bytes& body :
       {Bytes{3, 0, 1, 0}, alaw, extensibleBody(3), Bytes(pcm.begin(), pcm.begin() + 18)}) {
    Bytes v = riffHead();
    chunk(v, "fmt ", static_cast<std::uint32_t>(body.size()), body);
    chunk(v, "data", 2, {1, 2});
    EXPECT_EQ(readWaveImage(v, {}, w), WaveReadResult::notPcm) << body.size();
  }
  Bytes v = riffHead();
  chunk(v, "fmt ", 40, pcm);
  chunk(v, "data", 2, {1, 2});
  ASSERT_EQ(readWaveImage(v, {}, w), WaveReadResult::ok);
  EXPECT_EQ(w.chunks.format.formatTag, 1);
  EXPECT_EQ(w.chunks.format.bitsPerSample, 16);
}

}  // namespace
}  // namespace lamina::riff
