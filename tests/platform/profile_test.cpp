#include "platform/profile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using lamina::profile::parseInt;
using lamina::profile::readString;
using lamina::profile::readStringFromText;

namespace {

constexpr std::string_view kIni =
    "; comment\r\n"
    "[video]\r\n"
    "  corfundo =  1  \r\n"
    "CORFUNDO=9\r\n"
    "FONTE=\"Lucida Console\"\r\n"
    "VAZIO=\r\n"
    "ASPAS='x'\r\n"
    "MEIO=\"abc\r\n"
    "[BRAILLE]\r\n"
    "MODO=2\r\n";

}  // namespace

TEST(Profile, SectionAndKeyIgnoreCaseAndFirstKeyWins) {
  EXPECT_EQ(readStringFromText(kIni, "VIDEO", "CorFundo", "0", 80), "1");
  EXPECT_EQ(readStringFromText(kIni, "braille", "modo", "0", 80), "2");
  EXPECT_EQ(readStringFromText(kIni, "BRAILLE", "CORFUNDO", "7", 80), "7");
}

TEST(Profile, QuotesBlanksEmptyAndAbsent) {
  EXPECT_EQ(readStringFromText(kIni, "VIDEO", "FONTE", "", 80), "Lucida Console");
  EXPECT_EQ(readStringFromText(kIni, "VIDEO", "ASPAS", "", 80), "x");
  EXPECT_EQ(readStringFromText(kIni, "VIDEO", "MEIO", "", 80), "\"abc");
  EXPECT_EQ(readStringFromText(kIni, "VIDEO", "VAZIO", "default", 80), "");
  EXPECT_EQ(readStringFromText(kIni, "VIDEO", "NADA", "default", 80), "default");
}

TEST(Profile, ValuesAreCutToTheBuffer) {
  EXPECT_EQ(readStringFromText(kIni, "VIDEO", "FONTE", "", 2), "L");
  EXPECT_EQ(readStringFromText(kIni, "VIDEO", "NADA", "default", 4), "def");
  EXPECT_EQ(readStringFromText(kIni, "VIDEO", "FONTE", "", 0), "");
}

TEST(Profile, MissingBinaryAndLongFiles) {
  const auto dir = std::filesystem::temp_directory_path() / "lamina-profile-test";
  std::filesystem::create_directories(dir);
  EXPECT_EQ(readString(dir / "absent.ini", "VIDEO", "X", "d", 80), "d");

  const auto binary = dir / "binary.ini";
  {
    std::ofstream out(binary, std::ios::binary);
    for (int i = 0; i < 100000; ++i) out.put(static_cast<char>((i * 7919) & 0xFF));
    out << "\n[VIDEO]\nX=" << std::string(5000, 'y') << "\n";
  }
  EXPECT_EQ(readString(binary, "VIDEO", "X", "d", 80), std::string(79, 'y'));
  std::filesystem::remove_all(dir);
}

TEST(Profile, ParseIntAcceptsOnlyDecimalText) {
  long v = 0;
  EXPECT_TRUE(parseInt(" 15 ", v));
  EXPECT_EQ(v, 15);
  EXPECT_TRUE(parseInt("-3", v));
  EXPECT_EQ(v, -3);
  EXPECT_FALSE(parseInt("", v));
  EXPECT_FALSE(parseInt("1x", v));
  EXPECT_FALSE(parseInt("-", v));
  EXPECT_FALSE(parseInt("99999999999999999999", v));
}
