#include "mbrola_tts/transcribe.h"

#include <gtest/gtest.h>

#include "test_util.h"

namespace lamina::mbrola_tts {
namespace {

using test::cp;
using test::join;

// The rule under test first, then one rule per letter saying the letter in
// lower case, so that a context that fails shows as the plain letter.
RuleTable rulesWith(std::string_view rule) {
  std::string text = std::string(rule) + "\n";
  for (char c = 'A'; c <= 'Z'; ++c) text += std::string("(") + c + ")=" + char(c + 32) + "\n";
  RuleTable t;
  EXPECT_EQ(t.loadRulesText(text), 0u);
  return t;
}

std::string phonemesOf(const RuleTable& rules, std::string_view word, int stress = 0) {
  std::vector<std::string> out;
  rules.transcribeWord(cp(word), stress, out);
  EXPECT_TRUE(!out.empty() && out.back().empty()) << word;  // every word ends with an empty line
  if (!out.empty()) out.pop_back();
  return join(out, " ");
}

TEST(StressPosition, AccentsAndWordEndings) {
  struct Case {
    const char* word;
    int stress;
  } cases[] = {
      {"casa", 2},  {"partir", 5}, {"jovem", 2},  {"ruim", 3}, {"queijo", 3}, {"aqui", 4},
      {"papai", 4}, {"meu", 2},    {"lingua", 2}, {"água", 1}, {"CASAS", 2},  {"café", 4},
      {"brr", 0},   {"", 0},       {"guarda", 3}, {"pôr", 2},  {"igual", 4},  {"ninguém", 6},
  };
  for (const Case& c : cases) EXPECT_EQ(stressPosition(cp(c.word)), c.stress) << c.word;
  EXPECT_TRUE(isUnstressedWord("DE"));
  EXPECT_TRUE(isUnstressedWord(cp("NÃO")));
  EXPECT_TRUE(isUnstressedWord("sim"));
  EXPECT_FALSE(isUnstressedWord("MAR"));
}

TEST(TranscribeWord, EveryContextSymbol) {
  struct Case {
    const char* rule;
    const char* word;
    const char* phonemes;
  } cases[] = {
      {"(B)#=V", "BA", "V a"},      {"(B)#=V", "BC", "b c"},      {"(B)+=F", "BE", "F e"},
      {"(B)+=F", "BA", "b a"},      {"(B)&=S", "BL", "S l"},      {"(B)&=S", "BT", "b t"},
      {"(B)*T=X", "BT", "X t"},     {"(B)*T=X", "BL", "b l"},     {"(B)[=E", "B", "E"},
      {"(B)[=E", "BT", "E t"},      {"(B)[=E", "BH", "b h"},      {"(B)[=E", "BA", "b a"},
      {"(B)\\A=Q", "BSA", "Q s a"}, {"(B)\\A=Q", "BA", "Q a"},    {"(B)%=Z", "AB", "a Z"},
      {"(B)%=Z", "BA", "b a"},      {"#(B)=V", "AB", "a V"},      {"#(B)=V", "CB", "c b"},
      {"](B)=K", "OB", "o K"},      {"](B)=K", "EB", "e b"},      {"_(B)=U", "B", "U"},
      {"_(B)=U", "AB", "a U"},      {"_(B)=U", "CB", "c b"},      {"|(B)=N", "SB", "s N"},
      {"|(B)=N", "TB", "t b"},      {"%(B)=P", "BA", "P a"},      {"%(B)=P", "AB", "a b"},
      {"C(B)=L", "CB", "c L"},      {"(BA)=x&y", "BAB", "x y b"}, {"(B)=", "BA", "a"},
      {"(B)#=V", "ba", "V a"},      {"(É)=E", "É", "E"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(phonemesOf(rulesWith(cp(c.rule)), c.word), c.phonemes) << c.rule << " on " << c.word;
  }
}

TEST(TranscribeWord, OneStressMarkOnTheFirstPhonemeAtOrAfterTheVowel) {
  const RuleTable rules = rulesWith("(H)=");
  EXPECT_EQ(phonemesOf(rules, "CASA", 2), "c >a s a");
  EXPECT_EQ(phonemesOf(rules, "AHA", 2), "a >a");  // a rule without phonemes passes it on
  EXPECT_EQ(phonemesOf(rules, "CASA", 0), "c a s a");
  EXPECT_EQ(phonemesOf(rulesWith("(AS)=a&s"), "CASA", 2), "c >a s a");
  EXPECT_EQ(phonemesOf(rulesWith("(CA)=k&a"), "CASA", 2),
            "k a >s a");                           // the rule starts before the vowel
  EXPECT_EQ(phonemesOf(rules, "C1A", 1), ">c a");  // no rule: the "1" is silent
}

TEST(TranscribePhrase, PausesBoundariesAndLiaison) {
  RuleTable rules;
  rules.loadRulesText(
      cp("(S)%=s2\n(R)%=r2\n(Ã)=an&w\n(A)=a\n(E)%=i\n(E)=e\n(S)=s\n(V)=v\n(M)=m\n(R)=r\n(N)=n\n"));
  ExceptionTable exceptions;
  exceptions.loadExceptionsText("AMAR=AMAR\n");
  const std::vector<std::string> intonation = {
      "555|",     "444|as", "555|amar",         "555|as", "555|aves",
      "555|amar", "555|e",  "555|" + cp("não"), "111|?",  "555|"};
  const std::vector<std::string> expected = {
      ";555|",        "__", "",                   // phrase boundary
      ";444|as",      "a",  "z",  "",             // s2 before "a"
      ";555|amar",    "a",  "m",  ">a", "r", "",  // r2 before "a"
      ";555|as",      "a",  "s2", "",             // not before a marked ">a"
      ";555|aves",    ">a", "v",  "e",  "z", "",  //
      ";555|amar",    "a",  "m",  ">a", "r", "",  // r2 before "i"
      ";555|e",       "i",  "",                   // unstressed: no marker
      cp(";555|não"), "n",  "an", "w",  "",       //
      ";111|?",       "_?",                       // pause of the mark
      ";555|",        "__", "",   "__"};
  EXPECT_EQ(transcribePhrase(intonation, rules, exceptions), expected);
}

TEST(LiaisonPass, ChangesOnlyFinalR2AndS2BeforeALowerCaseVowel) {
  std::vector<std::string> lines = {";5|", "__",   "",     ";5|x", "r2",   "",     ";5|y",
                                    "o",   "",     ";5|z", "s2",   "",     ";5|w", "E",
                                    "",    ";5|v", "s2",   "",     ";5|u", "u"};
  liaisonPass(lines);
  EXPECT_EQ(lines[4], "r");
  EXPECT_EQ(lines[10], "s2");  // before "E" (upper case)
  EXPECT_EQ(lines[16], "z");
}

TEST(LoadRules, SkipsLinesWithoutRuleAndCutsLongParts) {
  RuleTable t;
  EXPECT_EQ(t.loadRulesText("; comment\nno parenthesis\n()=x\n(A=y\nABCDEFG(AAAAAAA)ZZZZZZZ=" +
                            std::string(30, 'p') + "|note\n\n(\x01)=q\n"),
            4u);
  ASSERT_EQ(t.ruleCount(), 1u);
  const LetterRule& r = t.bucket('A').front();
  EXPECT_EQ(r.left, "ABCDE");
  EXPECT_EQ(r.match, "AAAAA");
  EXPECT_EQ(r.right, "ZZZZZ");
  EXPECT_EQ(r.phonemes, std::string(20, 'p'));
  std::vector<std::string> out;
  t.transcribeWord("ABCDEAAAAAZZZZZ", 0, out);
  EXPECT_EQ(out.front(), std::string(11, 'p'));  // only 11 phoneme characters are said

  EXPECT_FALSE(t.loadRules("does-not-exist.nrl"));
  EXPECT_EQ(t.ruleCount(), 0u);
}

TEST(LoadRules, EveryByteValueAndLongLines) {
  std::string text;
  for (int b = 0; b < 256; ++b)
    text += std::string("(") + static_cast<char>(b) + ")=x" + "\n" + static_cast<char>(b);
  text += "\n" + std::string(10000, '(') + "\n" + std::string(10000, 'A') + "(B)=c\n";
  RuleTable t;
  t.loadRulesText(text);
  std::string word;
  for (int b = 1; b < 256; ++b) word += static_cast<char>(b);
  std::vector<std::string> out;
  t.transcribeWord(word, 3, out);
  ASSERT_FALSE(out.empty());
  EXPECT_TRUE(out.back().empty());
  std::size_t marks = 0;
  for (const std::string& line : out) marks += line.starts_with(">") ? 1 : 0;
  EXPECT_EQ(marks, 1u);
}

}  // namespace
}  // namespace lamina::mbrola_tts
