#include "mbrola_tts/dictionaries.h"

#include <gtest/gtest.h>

#include "mbrola_tts/text_lines.h"
#include "test_util.h"

namespace lamina::mbrola_tts {
namespace {

using test::cp;

TEST(ExceptionTable, LinesBecomeUpperCaseEntriesSortedByByteOrder) {
  ExceptionTable t;
  t.loadExceptionsText(cp("casa=kaza|comentário\r\nágua=ÁGUA\n\nzebra\nabc = x \n"));
  ASSERT_EQ(t.entries().size(), 4u);
  // Byte order: "ABC " < "CASA" < "ZEBRA|" < "ÁGUA" (0xC1 above every ASCII letter).
  EXPECT_EQ(t.entries()[0].key, "ABC ");
  EXPECT_EQ(t.entries()[0].value, " X ");
  EXPECT_EQ(t.entries()[1].value, "KAZA");
  EXPECT_EQ(t.entries()[2].key, "ZEBRA|");
  EXPECT_EQ(t.entries()[2].value, "");
  EXPECT_EQ(t.entries()[3].key, cp("ÁGUA"));
}

TEST(ExceptionTable, LookupPeelsFinalSAndMOnlyToFindExactKeys) {
  ExceptionTable t;
  t.loadExceptionsText("CASA=KAZA\nCASA =NUNCA\nSM=ES\n");
  struct Case {
    const char* word;
    const char* spoken;
  } cases[] = {
      {"CASA", "KAZA"},   {"CASAS", "KAZAS"}, {"CASASM", "KAZASM"}, {"CASAR", "CASAR"},
      {"SMS", "ESS"},     {"MSS", "MSS"},     {"S", "S"},           {"", ""},
      {"CASA ", "NUNCA"}, {"CAS", "CAS"},
  };
  for (const Case& c : cases) EXPECT_EQ(t.applyExceptions(c.word), c.spoken) << c.word;
}

TEST(ExceptionTable, KeepsTheFirst15000EntriesAndCutsLongLines) {
  std::string text;
  for (int i = 0; i < 15001; ++i) text += "W" + std::to_string(100000 + i) + "=V\n";
  ExceptionTable t;
  t.loadExceptionsText(text);
  EXPECT_EQ(t.entries().size(), 15000u);
  EXPECT_EQ(t.applyExceptions("W114999"), "V");
  EXPECT_EQ(t.applyExceptions("W115000"), "W115000");

  t.loadExceptionsText(std::string(10000, 'a') + "=b\nOK=1\n");
  ASSERT_EQ(t.entries().size(), 2u);
  EXPECT_EQ(t.entries()[0].key, std::string(255, 'A') + "|");
}

TEST(ExceptionTable, MissingFileIsRefusedAndEmptiesTheTable) {
  ExceptionTable t;
  t.loadExceptionsText("A=B\n");
  EXPECT_FALSE(t.loadExceptions("does-not-exist.exc"));
  EXPECT_TRUE(t.entries().empty());
  test::TempFile empty("");
  EXPECT_TRUE(t.loadExceptions(empty.path()));
  EXPECT_TRUE(t.entries().empty());
}

TEST(AbbreviationTable, TrimsKeysAndValuesAndKeepsFileOrder) {
  AbbreviationTable t;
  t.loadAbbreviationsText(
      cp("  sr = Senhor  \r\n; comentário\n\nSR=Outro\n\tPág.=página\nsem igual\n"));
  ASSERT_EQ(t.entries().size(), 4u);
  EXPECT_EQ(t.lookupAbbreviation("Sr"), "Senhor");  // the first of equal keys
  EXPECT_EQ(t.lookupAbbreviation(cp("pÁg.")), cp("página"));
  EXPECT_EQ(t.entries()[3].key, "");
  EXPECT_EQ(t.entries()[3].value, "sem igual");
  EXPECT_EQ(t.lookupAbbreviation(""), "");  // a line without "=" is never found
  EXPECT_EQ(t.lookupAbbreviation("Dr"), "");
}

TEST(AbbreviationTable, StopsAt2000EntriesAndCutsLongValues) {
  std::string text;
  for (int i = 0; i < 2500; ++i) text += "k" + std::to_string(i) + "=v\n";
  AbbreviationTable t;
  t.loadAbbreviationsText(text);
  EXPECT_EQ(t.entries().size(), 2000u);
  EXPECT_EQ(t.lookupAbbreviation("K1999"), "v");
  EXPECT_EQ(t.lookupAbbreviation("K2000"), "");

  t.loadAbbreviationsText("x=" + std::string(10000, 'y'));
  EXPECT_EQ(t.lookupAbbreviation("x").size(), 999u);
  EXPECT_FALSE(t.loadAbbreviations("does-not-exist.abr"));
}

TEST(Dictionaries, EveryByteValueLoadsWithoutHarm) {
  std::string all;
  for (int round = 0; round < 3; ++round) {
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  }
  ExceptionTable e;
  e.loadExceptionsText(all);
  AbbreviationTable a;
  a.loadAbbreviationsText(all);
  EXPECT_FALSE(e.entries().empty());
  EXPECT_FALSE(a.entries().empty());
  (void)e.applyExceptions(upperCase(all));
}

}  // namespace
}  // namespace lamina::mbrola_tts
