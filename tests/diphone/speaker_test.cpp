#include "diphone/speaker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/diphone/database_fixture.h"
#include "wave/wave_player.h"

namespace lamina::diphone {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Keeps every image played; nothing is ever still sounding.
class FakeOutput final : public SpeechOutput {
 public:
  void playWaveImage(std::span<const std::uint8_t> image) override {
    images.emplace_back(image.begin(), image.end());
  }
  bool isSpeaking() override { return false; }

  // The samples of every image, one after another.
  Bytes samples() const {
    Bytes all;
    for (const Bytes& i : images) all.insert(all.end(), i.begin() + 44, i.end());
    return all;
  }
  std::vector<Bytes> images;
};

Bytes run(std::size_t n, std::uint8_t value) {
  return Bytes(n, value);
}
Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class SpeakerTest : public testing::VoiceDir {
 protected:
  void start() { ASSERT_EQ(db_.diphoneStart(), StartResult::ready); }
  Bytes speak(std::string_view phonetic, bool noPauses = false) {
    out_.images.clear();
    speaker_.speakPhonetic(phonetic, noPauses);
    return out_.samples();
  }

  DiphoneDatabase db_{rules_, locations()};
  FakeOutput out_;
  DiphoneSpeaker speaker_{db_, out_};
};

TEST_F(SpeakerTest, OneUnitIsCutUnlessStressedAndHasNoTrailingPause) {
  writeDatabase({{"$KA", {1000, 10}}});
  start();
  EXPECT_EQ(speak("[ka]"), run(600, 10));
  EXPECT_EQ(speak("[kA]"), run(1000, 10));
  ASSERT_EQ(out_.images.size(), 1u);
  // The image carries the wave header for its samples.
  Bytes header(44);
  wave::makeWaveHeader(header, 1000, 11025, 8, 1);
  EXPECT_TRUE(std::equal(header.begin(), header.end(), out_.images[0].begin()));
  EXPECT_EQ(speaker_.fillPosition(), 44u);
}

TEST_F(SpeakerTest, CutUnitsShrinkToTheKeepLength) {
  writeDatabase({{"$PA", {300, 7}}, {"$KA", {100, 8}}});
  start();
  EXPECT_EQ(speak("[pa]"), Bytes());
  db_.setSynthesisCuts(400, 120, 100);
  EXPECT_EQ(speak("[pa]"), run(120, 7));
  // Never more than the unit holds.
  EXPECT_EQ(speak("[ka]"), run(100, 8));
}

TEST_F(SpeakerTest, WordsAreSeparatedByTheWordPause) {
  writeDatabase({{"$KA", {1000, 10}}});
  start();
  EXPECT_EQ(speak("[ka][ka]"), run(600, 10) + run(100, 128) + run(600, 10));
  // A blank ends a unit without a pause.
  EXPECT_EQ(speak("[ka ka]"), run(600, 10) + run(600, 10));
  db_.setSynthesisCuts(400, 0, 250);  // silence goes in whole blocks of 100
  EXPECT_EQ(speak("[ka][ka]"), run(600, 10) + run(200, 128) + run(600, 10));
}

TEST_F(SpeakerTest, SpelledPunctuationIsAPauseUnlessPausesAreOff) {
  writeDatabase({{"$KA", {1000, 10}}});
  writeLetter("_44", run(50, 44));
  start();
  EXPECT_EQ(speak("[ /_,]"), run(4000, 128));
  EXPECT_EQ(speak("[ /_,]", true), run(50, 44));
  EXPECT_EQ(speak("[ /_.]"), run(8000, 128));
  EXPECT_EQ(speak("[ /_;]"), run(6000, 128));
  EXPECT_EQ(speak("[ /_:]"), run(8000, 128));
}

TEST_F(SpeakerTest, MissingNasalUnitFallsBackToClosedVowelAndNasalMurmur) {
  writeDatabase({{"$PACIRC", {600, 40}}, {"$NN", {1000, 50}}});
  start();
  // $paTIL is missing: $paCIRC stressed at 0.9 (uncut), then $nn at 0.9 (cut).
  EXPECT_EQ(speak("[pa~]"), run(540, 40) + run(540, 50));
}

TEST_F(SpeakerTest, MissingClosedUnitSplitsOffItsVowel) {
  writeDatabase({{"$P", {100, 1}}, {"$ACIRC", {1000, 2}}});
  start();
  // $paCIRC missing: $p at 0.9, then $aCIRC (6 characters, cut).
  EXPECT_EQ(speak("[pa^]"), run(90, 1) + run(600, 2));
}

TEST_F(SpeakerTest, TokensEndingInConsonantsAndSAreSplit) {
  writeDatabase({{"$KASA", {800, 60}}, {"$S", {300, 30}}, {"$A", {500, 20}}});
  start();
  // kasas: kasa (cut), then s (two characters: never cut).
  EXPECT_EQ(speak("[kasas]"), run(400, 60) + run(300, 30));
  // as: a at 0.7, then s.
  EXPECT_EQ(speak("[as]"), run(350, 20) + run(300, 30));
  // Letter groups joined by slashes make one token.
  EXPECT_EQ(speak("[ka/sa/s]"), run(400, 60) + run(300, 30));
}

TEST_F(SpeakerTest, LeadingConsonantClustersAreSpokenApart) {
  writeDatabase({{"$P", {100, 1}}, {"$RA", {1000, 2}}, {"$TCHA", {1000, 3}}});
  start();
  EXPECT_EQ(speak("[pra]"), run(100, 1) + run(600, 2));
  EXPECT_EQ(speak("[tcha]"), run(600, 3));
}

TEST_F(SpeakerTest, NasalDiphthongPlaysClosedSyllableThenDiphthongUnit) {
  writeDatabase({{"$PACIRC", {1000, 40}}, {"$AWTIL", {1000, 41}}});
  start();
  // pa~w: pa^ at 0.6 (cut), then the unit aw~.
  EXPECT_EQ(speak("[pa~w]"), run(360, 40) + run(600, 41));
}

TEST_F(SpeakerTest, SemivowelRunsAreSpokenInPairsAndSplitWhenMissing) {
  writeDatabase({{"$TA", {1000, 1}},
                 {"$AY", {1000, 2}},
                 {"$YW", {1000, 3}},
                 {"$A", {1000, 4}},
                 {"$W", {500, 5}}});
  start();
  // tayw: ta and ay at 0.6 (cut), then yw.
  EXPECT_EQ(speak("[ t/a/y/w]"), run(360, 1) + run(360, 2) + run(600, 3));
  // $aw is missing: $a at 0.9 and $w, both too short to be cut.
  EXPECT_EQ(speak("[aw]"), run(900, 4) + run(500, 5));
}

TEST_F(SpeakerTest, MissingShortUnitsBecomeNoise) {
  writeDatabase({{"$KA", {1000, 10}}});
  start();
  const Bytes noise = speak("[b]");
  ASSERT_EQ(noise.size(), DiphoneSpeaker::kNoiseBytes);
  EXPECT_TRUE(
      std::all_of(noise.begin(), noise.end(), [](std::uint8_t b) { return b >= 88 && b <= 167; }));
  EXPECT_GT(
      std::count_if(noise.begin(), noise.end(), [&](std::uint8_t b) { return b != noise[0]; }), 0);
  // The code-1 word: its sound when present, noise otherwise.
  EXPECT_EQ(speak("[ /_\x01]").size(), DiphoneSpeaker::kNoiseBytes);
  writeLetter("_1", run(70, 1));
  EXPECT_EQ(speak("[ /_\x01]"), run(70, 1));
  // A long name with nothing to fall back to is left out.
  EXPECT_TRUE(speak("[gl]").empty());
}

TEST_F(SpeakerTest, RecordedSoundsPlayByCharacterCodeAndDashByName) {
  writeDatabase({{"$KA", {1000, 10}}});
  writeLetter("_65", run(30, 65));
  writeLetter("_97", run(20, 97));
  writeLetter("_TRACO", run(40, 45));
  start();
  EXPECT_EQ(speak("[ /_A]"), run(30, 65));
  EXPECT_EQ(speak("[ /_a]"), run(20, 97));
  EXPECT_EQ(speak("[|]"), run(40, 45));
  EXPECT_EQ(speak("[ka/ /_A]"), run(600, 10) + run(30, 65));
}

TEST_F(SpeakerTest, LetterWithoutRuleInsideAWordIsHeardAndTheWordGoesOn) {
  writeDatabase({{"$KA", {1000, 10}}, {"$AR", {1000, 20}}});
  writeLetter("_90", run(30, 90));
  writeLetter("_TRACO", run(40, 45));
  start();
  // The rules gave " /_Z" for the z of "kazar": its sound, then "ar".
  EXPECT_EQ(speak("[ k/A/ /_Z/a/r]"), run(1000, 10) + run(30, 90) + run(600, 20));
  EXPECT_EQ(speak("[ /_Z/a/r/ k/a]"), run(30, 90) + run(600, 20) + run(600, 10));
  EXPECT_EQ(speak("[|/ka]"), run(40, 45) + run(600, 10));
}

TEST_F(SpeakerTest, LetterSoundsWithoutUsableDataAreMissingUnits) {
  writeDatabase({{"$KA", {1000, 10}}});
  testing::writeBytes(root_ / "letras" / "_66.wav", {'R', 'I', 'F', 'F', 0,   0,   0, 0, 'W', 'A',
                                                     'V', 'E', 'f', 'm', 't', ' ', 0, 0, 0,   0});
  testing::writeBytes(root_ / "letras" / "_67.wav", {'n', 'o', 'p', 'e'});
  // "fmt " first is required; other chunks before "data" are skipped.
  Bytes listFirst = testing::waveFile(run(10, 3));
  Bytes odd(listFirst.begin(), listFirst.begin() + 36);
  const Bytes list = {'L', 'I', 'S', 'T', 4, 0, 0, 0, 'x', 'x', 'x', 'x'};
  odd.insert(odd.end(), list.begin(), list.end());
  odd.insert(odd.end(), listFirst.begin() + 36, listFirst.end());
  testing::writeBytes(root_ / "letras" / "_68.wav", odd);
  start();
  EXPECT_TRUE(speak("[ /_B]").empty());
  EXPECT_TRUE(speak("[ /_C]").empty());
  EXPECT_EQ(speak("[ /_D]"), run(10, 3));
  EXPECT_FALSE(speaker_.playLetterSound("_66"));
  EXPECT_FALSE(speaker_.playLetterSound("_999"));
}

TEST_F(SpeakerTest, TextLongerThanTheBufferPlaysInSeveralBuffers) {
  writeDatabase({{"$KA", {20000, 10}}, {"$SA", {20000, 20}}});
  start();
  std::string text;
  Bytes expected;
  for (int i = 0; i < 5; ++i) {
    text += "[kA][sA]";
    expected = expected + run(20000, 10) + run(100, 128) + run(20000, 20);
    if (i < 4) expected = expected + run(100, 128);
  }
  EXPECT_EQ(speak(text), expected);
  ASSERT_GE(out_.images.size(), 4u);
  for (const Bytes& image : out_.images) {
    EXPECT_LE(image.size(), kSoundBufferSize);
    const std::uint32_t declared =
        image[40] | (image[41] << 8) | (image[42] << 16) | (image[43] << 24);
    EXPECT_EQ(declared, image.size() - 44);
  }
}

TEST_F(SpeakerTest, SoundLargerThanTheBufferPlaysOnItsOwnInPieces) {
  writeDatabase({{"$KA", {1000, 10}}});
  Bytes big(70000);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i % 200);
  writeLetter("_200", big);
  start();
  const Bytes got = speak("[kA/ /_\xC8]");
  // At most 65535 bytes of a recorded sound are read.
  const Bytes expected = run(1000, 10) + Bytes(big.begin(), big.begin() + 65535);
  EXPECT_EQ(got, expected);
  ASSERT_EQ(out_.images.size(), 3u);
  EXPECT_EQ(out_.images[0].size(), 44u + 1000);  // what came before, alone
  EXPECT_EQ(out_.images[1].size(), kSoundBufferSize);
  EXPECT_EQ(out_.images[2].size(), 44u + 65535 - DiphoneSpeaker::kMaxPiece);
}

TEST_F(SpeakerTest, NothingIsPlayedBeforeStart) {
  writeDatabase({{"$KA", {1000, 10}}});
  speaker_.speakPhonetic("[kA]", false);
  speaker_.addNoise();
  speaker_.flushOutput();
  EXPECT_TRUE(out_.images.empty());
}

}  // namespace
}  // namespace lamina::diphone
