#include "console/settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

using lamina::console::ConsoleSettings;
using lamina::console::consoleSettings;
using lamina::console::parseColourMap;

namespace {

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("lamina-settings-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  ConsoleSettings read(const std::string& text) {
    std::ofstream(dir_ / "ORALIS.INI", std::ios::binary) << text;
    return consoleSettings(dir_ / "ORALIS.INI");
  }
  std::filesystem::path dir_;
};

}  // namespace

TEST_F(SettingsTest, NoFileGivesTheDefaults) {
  const ConsoleSettings s = consoleSettings(dir_ / "absent.ini");
  EXPECT_EQ(s.initialAttribute, 0x0F);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(s.colourMap[static_cast<std::size_t>(i)], i);
  EXPECT_TRUE(s.coloursChangeable);
  EXPECT_FALSE(s.slowScroll);
  EXPECT_TRUE(s.hasFont);
  EXPECT_EQ(s.fontFace, "Lucida Console");
  EXPECT_EQ(s.fontWidth, 9);
  EXPECT_EQ(s.fontHeight, 22);
  EXPECT_EQ(s.fontWeight, 700);
  EXPECT_FALSE(s.maximised);
  EXPECT_EQ(s.magnification, 2);
  EXPECT_EQ(s.brailleMode, 0);
}

TEST_F(SettingsTest, ColourMapAndAttribute) {
  const ConsoleSettings s = read("[VIDEO]\nTABCORES=15,14\nCORFUNDO=0\nCORLETRA=1\n");
  EXPECT_EQ(s.colourMap[0], 15);
  EXPECT_EQ(s.colourMap[1], 14);
  EXPECT_EQ(s.colourMap[2], 2);
  EXPECT_EQ(s.colourMap[15], 15);
  EXPECT_EQ(s.initialAttribute, 0x01);
  // Blanks around the pieces are ignored; a bad piece ends the list.
  const auto map = parseColourMap("1, 2 ,x,9");
  EXPECT_EQ(map[0], 1);
  EXPECT_EQ(map[1], 2);
  EXPECT_EQ(map[2], 2);
  EXPECT_EQ(map[3], 3);
  // More than 16 pieces: only 16 are used; low byte of large values.
  const auto many = parseColourMap("1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,258,7");
  EXPECT_EQ(many[15], 2);
}

TEST_F(SettingsTest, EmptyValuesTakeTheirFallbacks) {
  const ConsoleSettings s = read(
      "[VIDEO]\nTABCORES=\nCORFUNDO=\nCORLETRA=\nAMPLIF=\nLARGURALETRA=\nALTURALETRA=\n"
      "PESOLETRA=\nCANTOTELA=\n[BRAILLE]\nMODO=\n");
  EXPECT_EQ(s.colourMap[5], 5);
  EXPECT_EQ(s.initialAttribute, 0x07);
  EXPECT_EQ(s.magnification, 2);
  EXPECT_EQ(s.fontWidth, 12);
  EXPECT_EQ(s.fontHeight, 18);
  EXPECT_EQ(s.fontWeight, 700);
  EXPECT_FALSE(s.maximised);
  EXPECT_EQ(s.brailleMode, 0);
}

TEST_F(SettingsTest, FlagsReadTheirFirstLetter) {
  ConsoleSettings s = read(
      "[VIDEO]\nCORESFIXAS=Sim\nLENTO=s\nCANTOTELA=NAO\nAMPLIF=8\n"
      "[BRAILLE]\nMODO=2\n");
  EXPECT_FALSE(s.coloursChangeable);
  EXPECT_TRUE(s.slowScroll);
  EXPECT_TRUE(s.maximised);
  EXPECT_EQ(s.magnification, 2);
  EXPECT_EQ(s.brailleMode, 2);
  s = read("[VIDEO]\nAMPLIF=9\nCANTOTELA=sim\n[BRAILLE]\nMODO=3\n");
  EXPECT_EQ(s.magnification, 1);
  EXPECT_FALSE(s.maximised);
  EXPECT_EQ(s.brailleMode, 3);
  s = read("[VIDEO]\nAMPLIF=75\n");  // one character is read
  EXPECT_EQ(s.magnification, 7);
}

TEST_F(SettingsTest, EmptyFontMeansTheSystemFontAndSkipsTheSizes) {
  const ConsoleSettings s = read("[VIDEO]\nFONTE=\nLARGURALETRA=30\nCANTOTELA=NAO\n");
  EXPECT_FALSE(s.hasFont);
  EXPECT_EQ(s.fontWidth, 9);
  EXPECT_FALSE(s.maximised);
}

TEST_F(SettingsTest, ForegroundAboveFifteenSpillsIntoTheBackground) {
  const ConsoleSettings s = read("[VIDEO]\nCORFUNDO=1\nCORLETRA=18\n");
  EXPECT_EQ(s.initialAttribute, (16 | 18) & 0xFF);
}

TEST_F(SettingsTest, NumbersThatAreNotNumbersAndBinaryFilesFallBack) {
  ConsoleSettings s = read("[VIDEO]\nCORLETRA=branco\nLARGURALETRA=9px\nALTURALETRA=-\n");
  EXPECT_EQ(s.initialAttribute, 0x07);
  EXPECT_EQ(s.fontWidth, 12);
  EXPECT_EQ(s.fontHeight, 18);
  std::string garbage;
  for (int i = 0; i < 300000; ++i) garbage.push_back(static_cast<char>((i * 131) % 256));
  s = read(garbage);
  EXPECT_EQ(s.fontFace.size() <= 79, true);
  EXPECT_GE(s.magnification, 1);
  EXPECT_LE(s.magnification, 7);
}
