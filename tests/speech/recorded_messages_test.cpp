#include <gtest/gtest.h>

#include "speech/recorded_speech.h"
#include "tests/speech/speech_fixture.h"

namespace lamina::speech {
namespace {

using testing::SpeechFixture;
using List = std::vector<std::string>;

class RecordedMessages : public SpeechFixture {
 protected:
  void SetUp() override {
    SpeechFixture::SetUp();
    record("_DEL");
    record("LMNOMARQ", "som");
    recordAll({"_65", "_66", "_67", "dtmf_1", "dtmf_2", "dtmf_X", "dtmf_#"});
    ASSERT_TRUE(start());
  }
  RecordedSpeech& speech() { return front().recorded(); }
};

TEST_F(RecordedMessages, KeysNameTheirDirectoryAndMissingFilesAreSilent) {
  speech().speakMessage("_DEL");
  speech().speakMessage("LMNOMARQ");
  speech().speakMessage("_NOPE");
  speech().speakMessage("");
  speech().speakChar('A');
  speech().speakChar(200);
  EXPECT_EQ(heard(), (List{"_DEL", "LMNOMARQ", "_65"}));
  EXPECT_TRUE(speech().messageExists("_DEL"));
  EXPECT_TRUE(speech().messageExists("lmnomarq")) << "file names are case-blind";
  EXPECT_FALSE(speech().messageExists("_dell"));
  EXPECT_FALSE(speech().messageExists("DEL")) << "not in the sound directory";
  // With an empty sound directory a message is looked up where we are.
  front().state().soundDir.clear();
  EXPECT_EQ(speech().messageFile("LMNOMARQ").filename(), "LMNOMARQ.wav");
  EXPECT_FALSE(speech().messageExists("LMNOMARQ"));
}

TEST_F(RecordedMessages, DamagedFilesPlayNothingAndTheRestGoesOn) {
  diphone::testing::writeBytes(root_ / "letras" / "_66.wav", {'R', 'I', 'F', 'F', 1, 2});
  diphone::testing::writeBytes(root_ / "letras" / "_67.wav", {});
  speech().spellText("ABCA");
  EXPECT_EQ(heard(), (List{"_65", "_65"}));
}

TEST_F(RecordedMessages, SpellingStopsAtAPendingKeyWithoutTakingIt) {
  keyAfterSubmissions(1);
  speech().spellText("AAAA");
  EXPECT_EQ(heard(), (List{"_65"}));
  EXPECT_EQ(pump.keyCount(), 1u);
}

TEST_F(RecordedMessages, ThePendingKeyCutsAllOutputAndWakesWaiters) {
  ASSERT_EQ(player.playWaveMemory(beepImage()), platform::WaveResult::ok);
  pump.pushKey('x');
  const int wakes = logging.wakes;
  EXPECT_FALSE(speech().isSpeaking());
  EXPECT_FALSE(player.deviceOpen());
  EXPECT_TRUE(speech().interrupted());
  EXPECT_EQ(logging.wakes, wakes + 1);
  EXPECT_EQ(pump.keyCount(), 1u);
}

TEST_F(RecordedMessages, TheBeepSwallowsPendingKeysAndPlaysWhole) {
  pump.pushKey('a');
  pump.pushKey('b');
  speech().beepTone();
  EXPECT_EQ(heard(), (List{"beep"}));
  EXPECT_EQ(pump.keyCount(), 0u);
  const auto beep = beepImage();
  ASSERT_EQ(beep.size(), 556u);
  const std::uint8_t cycle[] = {128, 112, 96, 80, 64, 80, 96, 112};
  for (std::size_t i = 0; i < 511; ++i) ASSERT_EQ(beep[44 + i], cycle[i % 8]) << i;
  EXPECT_EQ(beep[44 + 511], 128);
}

TEST_F(RecordedMessages, TheClickIsTheSameImageEveryTimeWithCompressionOff) {
  const auto click = speech().clickImage();
  ASSERT_EQ(click.size(), 300u);
  for (std::size_t i = 0; i < 256; ++i) {
    if (i < 64) {
      ASSERT_GE(click[44 + i], 128);
      ASSERT_LE(click[44 + i], 187);
    } else {
      ASSERT_EQ(click[44 + i], 128);
    }
  }
  player.setWaveCompress(true);
  speech().clickSound();
  speech().clickSound();
  EXPECT_EQ(heard(), (List{"click", "click"}));
  EXPECT_TRUE(player.waveCompress()) << "restored";
}

TEST_F(RecordedMessages, TelephoneTonesWithPausesAndAOneSecondComma) {
  player.setWaveFast(true);
  speech().playDtmf("12,*#?");
  EXPECT_EQ(heard(), (List{"dtmf_1", "pause 100", "dtmf_2", "pause 1100", "dtmf_X", "pause 100",
                           "dtmf_#", "pause 100"}));
  EXPECT_TRUE(player.waveFast());
}

TEST_F(RecordedMessages, AKeyReadAloudCutsWhatSoundsAndIsSpoken) {
  pump.pushKey('B');
  pump.pushKey('A');
  EXPECT_EQ(speech().readKeySpoken(), 'B');
  EXPECT_EQ(heard(), (List{}));
  EXPECT_EQ(speech().readKeySpoken(), 'A');
  EXPECT_EQ(heard(), (List{"_65"}));
}

}  // namespace
}  // namespace lamina::speech
