// The unit list against what the speaker really asks the database for:
// a voice holding exactly the listed units speaks a large text made by the
// shipped letter rules, and every look-up must find its unit.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "diphone/letter_rules.h"
#include "diphone/speaker.h"
#include "diphone/unit_names.h"
#include "platform/cp1252.h"
#include "tests/diphone/database_fixture.h"

namespace lamina::diphone {
namespace {

class DiscardingOutput final : public SpeechOutput {
 public:
  void playWaveImage(std::span<const std::uint8_t> /*image*/) override { ++played; }
  bool isSpeaking() override { return false; }
  int played = 0;
};

std::string readBytes(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> listedUnits() {
  std::vector<std::string> names;
  std::istringstream lines(readBytes("data/diphone/units.txt"));
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] != '#') names.push_back(line);
  }
  return names;
}

// Every respelling of the exceptions file, words whose semivowel clusters
// and final consonant pairs once went unlisted, and Portuguese syllables
// mixed the way presentations mix them (cp1252, as the program holds text).
std::string largeText() {
  std::string text;
  std::istringstream exceptions(readBytes("data/diphone/portug.exc"));
  for (std::string line; std::getline(exceptions, line);)
    text += line.substr(0, line.find('=')) + ' ';
  text += cp1252::fromUtf8(
      "Taiwan taiwanês Caiuá Tuiuti Ituiutaba Aiuaba Iuiú Malawi Pauini Wall Marshall Penh ");
  const char* syllables[] = {"ca",  "sa",  "pro", "gra", "ção",  "ções", "men", "te", "lho", "nha",
                             "ri",  "qua", "gue", "xi",  "tra",  "pão",  "dis", "al", "ar",  "es",
                             "bem", "in",  "for", "ma",  "di",   "cul",  "da",  "de", "é",   "ô",
                             "são", "cha", "ge",  "ji",  "quei", "ou",   "rr",  "ss", "sc",  "ex",
                             "iu",  "ai",  "ui",  "wa",  "au",   "ll",   "nh"};
  unsigned seed = 7;
  for (int w = 0; w < 20000; ++w) {
    // Up to three syllables: the unit list is made from every such word.
    const int n = 1 + static_cast<int>(seed % 3);
    for (int s = 0; s < n; ++s) {
      seed = seed * 1103515245u + 12345u;
      text += cp1252::fromUtf8(syllables[(seed >> 8) % std::size(syllables)]);
    }
    text += ' ';
  }
  return text;
}

class ListedVoice : public testing::VoiceDir {
 protected:
  void SetUp() override {
    VoiceDir::SetUp();
    units_ = listedUnits();
    ASSERT_GT(units_.size(), 100u);
    for (const std::string& name : units_) ASSERT_LE(name.size(), kMaxUnitName) << name;
    std::map<std::string, std::pair<std::uint16_t, std::uint8_t>> database;
    for (const std::string& name : units_) database[name] = {500, 128};
    writeDatabase(database);
    ASSERT_EQ(db_.diphoneStart(), StartResult::ready);
    ASSERT_TRUE(shipped_.loadLetterRules("data/diphone/regras.rgr"));
    ASSERT_TRUE(shipped_.loadWordExceptions("data/diphone/portug.exc"));
    db_.setLookupObserver([this](std::string_view name, bool found) {
      // The index is searched upper-cased; unitNames names units that way.
      std::string upper(name);
      for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      }
      (found ? found_ : missing_).push_back(std::move(upper));
    });
  }

  std::vector<std::string> units_;
  DiphoneDatabase db_{rules_, locations()};
  DiscardingOutput out_;
  DiphoneSpeaker speaker_{db_, out_};
  LetterRules shipped_;
  std::vector<std::string> found_;
  std::vector<std::string> missing_;
};

TEST_F(ListedVoice, EveryUnitTheSpeakerLooksUpIsListed) {
  const std::string phonetic = shipped_.textToPhonemes(largeText());
  speaker_.speakPhonetic(phonetic, false);
  EXPECT_GT(out_.played, 0);
  EXPECT_GT(found_.size(), 40000u);
  // Names of more than 8 characters can never be in the index; the speaker
  // then plays the shorter units that stand in for them.
  std::map<std::string, int> unlisted;
  for (const std::string& name : missing_) {
    if (name.size() <= kMaxUnitName) ++unlisted[name];
  }
  for (const auto& [name, times] : unlisted) ADD_FAILURE() << name << " looked up " << times << "x";

  // The unit list is made from unitNames: it names exactly what was found,
  // in the same order.
  EXPECT_EQ(unitNames(phonetic), found_);
}

}  // namespace
}  // namespace lamina::diphone
