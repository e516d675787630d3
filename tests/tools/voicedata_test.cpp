#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "tools/voicedata/sound_edit.h"
#include "tools/voicedata/voice_units.h"

namespace lamina::voicedata {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(UnitPhonemes, MapsOurPhonemesToTheVoicesMnemonics) {
  EXPECT_EQ(espeakPhonemesForUnit("$KA"), "ka");
  EXPECT_EQ(espeakPhonemesForUnit("$A"), "a");
  EXPECT_EQ(espeakPhonemesForUnit("$NN"), "N");
  // Closed and nasal qualities land on the last vowel.
  EXPECT_EQ(espeakPhonemesForUnit("$ACIRC"), "&");
  EXPECT_EQ(espeakPhonemesForUnit("$PECIRC"), "pe");
  EXPECT_EQ(espeakPhonemesForUnit("$ATIL"), "&~");
  EXPECT_EQ(espeakPhonemesForUnit("$MOTIL"), "mo~");
  EXPECT_EQ(espeakPhonemesForUnit("$AATIL"), "a&~");
  // Plain e and o are the open ones.
  EXPECT_EQ(espeakPhonemesForUnit("$PE"), "pE");
  EXPECT_EQ(espeakPhonemesForUnit("$SO"), "sO");
  // Nasal diphthongs.
  EXPECT_EQ(espeakPhonemesForUnit("$AWTIL"), "&U~");
  EXPECT_EQ(espeakPhonemesForUnit("$AYTIL"), "&~j");
  EXPECT_EQ(espeakPhonemesForUnit("$OYTIL"), "o~j");
  // Multi-letter consonants before their letters.
  EXPECT_EQ(espeakPhonemesForUnit("$TCHI"), "tSi");
  EXPECT_EQ(espeakPhonemesForUnit("$DJI"), "dZi");
  EXPECT_EQ(espeakPhonemesForUnit("$NHA"), "n^a");
  EXPECT_EQ(espeakPhonemesForUnit("$RRA"), "xa");
  EXPECT_EQ(espeakPhonemesForUnit("$RA"), "*a");
  EXPECT_EQ(espeakPhonemesForUnit("$XA"), "Sa");
  EXPECT_EQ(espeakPhonemesForUnit("$JA"), "Za");
  EXPECT_EQ(espeakPhonemesForUnit("$KSA"), "ksa");
  EXPECT_EQ(espeakPhonemesForUnit("$AW"), "aw");
  EXPECT_EQ(espeakPhonemesForUnit("$AY"), "aj");
  // A suffix after no vowel is just letters.
  EXPECT_EQ(espeakPhonemesForUnit("$TIL"), "til");
  // Letters that are no phoneme of ours.
  EXPECT_EQ(espeakPhonemesForUnit("$KH"), "");
  EXPECT_EQ(espeakPhonemesForUnit("$K1"), "");
}

TEST(DatabaseLayout, RecordsAreSortedByLengthPrefixedNameWithOffsets) {
  std::vector<UnitEntry> units = {
      {"$KA", Bytes(3, 1)}, {"$A", Bytes(2, 2)}, {"$K", Bytes(1, 3)}, {"$KA", Bytes(5, 9)}};
  units.push_back({"$TOOLONGNAME", Bytes(4, 4)});
  units.push_back({"$BIG", Bytes(70000, 5)});
  const DatabaseFiles files = layOutDatabase(units);
  ASSERT_EQ(files.index.size(), 3u * 15);
  EXPECT_EQ(files.skipped, (std::vector<std::string>{"$BIG", "$TOOLONGNAME"}));
  // $A, $K, $KA in that order; the first $KA given wins.
  const Bytes first(files.index.begin(), files.index.begin() + 15);
  EXPECT_EQ(first, (Bytes{2, '$', 'A', 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0}));
  EXPECT_EQ(files.index[15], 2);
  EXPECT_EQ(files.index[17], 'K');
  EXPECT_EQ(files.index[30], 3);
  EXPECT_EQ(files.index[30 + 11], 3);  // offset of $KA: after 2 + 1 bytes
  EXPECT_EQ(files.data, (Bytes{2, 2, 3, 1, 1, 1}));
  EXPECT_TRUE(unitNameLess("$K", "$KA"));
  EXPECT_FALSE(unitNameLess("$KA", "$K"));
}

TEST(SoundEdit, TrimmedPiecesStartAndEndOnTheZeroLine) {
  Bytes sound(1000, 128);
  for (std::size_t i = 300; i < 700; ++i) sound[i] = i % 2 ? 200 : 56;
  const Bytes piece = trimAndFade(sound, 2, 50, 20);
  ASSERT_EQ(piece.size(), 400u + 50 + 20);
  EXPECT_EQ(piece.front(), 128);
  EXPECT_EQ(piece.back(), 128);
  EXPECT_EQ(piece[50 + 200], 56);  // the middle is untouched
  EXPECT_TRUE(trimAndFade(Bytes(100, 129), 2, 10, 10).empty());
}

TEST(SoundEdit, UnitsFitTheSpeakersCut) {
  // A vowel-like wave with a period of 80 samples, long and short.
  for (std::size_t length : {2000u, 300u}) {
    Bytes sound(length);
    for (std::size_t i = 0; i < length; ++i)
      sound[i] = static_cast<std::uint8_t>(
          128 + std::lround(100 * std::sin(static_cast<double>(i) * 2 * std::numbers::pi / 80)));
    const Bytes piece = trimAndFade(sound, 2, 0, 40);
    const Bytes unit = fitToCut(piece, kSpeakerCut, 40);
    ASSERT_GT(unit.size(), kSpeakerCut) << length;
    const std::size_t kept = unit.size() - kSpeakerCut;
    EXPECT_GE(kept + 40 + 80, piece.size()) << "no more than a period of sound is lost";
    EXPECT_TRUE(
        std::equal(unit.begin(), unit.begin() + static_cast<std::ptrdiff_t>(kept), piece.begin()));
    EXPECT_NEAR(unit[kept - 1], 128, 5) << length;
    EXPECT_GE(unit[kept], unit[kept - 1]) << "the wave rises on at the cut";
    EXPECT_LE(unit[kept] - unit[kept - 1], 12) << "the held sound goes on without a step";
    // The held sound carries the same period on, then ends on the midline.
    if (length == 2000) {
      for (std::size_t j = kept; j < kept + 100; ++j) ASSERT_EQ(unit[j], unit[j - 80]) << j;
    }
    EXPECT_EQ(unit.back(), 128);
    EXPECT_GT(*std::max_element(unit.begin(), unit.begin() + static_cast<std::ptrdiff_t>(kept)),
              200);
  }
}

TEST(SoundEdit, DownsamplingHalvesTheRateAndKeepsLowTones) {
  std::vector<std::int16_t> in(22050);
  for (std::size_t i = 0; i < in.size(); ++i) {
    const double t = static_cast<double>(i) / 22050.0;
    in[i] = static_cast<std::int16_t>(8000 * std::sin(2 * std::numbers::pi * 440 * t) +
                                      8000 * std::sin(2 * std::numbers::pi * 9000 * t));
  }
  const Bytes out = downsampleTo8Bit(in, 1.0);
  ASSERT_EQ(out.size(), 11025u);
  // 440 Hz passes at about 8000 / 256 = 31 steps; 9000 Hz (above the new
  // Nyquist frequency) must not fold back into it.
  int peak = 0;
  for (std::size_t i = 100; i < out.size() - 100; ++i)
    peak = std::max(peak, std::abs(int{out[i]} - 128));
  EXPECT_NEAR(peak, 31, 4);
}

double power(const Bytes& s, double hz) {
  double re = 0, im = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const double v = int{s[i]} - 128;
    const double t = static_cast<double>(i) / kOutputRate;
    re += v * std::cos(2 * std::numbers::pi * hz * t);
    im += v * std::sin(2 * std::numbers::pi * hz * t);
  }
  return (re * re + im * im) / static_cast<double>(s.size() * s.size());
}

TEST(SoundEdit, TelephoneTonesHoldTheirTwoFrequencies) {
  const Bytes tone = dtmfTone(770, 1336, 0.12);  // key 5
  EXPECT_EQ(tone.size(), 1323u);
  EXPECT_EQ(tone.front(), 128);
  EXPECT_EQ(tone.back(), 128);
  const double low = power(tone, 770), high = power(tone, 1336);
  EXPECT_GT(low, 100 * power(tone, 697));
  EXPECT_GT(high, 100 * power(tone, 1209));
  EXPECT_GT(low, 100 * power(tone, 1000));
}

TEST(SoundEdit, WaveFilesHaveTheCanonicalHeader) {
  const Bytes file = waveFileBytes(Bytes{1, 2, 3});
  ASSERT_EQ(file.size(), 47u);
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 4), (Bytes{'R', 'I', 'F', 'F'}));
  EXPECT_EQ(file[4], 39);
  EXPECT_EQ(file[24] | (file[25] << 8), 11025);
  EXPECT_EQ(file[34], 8);
  EXPECT_EQ(file[40], 3);
  EXPECT_EQ(file[46], 3);
}

}  // namespace
}  // namespace lamina::voicedata
