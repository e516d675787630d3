#include "platform/cp1252.h"

#include <gtest/gtest.h>

namespace cp = lamina::cp1252;

TEST(Cp1252, Utf8RoundTripOfEveryByte) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(cp::fromUtf8(cp::toUtf8(all)), all);
  EXPECT_EQ(cp::fromUtf16(cp::toUtf16(all)), all);
}

TEST(Cp1252, PortugueseLettersAndSpecials) {
  EXPECT_EQ(cp::fromUtf8("ação é"), "a\xE7\xE3o \xE9");
  EXPECT_EQ(cp::toUtf8("\x80 \x93x\x94"), "€ “x”");
  EXPECT_EQ(cp::fromUtf16(u"\u2013\u2022"), "\x96\x95");
}

TEST(Cp1252, CharactersOutsideTheCodePageBecomeOneQuestionMark) {
  EXPECT_EQ(cp::fromUtf8("a\u4E2Db"), "a?b");
  EXPECT_EQ(cp::fromUtf8("a\U0001F600b"), "a?b");    // 4-byte sequence
  EXPECT_EQ(cp::fromUtf16(u"a\U0001F600b"), "a?b");  // surrogate pair is one character
  EXPECT_EQ(cp::fromUtf16(std::u16string(u"a") + char16_t(0xD800) + u"b"), "a?b");
}

TEST(Cp1252, MalformedUtf8NeverReadsPastTheEnd) {
  EXPECT_EQ(cp::fromUtf8("\xE3\x81"), "??");
  EXPECT_EQ(cp::fromUtf8("\xC3"), "?");
  EXPECT_EQ(cp::fromUtf8("\xFF"
                         "a"),
            "?a");
  EXPECT_EQ(cp::fromUtf8("\xC0\x80"), "??");  // overlong form refused
}

TEST(Cp1252, CaseOfAccentedLetters) {
  EXPECT_EQ(cp::toUpper(0xE7), 0xC7);  // ç
  EXPECT_EQ(cp::toUpper(0xF7), 0xF7);  // ÷ is no letter
  EXPECT_EQ(cp::toLower('A'), 'a');
  EXPECT_EQ(cp::toLower(0xC3), 0xE3);  // Ã
  EXPECT_EQ(cp::toUpper('1'), '1');
}
