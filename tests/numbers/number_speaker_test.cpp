#include "numbers/number_speaker.h"

#include <gtest/gtest.h>

#include "tests/speech/speech_fixture.h"

namespace lamina::numbers {
namespace {

using speech::testing::SpeechFixture;
using List = std::vector<std::string>;

class NumberSpeaking : public SpeechFixture {
 protected:
  void SetUp() override {
    SpeechFixture::SetUp();
    recordAll({"_zero",    "_um",      "_uma",     "_dois",   "_duas",    "_sete",    "_seis",
               "_cinco",   "_doze",    "_dez",     "_vinte",  "_trinta",  "_quatorz", "_e",
               "_mil",     "_milhoes", "_trilhoe", "_hora",   "_horas",   "_minuto",  "_minutos",
               "_de",      "_primeir", "_Segunda", "_Sabado", "_Dezembr", "_Janeiro", "_Feverei",
               "_Setembr", "_dezeset", "_noventa", "_nove"});
    ASSERT_TRUE(start());
  }
  NumberSpeaker& numbers() { return front().numbers(); }
};

TEST_F(NumberSpeaking, WordsAreJoinedIntoOneImageWithTheFeminineOnlyAtTheEnd) {
  numbers().speakNumberWords("vinte e um", true);
  EXPECT_EQ(heard(), (List{"_vinte", "_e", "_uma"}));
  EXPECT_EQ(device.submissions().size(), 1u) << "one image, no gaps";
  clearHeard();
  numbers().speakNumberWords(
      "um milh\xF5"
      "es dois",
      true);
  EXPECT_EQ(heard(), (List{"_um", "_milhoes", "_duas"}));
  clearHeard();
  numbers().speakNumberWords(
      "doze trilh\xF5"
      "es dezessete",
      true);
  EXPECT_EQ(heard(), (List{"_doze", "_trilhoe", "_dezeset"}));
  clearHeard();
  // A missing word is skipped; the others still play.
  numbers().speakNumberWords("  dois  quarenta sete ", false);
  EXPECT_EQ(heard(), (List{"_dois", "_sete"}));
  clearHeard();
  numbers().speakNumberWords("", false);
  EXPECT_TRUE(device.submissions().empty());
}

TEST_F(NumberSpeaking, LongTextsGoInBatchesAndAHugeRecordingIsNeverCut) {
  record("_quatro", "letras", 12000);
  record("_oito", "letras", 12000);
  record("_treze", "letras", 70000);
  numbers().speakNumberWords("quatro oito quatro", false);
  ASSERT_EQ(device.submissions().size(), 2u);
  EXPECT_EQ(device.submissions()[0].bytes.size(), 2 * 12040u);
  EXPECT_EQ(device.submissions()[1].bytes.size(), 12040u);
  EXPECT_EQ(heard(), (List{"_quatro", "_oito", "_quatro"}));
  clearHeard();
  numbers().speakNumberWords("um treze dois", false);
  EXPECT_EQ(heard(), (List{"_um", "_treze", "_dois"}));
  // The lone "um" is filled up to the player's smallest block of 256.
  EXPECT_EQ(logging.bytesSoFar(), 256u + 70040u + 40u) << "every byte of the long recording";
  for (const auto& s : device.submissions()) EXPECT_LE(s.bytes.size(), kWordBatchBytes);
}

TEST_F(NumberSpeaking, DamagedWordFilesAreSkipped) {
  diphone::testing::writeBytes(root_ / "letras" / "_oito.wav", {'R', 'I', 'F', 'F'});
  diphone::testing::fs::remove(root_ / "letras" / "_nove.wav");
  diphone::testing::fs::create_directories(root_ / "letras" / "_nove.wav");
  numbers().speakNumberWords("oito nove um", false);
  EXPECT_EQ(heard(), (List{"_um"}));
}

TEST_F(NumberSpeaking, TimesTakeFeminineHoursAndSkipZeroMinutes) {
  const std::pair<std::pair<int, int>, List> cases[] = {
      {{0, 5}, {"_zero", "_hora", "_cinco", "_minutos"}},
      {{1, 0}, {"_uma", "_hora"}},
      {{2, 0}, {"_duas", "_horas"}},
      {{12, 0}, {"_doze", "_horas"}},
      {{21, 1}, {"_vinte", "_e", "_uma", "_horas", "_um", "_minuto"}},
      {{14, 30}, {"_quatorz", "_horas", "_trinta", "_minutos"}},
  };
  for (const auto& [time, expected] : cases) {
    clearHeard();
    numbers().speakTime(static_cast<std::uint16_t>(time.first),
                        static_cast<std::uint16_t>(time.second));
    EXPECT_EQ(heard(), expected) << time.first << ":" << time.second;
  }
  clearHeard();
  numbers().speakCurrentTime();
  EXPECT_EQ(heard(), (List{"_quatorz", "_horas", "_trinta", "_minutos"}));
}

TEST_F(NumberSpeaking, DatesNameTheWeekDayAndTheYearAfter2000) {
  numbers().speakCurrentDate();
  EXPECT_EQ(heard(), (List{"_Segunda", "_sete", "_de", "_Dezembr", "_de", "_dois", "_mil", "_e",
                           "_vinte", "_e", "_seis"}));
  clearHeard();
  numbers().speakDate(1, 1, 2000);
  EXPECT_EQ(heard(), (List{"_Sabado", "_primeir", "_de", "_Janeiro", "_de", "_dois", "_mil"}));
  clearHeard();
  numbers().speakDate(21, 2, 2010);
  EXPECT_EQ(heard(),
            (List{"_vinte", "_e", "_um", "_de", "_Feverei", "_de", "_dois", "_mil", "_e", "_dez"}))
      << "21 Feb 2010 was a Sunday, whose recording is missing";
  clearHeard();
  numbers().speakDate(7, 9, 1999);
  EXPECT_EQ(heard(), (List{"_sete", "_de", "_Setembr", "_de", "_noventa", "_e", "_nove"}))
      << "only the last two digits of a year before 2000";
  clearHeard();
  numbers().speakDate(2, 13, 2000);  // no such month: no name, nothing out of bounds
  EXPECT_EQ(heard(), (List{"_dois", "_de", "_de", "_dois", "_mil"}));
}

TEST(WeekDayIndex, GregorianCalendar) {
  EXPECT_EQ(weekDayIndex(7, 12, 2026), 1);
  EXPECT_EQ(weekDayIndex(1, 1, 2000), 6);
  EXPECT_EQ(weekDayIndex(29, 2, 2024), 4);
  EXPECT_EQ(weekDayIndex(1, 3, 1900), 4);
  EXPECT_EQ(weekDayIndex(25, 12, 2100), 6);
}

}  // namespace
}  // namespace lamina::numbers
