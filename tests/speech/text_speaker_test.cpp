#include "speech/text_speaker.h"

#include <gtest/gtest.h>

#include "tests/speech/speech_fixture.h"

namespace lamina::speech {
namespace {

using testing::SpeechFixture;
using List = std::vector<std::string>;

class TextSpeaking : public SpeechFixture {
 protected:
  void SetUp() override {
    SpeechFixture::SetUp();
    recordAll({"_zero", "_MENOS", "_sete", "_cinco", "_cento", "_e", "_vinte", "_tres", "_mil",
               "_quatroc", "_cinquen", "_seis", "_quatorz", "_trinta", "_dois", "_um"});
    for (const int c : {33, 40, 41, 44, 45, 46, 47, 49, 50, 51, 52, 53, 54, 55, 58, 59, 64, 119})
      record("_" + std::to_string(c));
    ASSERT_TRUE(start());
  }
  List say(std::string_view text) {
    clearHeard();
    front().text().speakText(text);
    return heard();
  }
};

TEST_F(TextSpeaking, ZerosDigitRunsAndHyphens) {
  EXPECT_EQ(say("007"), (List{"_zero", "_zero", "_sete"}));
  EXPECT_EQ(say("1234567"), (List{"_49", "_50", "_51", "_52", "_53", "_54", "_55"}));
  EXPECT_EQ(say("123456"), (List{"_cento", "_e", "_vinte", "_e", "_tres", "_mil", "_quatroc", "_e",
                                 "_cinquen", "_e", "_seis"}));
  EXPECT_EQ(say("12-34"), (List{"_49", "_50", "_45", "_51", "_52"}));
  EXPECT_EQ(say("-5"), (List{"_MENOS", "_cinco"}));
  EXPECT_EQ(say("kasa - sa"), (List{"synth", "_45", "pause 150", "synth"}));
  EXPECT_EQ(say("kasa-sa"), (List{"synth"})) << "a hyphen inside a word is dropped";
  EXPECT_EQ(say("kasa -sa"), (List{"synth"}));
  EXPECT_EQ(say("(-sa"), (List{"_40", "pause 200", "_45", "synth"}));
  EXPECT_EQ(say("--"), (List{"_45", "_45", "pause 150"}));
  // En and em dashes act as the hyphen, the no-break space as a blank.
  EXPECT_EQ(say("kasa \x97 sa"), (List{"synth", "_45", "pause 150", "synth"}));
  EXPECT_EQ(say("\x96" "5"), (List{"_MENOS", "_cinco"}));
  EXPECT_EQ(say("kasa\xA0-\xA0sa"), (List{"synth", "_45", "pause 150", "synth"}));
}

TEST_F(TextSpeaking, WebAddressesArePartlySpelled) {
  EXPECT_EQ(say("www.kasa"), (List{"_119", "_119", "_119", "_46", "synth"}));
  EXPECT_EQ(say("kasa://sa"), (List{"synth", "_58", "_47", "_47", "synth"}));
  EXPECT_EQ(say("kasa@sa"), (List{"synth", "_64", "synth"}));
}

TEST_F(TextSpeaking, PunctuationPausesAndRepeatedSymbolsClick) {
  EXPECT_EQ(say("kasa, sa."), (List{"synth", "_44", "pause 150", "synth", "_46", "pause 250"}));
  EXPECT_EQ(say("sa;(kasa)"),
            (List{"synth", "_59", "pause 200", "_40", "pause 200", "synth", "_41", "pause 200"}));
  EXPECT_EQ(say("!!!!!!"), (List{"_33", "_33", "_33", "_33", "click", "click"}));
  EXPECT_EQ(say("------"), (List{"_45", "_45", "_45", "_45", "click", "click"}));
  EXPECT_EQ(say("1,5"), (List{"_um", "_44", "_cinco"})) << "no pause without a blank after";
}

TEST_F(TextSpeaking, PausesFollowTheSpeedSettings) {
  writeIni("[SINTETIZADOR]\nPAUSAVIRG2=300\nPAUSAPONTO2=40\nPAUSADOISPONTOS2=-1\n");
  ASSERT_TRUE(start(2));
  EXPECT_EQ(say("sa, sa. sa: sa"),
            (List{"synth", "_44", "pause 300", "synth", "_46", "synth", "_58", "synth"}));
}

TEST_F(TextSpeaking, UpperTextRaisesLettersAndTheHighHalf) {
  EXPECT_EQ(upperText("abc xyz 09"), "ABC XYZ 09");
  EXPECT_EQ(upperText("\xE0\xE7\xFE\xFF\xDF\xC0\x80"), "\xC0\xC7\xDE\xDF\xDF\xC0\x80");
}

std::string longText() {
  std::string text;
  const char* pieces[] = {"kasa 1250, ", "sa 007 kasa. ", "www.kasa.sa ", "12-34 ",
                          "kasa://sa/ ", "!!!!!! ",       "-5 ",          "1234567; "};
  for (int i = 0; text.size() < 1990; ++i) text += pieces[i % 8];
  text.resize(1990);
  return text + " kasa fim.";
}

TEST_F(TextSpeaking, ALongTextPlaysToItsEndAndAKeyStopsItBeforeTheNextPiece) {
  const List whole = say(longText());
  ASSERT_GT(whole.size(), 400u);
  EXPECT_EQ(List(whole.end() - 3, whole.end()), (List{"synth", "_46", "pause 250"}));

  clearHeard();
  std::size_t atKey = 0;
  logging.onWait = [&] {
    if (atKey == 0 && device.submissions().size() >= 120) {
      atKey = device.submissions().size();
      pump.pushKey('z');
    }
  };
  front().text().speakText(longText());
  ASSERT_GT(atKey, 0u);
  EXPECT_EQ(device.submissions().size(), atKey) << "nothing after the key";
  EXPECT_LT(heard().size(), whole.size() / 2);
  EXPECT_TRUE(front().recorded().interrupted());
  EXPECT_EQ(keys.readKey(), 'z');
}

TEST_F(TextSpeaking, EveryByteIsSpokenWithoutHarm) {
  std::string text;
  for (int c = 0; c < 256; ++c) text += static_cast<char>(c);
  const List all = say(text + text);
  EXPECT_FALSE(all.empty());
  EXPECT_GE(std::count(all.begin(), all.end(), "_33"), 2);
  const List once = say(std::string(1, '\0'));
  EXPECT_TRUE(once.empty());
}

}  // namespace
}  // namespace lamina::speech
