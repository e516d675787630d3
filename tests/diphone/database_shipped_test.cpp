// The voice data the build makes: every unit the letter rules can ask for is
// in the database and joins cleanly, and every recorded sound is a proper
// 8-bit 11025 Hz wave file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "diphone/database.h"
#include "diphone/letter_rules.h"
#include "platform/cp1252.h"

namespace lamina::diphone {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> listedUnits() {
  std::vector<std::string> names;
  std::ifstream in("data/diphone/units.txt");
  std::string line;
  while (std::getline(in, line)) {
    line = line.substr(0, line.find('#'));
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
    if (!line.empty()) names.push_back(line);
  }
  return names;
}

std::vector<std::string> letterKeys() {
  std::vector<std::string> keys;
  std::ifstream in("data/voice/letras.txt");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = line.substr(0, eq);
    while (!key.empty() && key.back() == ' ') key.pop_back();
    keys.push_back(key);
  }
  return keys;
}

class ShippedVoice : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(db.diphoneStart(), StartResult::ready)
        << "the build's voice data is missing from " << DataLocations::standard().defaultDiphoneDir;
  }
  LetterRules rules;
  DiphoneDatabase db{rules, DataLocations::standard()};
};

TEST_F(ShippedVoice, HoldsEveryListedUnitStartingAndEndingOnTheZeroLine) {
  const std::vector<std::string> units = listedUnits();
  ASSERT_GT(units.size(), 100u);
  EXPECT_EQ(db.index().size(), units.size());
  for (const std::string& name : units) {
    const UnitRecord* r = db.findUnit(name);
    ASSERT_NE(r, nullptr) << name;
    ASSERT_GT(r->length, 100) << name;
    std::vector<std::uint8_t> sound;
    ASSERT_TRUE(db.readUnit(*r, r->length, sound)) << name;
    EXPECT_NEAR(sound.front(), 128, 3) << name;
    EXPECT_NEAR(sound.back(), 128, 3) << name;
  }
  for (std::size_t i = 1; i < db.index().size(); ++i) {
    EXPECT_LT(compareUnitNames(db.index()[i - 1].name, db.index()[i].name), 0);
  }
}

TEST_F(ShippedVoice, EveryUnitCutAsTheSpeakerCutsItEndsOnTheMidlineWithItsSound) {
  // The default settings: unstressed units of three or more characters lose
  // the cut length from their end, which must take only held sound.
  const SynthesisSettings defaults;
  auto loud = [](const std::vector<std::uint8_t>& s) {
    return std::count_if(s.begin(), s.end(),
                         [](std::uint8_t v) { return std::abs(int{v} - 128) > 20; });
  };
  ASSERT_GT(db.index().size(), 100u);
  int cutUnits = 0;
  for (const UnitRecord& r : db.index()) {
    if (r.name.size() < 3) continue;
    ++cutUnits;
    const auto cut = static_cast<std::size_t>(defaults.cutLength);
    std::size_t length = r.length > cut ? r.length - cut : 0;
    length = std::max<std::size_t>(length, std::min<std::size_t>(defaults.keepLength, r.length));
    std::vector<std::uint8_t> whole, kept;
    ASSERT_TRUE(db.readUnit(r, r.length, whole)) << r.name;
    ASSERT_TRUE(db.readUnit(r, length, kept)) << r.name;
    ASSERT_GT(kept.size(), 100u) << r.name << " shrinks to nothing";
    EXPECT_NEAR(kept.back(), 128, 20) << r.name << " clicks at its join";
    EXPECT_GE(loud(kept) * 4, loud(whole) * 3) << r.name << " loses its sound to the cut";
  }
  EXPECT_GT(cutUnits, 100);
}

TEST_F(ShippedVoice, EveryRecordedSoundIsAnEightBitMonoWaveFile) {
  std::vector<std::string> keys = letterKeys();
  ASSERT_GT(keys.size(), 300u);
  for (const char* d : {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "#", "X"}) {
    keys.push_back(std::string("dtmf_") + d);
  }
  for (const std::string& key : keys) {
    std::ifstream in(db.lettersDir() / (key + ".wav"), std::ios::binary);
    ASSERT_TRUE(in) << key;
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GT(bytes.size(), 44u + 500) << key;
    const auto u32 = [&](std::size_t at) {
      return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (bytes[at + 3] << 24);
    };
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF") << key;
    EXPECT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 40), "data") << key;
    EXPECT_EQ(u32(24), 11025) << key;
    EXPECT_EQ(bytes[22], 1) << key;  // mono
    EXPECT_EQ(bytes[34], 8) << key;
    EXPECT_EQ(static_cast<std::size_t>(u32(40)), bytes.size() - 44) << key;
    EXPECT_EQ(bytes[44], 128) << key;
    EXPECT_EQ(bytes.back(), 128) << key;
  }
}

TEST_F(ShippedVoice, EveryPrintableCharacterHasItsSound) {
  for (int code = 32; code < 256; ++code) {
    // DEL is a control code; the five the code page leaves undefined have no
    // name.
    if (code == 127 || code == 129 || code == 141 || code == 143 || code == 144 || code == 157)
      continue;
    EXPECT_TRUE(fs::exists(db.lettersDir() / ("_" + std::to_string(code) + ".wav"))) << code;
  }
}

}  // namespace
}  // namespace lamina::diphone
