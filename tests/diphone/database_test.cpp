#include "diphone/database.h"

#include <gtest/gtest.h>

#include "tests/diphone/database_fixture.h"

namespace lamina::diphone {
namespace {

namespace fs = std::filesystem;
using testing::indexRecord;
using testing::writeBytes;
using testing::writeText;

class DatabaseTest : public testing::VoiceDir {};

TEST_F(DatabaseTest, StartsWithEveryFilePresentAndStopsBackToNothing) {
  writeDatabase({{"$A", {10, 1}}, {"$KA", {20, 2}}});
  DiphoneDatabase db(rules_, locations());
  EXPECT_FALSE(db.ready());
  ASSERT_EQ(db.diphoneStart(), StartResult::ready);
  EXPECT_TRUE(db.ready());
  EXPECT_EQ(db.index().size(), 2u);
  EXPECT_EQ(db.soundBuffer().size(), kSoundBufferSize);
  EXPECT_GT(rules_.ruleCount(), 0u);
  EXPECT_EQ(db.lettersDir(), root_ / "letras");

  db.diphoneStop();
  EXPECT_FALSE(db.ready());
  EXPECT_TRUE(db.index().empty());
  EXPECT_TRUE(db.soundBuffer().empty());
  EXPECT_EQ(rules_.ruleCount(), 0u);
  db.diphoneStop();  // harmless in any state
}

TEST_F(DatabaseTest, MissingDirectoriesAndDatabaseFilesGiveCodeOne) {
  writeDatabase({{"$A", {10, 1}}});
  {
    DataLocations loc = locations();
    loc.defaultLettersDir = root_ / "nowhere";
    DiphoneDatabase db(rules_, loc);
    EXPECT_EQ(db.diphoneStart(), StartResult::noDatabase);
  }
  {
    DataLocations loc = locations();
    loc.defaultDiphoneDir = root_ / "nowhere";
    DiphoneDatabase db(rules_, loc);
    EXPECT_EQ(db.diphoneStart(), StartResult::noDatabase);
  }
  {
    DiphoneDatabase db(rules_, locations());
    db.setBaseName("OTHER");  // no OTHER.IND
    EXPECT_EQ(db.diphoneStart(), StartResult::noDatabase);
  }
  fs::remove(root_ / "difones" / "DIFONES2.DIF");
  DiphoneDatabase db(rules_, locations());
  EXPECT_EQ(db.diphoneStart(), StartResult::noDatabase);
  EXPECT_FALSE(db.ready());
}

TEST_F(DatabaseTest, MissingRulesOrExceptionsGiveCodeTwo) {
  writeDatabase({{"$A", {10, 1}}});
  fs::remove(root_ / "difones" / "portug.exc");
  DiphoneDatabase db(rules_, locations());
  EXPECT_EQ(db.diphoneStart(), StartResult::noRules);
  EXPECT_FALSE(db.ready());
  writeText(root_ / "difones" / "portug.exc", "");
  fs::remove(root_ / "difones" / "regras.rgr");
  EXPECT_EQ(db.diphoneStart(), StartResult::noRules);
}

TEST_F(DatabaseTest, ADirectoryInPlaceOfADataFileGivesItsCode) {
  writeDatabase({{"$A", {10, 1}}});
  const fs::path dir = root_ / "difones";
  for (auto [file, code] : {std::pair{"DIFONES2.IND", StartResult::noDatabase},
                            std::pair{"DIFONES2.DIF", StartResult::noDatabase},
                            std::pair{"regras.rgr", StartResult::noRules},
                            std::pair{"portug.exc", StartResult::noRules}}) {
    const fs::path saved = root_ / "saved";
    fs::rename(dir / file, saved);
    fs::create_directory(dir / file);
    DiphoneDatabase db(rules_, locations());
    EXPECT_EQ(db.diphoneStart(), code) << file;
    EXPECT_FALSE(db.ready()) << file;
    fs::remove(dir / file);
    fs::rename(saved, dir / file);
  }
  DiphoneDatabase db(rules_, locations());
  EXPECT_EQ(db.diphoneStart(), StartResult::ready) << "every file back in place";
}

TEST_F(DatabaseTest, ConfigurationKeysOverrideTheBuiltInDirectories) {
  fs::create_directories(root_ / "other" / "sons");
  fs::create_directories(root_ / "other" / "base");
  fs::copy(root_ / "difones", root_ / "other" / "base");
  writeDatabase({{"$A", {10, 1}}});
  fs::copy_file(root_ / "difones" / "DIFONES2.IND", root_ / "other" / "base" / "VOZ.IND");
  fs::copy_file(root_ / "difones" / "DIFONES2.DIF", root_ / "other" / "base" / "voz.dif");
  writeText(root_ / "ORALIS.INI", "[tradutor]\ndirletras=" + (root_ / "other" / "sons").string() +
                                      "\nDIRDIFONES = \"" + (root_ / "other" / "base").string() +
                                      "\"\n");
  DiphoneDatabase db(rules_, locations());
  db.setBaseName("VOZ");
  ASSERT_EQ(db.diphoneStart(), StartResult::ready);  // file names match without case
  EXPECT_EQ(db.lettersDir(), root_ / "other" / "sons");
  EXPECT_EQ(db.diphoneDir(), root_ / "other" / "base");

  // A present but empty key names no directory.
  writeText(root_ / "ORALIS.INI", "[TRADUTOR]\ndirLetras=\n");
  EXPECT_EQ(db.diphoneStart(), StartResult::noDatabase);
}

TEST_F(DatabaseTest, SettingsKeepTheirValuesAcrossStartAndStop) {
  writeDatabase({{"$A", {10, 1}}});
  DiphoneDatabase db(rules_, locations());
  EXPECT_EQ(db.settings().cutLength, 400);
  EXPECT_EQ(db.settings().keepLength, 0);
  EXPECT_EQ(db.settings().wordPause, 100);
  EXPECT_EQ(db.settings().commaPause, 4000);
  EXPECT_EQ(db.settings().fullStopPause, 8000);
  EXPECT_EQ(db.settings().semicolonPause, 6000);
  EXPECT_EQ(db.settings().colonPause, 8000);
  db.setSynthesisCuts(300, 50, 200);
  db.setBaseName("ABCDEFGHIJK");
  EXPECT_EQ(db.settings().baseName, "ABCDEFGH");
  db.setBaseName("DIFONES2");
  ASSERT_EQ(db.diphoneStart(), StartResult::ready);
  db.diphoneStop();
  EXPECT_EQ(db.settings().cutLength, 300);
  EXPECT_EQ(db.settings().keepLength, 50);
  EXPECT_EQ(db.settings().wordPause, 200);
}

TEST(UnitNames, CompareAsLengthPrefixedTexts) {
  EXPECT_LT(compareUnitNames("$K", "$KA"), 0);
  EXPECT_GT(compareUnitNames("$KA", "$K"), 0);
  EXPECT_EQ(compareUnitNames("$KA", "$KA"), 0);
  EXPECT_LT(compareUnitNames("$A", "$B"), 0);
  EXPECT_LT(compareUnitNames("$Z", "$\xC0"), 0);  // bytes compare unsigned
}

TEST_F(DatabaseTest, LooksUpUpperCasedNamesAndNeverFindsLongOnes) {
  writeDatabase({{"$A", {10, 1}},
                 {"$ACIRC", {10, 2}},
                 {"$K", {5, 3}},
                 {"$KA", {20, 4}},
                 {"$KAS", {7, 5}},
                 {"$Z", {3, 6}}});
  DiphoneDatabase db(rules_, locations());
  ASSERT_EQ(db.diphoneStart(), StartResult::ready);
  for (const char* name : {"$A", "$ACIRC", "$K", "$KA", "$KAS", "$Z"}) {
    const UnitRecord* r = db.findUnit(name);
    ASSERT_NE(r, nullptr) << name;
    EXPECT_EQ(r->name, name);
  }
  EXPECT_NE(db.findUnit("$aCIRC"), nullptr);
  EXPECT_EQ(db.findUnit("$B"), nullptr);
  EXPECT_EQ(db.findUnit("$KASAMENTO"), nullptr);
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(db.readUnit(*db.findUnit("$KA"), 20, bytes));
  EXPECT_EQ(bytes, std::vector<std::uint8_t>(20, 4));
}

TEST_F(DatabaseTest, DamagedIndexRecordsAreLeftOutWithoutReadingPastTheData) {
  std::vector<std::uint8_t> index;
  auto add = [&index](const std::vector<std::uint8_t>& r) {
    index.insert(index.end(), r.begin(), r.end());
  };
  add(indexRecord("$A", 10, 0));
  add(indexRecord("$B", 10, 95));           // runs past the 100-byte data file
  add(indexRecord("$C", 10, -5));           // negative offset
  add(indexRecord("$DDDDDDD", 10, 0, 12));  // name length above 8
  add(indexRecord("$E", 100, 0));           // exactly the whole file
  index.push_back(7);                       // a stray byte: not a record
  writeBytes(root_ / "difones" / "DIFONES2.IND", index);
  writeBytes(root_ / "difones" / "DIFONES2.DIF", std::vector<std::uint8_t>(100, 9));
  DiphoneDatabase db(rules_, locations());
  ASSERT_EQ(db.diphoneStart(), StartResult::ready);
  EXPECT_EQ(db.index().size(), 5u);
  EXPECT_NE(db.findUnit("$A"), nullptr);
  EXPECT_EQ(db.findUnit("$B"), nullptr);
  EXPECT_EQ(db.findUnit("$C"), nullptr);
  EXPECT_EQ(db.findUnit("$DDDDDDD"), nullptr);
  EXPECT_NE(db.findUnit("$E"), nullptr);
}

TEST_F(DatabaseTest, EmptyIndexStartsAndFindsNothing) {
  writeDatabase({});
  DiphoneDatabase db(rules_, locations());
  ASSERT_EQ(db.diphoneStart(), StartResult::ready);
  EXPECT_EQ(db.findUnit("$A"), nullptr);
}

}  // namespace
}  // namespace lamina::diphone
