#include "mbrola_tts/prosody.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>

#include "test_util.h"

namespace lamina::mbrola_tts {
namespace {

using test::cp;

const char* const kSmallFile =
    "[DURAÇÃO]\na=100\nb = 50\n_,=200\n__=300\nlongo=70\n[CHAVES]\n de = pr\nO=ARTIGO\n* ignored\n"
    "[PROSÓDIA]\nHERTZ=200\nTABHERTZ=0, "
    "50,60,70,80,100,120,130,140,150\n|pr|=?31\n--|xx|=742\n|XX|?"
    "?=?99\n";

Prosody load(std::string_view utf8, CollectingReporter& reporter, bool expectOk = true) {
  Prosody p;
  EXPECT_EQ(p.loadProsodyText(cp(utf8), reporter), expectOk) << utf8;
  return p;
}

TEST(LoadProsody, ReadsTheThreeSections) {
  CollectingReporter reporter;
  const Prosody p = load(kSmallFile, reporter);
  EXPECT_TRUE(reporter.messages.empty());
  EXPECT_EQ(p.phonemeDuration("b"), 50);
  EXPECT_EQ(p.phonemeDuration("lo"), 70);  // names are cut to two characters
  EXPECT_EQ(p.phonemeDuration("_,"), 200);
  EXPECT_EQ(p.phonemeDuration("x"), 100);
  EXPECT_EQ(p.keywordClass("De"), "PR");
  EXPECT_EQ(p.keywordClass("o"), "AR");
  EXPECT_EQ(p.keywordClass("casa"), "");
  EXPECT_EQ(p.basePitch(), 200);
  EXPECT_EQ(p.pitchLevels()[1], 50);
  ASSERT_EQ(p.intonationRules().size(), 3u);
  EXPECT_EQ(p.intonationRules()[1].keys[0], "--");
  EXPECT_EQ(p.intonationRules()[1].keys[1], "XX");
  EXPECT_EQ(p.intonationRules()[1].pattern, "742");
}

TEST(LoadProsody, FailuresShowTheirMessage) {
  struct Case {
    const char* file;
    bool ok;
    const char* message;
  } cases[] = {
      {"", false, "Duração dos difones errada ou ausente"},
      {"[DURAÇÃO]\nabc\n[CHAVES]\n[PROSÓDIA]\n", false,
       "Configuração da prosódia: fonema errado: abc"},
      {"[DURAÇÃO]\na=x\n[CHAVES]\n[PROSÓDIA]\n", true,
       "Configuração da prosódia: fonema errado: a=x"},
      {"[DURAÇÃO]\na=-5\n[CHAVES]\n[PROSÓDIA]\n", true,
       "Configuração da prosódia: fonema errado: a=-5"},
      {"[DURAÇÃO]\n[PROSÓDIA]\n", false, "Prosódia: palavras chaves ausentes"},
      {"[DURAÇÃO]\n[CHAVES]\nsem igual\n[PROSÓDIA]\n", false,
       "Configuração da prosódia: chave errada: sem igual"},
      {"[DURAÇÃO]\n[CHAVES]\n", false, "Prosódia: especificações ausentes"},
      {"[DURAÇÃO]\n[CHAVES]\n[PROSÓDIA]\nnada\n", false,
       "Configuração da prosódia: chave errada: nada"},
      {"[DURAÇÃO]\n[CHAVES]\n[PROSÓDIA]\nHERTZ=alto\n", false,
       "Configuração da prosódia: chave errada: HERTZ=alto"},
      {"[DURAÇÃO]\n[CHAVES]\n[PROSÓDIA]\nHERTZ=99999999999\n", false,
       "Configuração da prosódia: chave errada: HERTZ=99999999999"},
      {"[DURAÇÃO]\n[CHAVES]\n[PROSÓDIA]\nTABHERTZ=1,2,3\n", false,
       "Configuração da prosódia: chave errada: TABHERTZ=1,2,3"},
      {"[DURAÇÃO]\n[CHAVES]\n[PROSÓDIA]\nTABHERTZ=1,2,3,4,5,6,7,8,9,10,11\n", false,
       "Configuração da prosódia: chave errada: TABHERTZ=1,2,3,4,5,6,7,8,9,10,11"},
  };
  for (const Case& c : cases) {
    CollectingReporter reporter;
    load(c.file, reporter, c.ok);
    ASSERT_EQ(reporter.messages.size(), 1u) << c.file;
    EXPECT_EQ(test::utf(reporter.messages[0]), c.message);
  }
  CollectingReporter reporter;
  Prosody p;
  EXPECT_FALSE(p.loadProsody("does-not-exist.pro", reporter));
  ASSERT_EQ(reporter.messages.size(), 1u);
  EXPECT_EQ(test::utf(reporter.messages[0]), "Configuração da prosódia não foi achada");
}

TEST(LoadProsody, TablesStopAtTheirLimits) {
  std::string file = "[DURAÇÃO]\n";
  for (int i = 0; i < 150; ++i)
    file += "d" + std::to_string(i % 10) + "=" + std::to_string(i + 1) + "\n";
  file += "[CHAVES]\n";
  for (int i = 0; i < 1200; ++i) file += "k" + std::to_string(i) + "=CC\n";
  file += "[PROSÓDIA]\n";
  for (int i = 0; i < 400; ++i) file += "||=" + std::to_string(i) + "\n";
  file += std::string(10000, 'x') + "=1\n";
  CollectingReporter reporter;
  const Prosody p = load(file, reporter);
  EXPECT_EQ(p.durationCount(), 100u);
  EXPECT_EQ(p.keywordCount(), 1000u);
  EXPECT_EQ(p.intonationRules().size(), 300u);
  EXPECT_EQ(p.keywordClass("k999"), "CC");
  EXPECT_EQ(p.keywordClass("k1000"), "");
}

TEST(Tokenize, ClassesMarksAndBoundaries) {
  CollectingReporter reporter;
  const Prosody p = load(kSmallFile, reporter);
  const std::vector<std::string> expected = {
      "[--]", "[PR]de", "[XX]casa",          "[??]?", "[--]", "[.-].",
      "[--]", "[,,],",  "[XX]" + cp("água"), "[!!]!", "[--]"};
  EXPECT_EQ(tokenizePhrase(cp("  de casa? ... , água!"), p), expected);
  EXPECT_EQ(tokenizePhrase("", p), std::vector<std::string>{"[--]"});
}

TEST(MarkIntonation, RulesFirstFitAndTheCarriedLevel) {
  CollectingReporter reporter;
  const Prosody p = load(kSmallFile, reporter);
  // "--|XX" gives 742; "|PR|" gives ?31, taking the 2 of the word before.
  EXPECT_EQ(markIntonation({"[--]", "[XX]casa", "[PR]de", "[XX]fim", "[??]?", "[--]"}, p),
            (std::vector<std::string>{"555|", "742|casa", "231|de", "199|fim", "555|?", "555|"}));
  const Prosody flat = load("[DURAÇÃO]\n[CHAVES]\n[PROSÓDIA]\n", reporter);
  EXPECT_EQ(markIntonation({"[--]", "[XX]casa", "[XX]sim"}, flat),
            (std::vector<std::string>{"555|", "555|casa", "555|sim"}));
  // A question word before "?" matches "|XX|??" only when the class fits.
  EXPECT_EQ(markIntonation({"[XX]casa", "[??]?"}, p)[0], "599|casa");
}

TEST(BuildMbrolaLines, DurationsStressSpeedAndPitch) {
  CollectingReporter reporter;
  const Prosody p = load(kSmallFile, reporter);
  DiphoneList all;
  all.loadDiphoneListText("_-a\na-b\nb-a\na-_\n_-_\n_-b\nb-_\n");
  // 100 × 145 × 0.8 / 100 = 116 for the stressed "a"; the stressed stretch
  // lasts to the end of the word.
  const std::vector<std::string> lines = buildMbrolaLines(
      {";742|aba", "a", ">b", "a", "", ";555|,", "_,", ";555|", "__", "", "_ 40", "__"}, 1.0, 0.8,
      p, all);
  const std::vector<std::string> expected = {
      ";aba", "a 80 50 260",  "b 58 80 160", "a 116 50 120", "",
      ";,",   "_ 160 50 200", ";",           "_ 240 50 200", "",
      "_ 32", "_ 240"};
  EXPECT_EQ(lines, expected);
  // The pitch factor scales every target; level 0 sets none.
  const auto high = buildMbrolaLines({";505|ab", "a", ">b", ""}, 2.0, 1.0, p, all);
  EXPECT_EQ(high, (std::vector<std::string>{";ab", "a 100 50 400", "b 72", ""}));
}

TEST(BuildMbrolaLines, LongWordsShortenThePhonemesBeforeTheStress) {
  CollectingReporter reporter;
  const Prosody p = load(kSmallFile, reporter);
  DiphoneList none;
  // 13 letters: the line ";" + word is 14 long, above 13: 80 %.
  auto lines = buildMbrolaLines({";555|abcdefghijklm", "a", ">a", "a", ""}, 1.0, 1.0, p, none);
  EXPECT_EQ(lines[2].substr(0, 5), "a 80 ");
  EXPECT_EQ(lines[4].substr(0, 6), "a 145 ");
  // 9 letters: 90 %.
  lines = buildMbrolaLines({";555|abcdefghi", "a", ""}, 1.0, 1.0, p, none);
  EXPECT_EQ(lines[2].substr(0, 5), "a 90 ");
  lines = buildMbrolaLines({";555|abcdefgh", "a", ""}, 1.0, 1.0, p, none);
  EXPECT_EQ(lines[2].substr(0, 6), "a 100 ");
}

TEST(BuildMbrolaLines, BridgesMissingDiphones) {
  CollectingReporter reporter;
  const Prosody p = load(kSmallFile, reporter);
  DiphoneList d;
  d.loadDiphoneListText("_-a\na-y\nr2-_\n_-r2\n");
  const auto lines = buildMbrolaLines(
      {";555|ab", "a", "b", "", ";555|r", "r2", "", ";555|c", "a", ""}, 1.0, 1.0, p, d);
  const std::vector<std::string> expected = {
      ";ab", "a 100 50 200", "y 50", "b 50",         "", ";r", "_ 50", "r2 100 50 200",
      "",    ";c",           "_ 50", "a 100 50 200", ""};
  EXPECT_EQ(lines, expected);
}

TEST(BuildMbrolaLines, OutputIsValidForAnyFactor) {
  CollectingReporter reporter;
  const Prosody p = load(kSmallFile, reporter);
  DiphoneList none;
  for (const double f : {0.0, -1.0, 1e-9, 1e300, std::numeric_limits<double>::quiet_NaN()}) {
    for (const std::string& line :
         buildMbrolaLines({";999|ab", ">a", "b", "", "_ -3", "_ x"}, f, f, p, none)) {
      if (line.empty() || line.front() == ';') continue;
      int ms = 0, pos = 0, hz = 0;
      char name[8] = {};
      const int n = std::sscanf(line.c_str(), "%7s %d %d %d", name, &ms, &pos, &hz);
      EXPECT_GE(n, 2) << line;
      EXPECT_GT(ms, 0) << line;
      if (n == 4) {
        EXPECT_TRUE(pos >= 0 && pos <= 100) << line;
        EXPECT_GT(hz, 0) << line;
      }
    }
  }
}

TEST(DiphoneList, LinesAndLookup) {
  struct Case {
    const char* line;
    const char* diphone;
  } cases[] = {
      {"a-b", "a-b"},
      {"  r2 _  ", "r2-_"},
      {"tS--dZ extra", "tS-dZ"},
      {"!a-b", ""},
      {"*a-b", ""},
      {";a-b", ""},
      {"", ""},
      {"a", ""},
      {"a-", ""},
      {"-a", ""},
      {"an-~x", "an-x"},
  };
  for (const Case& c : cases) EXPECT_EQ(DiphoneList::parseLine(c.line), c.diphone) << c.line;
  DiphoneList d;
  d.loadDiphoneListText("b-a\r\na-b\n\n!x\n" + std::string(10000, 'q') + "\n");
  EXPECT_TRUE(d.contains("a", "b"));
  EXPECT_TRUE(d.contains("b", "a"));
  EXPECT_FALSE(d.contains("A", "b"));  // names differ by case ("e" and "E")
  EXPECT_FALSE(d.loadDiphoneList("does-not-exist.dfn"));
  EXPECT_TRUE(d.entries().empty());
}

TEST(Loaders, EmptyFilesAndEveryByteValue) {
  std::string every =
      "[DURA\xC7\xC3O]\n[CHAVES]\n[PROS\xD3"
      "DIA]\n";
  for (int round = 0; round < 2; ++round) {
    for (int b = 0; b < 256; ++b) every += static_cast<char>(b);
  }
  every += "\na-b\n";
  for (const std::string& content : {std::string(), every}) {
    test::TempFile file(content);
    // Both fail with one message: the empty file lacks its sections, the
    // other has a line without "=" among the intonation rules.
    CollectingReporter reporter;
    Prosody p;
    EXPECT_FALSE(p.loadProsody(file.path(), reporter));
    EXPECT_EQ(reporter.messages.size(), 1u);
    DiphoneList d;
    EXPECT_TRUE(d.loadDiphoneList(file.path()));
    EXPECT_EQ(d.contains("a", "b"), !content.empty());
    // Whatever was read, the lines stay valid.
    for (const std::string& line :
         buildMbrolaLines({";5x|a", ">\xA8", "\xA8", "_", "a", ""}, 1.0, 1.0, p, d)) {
      if (!line.empty() && line.front() != ';') {
        EXPECT_NE(line.find(' '), std::string::npos) << line;
      }
    }
  }
}

}  // namespace
}  // namespace lamina::mbrola_tts
