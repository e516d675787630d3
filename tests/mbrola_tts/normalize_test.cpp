#include "mbrola_tts/normalize.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "test_util.h"

namespace lamina::mbrola_tts {
namespace {

using test::cp;
using test::utf;

AbbreviationTable abbreviations() {
  AbbreviationTable t;
  t.loadAbbreviationsText(cp("Sr=Senhor\nPFL=Partido\nnº=número\npág=página\n"));
  return t;
}

TEST(CardinalWords, GroupsScalesAndJoiners) {
  struct Case {
    std::uint32_t n;
    const char* words;
  } cases[] = {
      {0, "zero"},
      {21, "vinte e um"},
      {101, "cento e um"},
      {100, "cem"},
      {115, "cento e quinze"},
      {123, "cento e vinte e três"},
      {1000, "mil "},
      {1001, "mil e um"},
      {1100, "mil e cem"},
      {1120, "mil cento e vinte"},
      {2000, "dois mil "},
      {21000, "vinte e um mil "},
      {100000, "cem mil "},
      {1000000, "um milhão "},
      {1001000, "um milhão e um mil "},
      {2500000, "dois milhões e quinhentos mil "},
      {123456789,
       "cento e vinte e três milhões quatrocentos e cinqüenta e seis mil setecentos e oitenta e "
       "nove"},
      {4294967295u,
       "quatro bilhões duzentos e noventa e quatro milhões novecentos e sessenta e sete mil "
       "duzentos e "
       "noventa e cinco"},
  };
  for (const Case& c : cases) EXPECT_EQ(utf(cardinalWords(c.n)), c.words) << c.n;
}

TEST(OrdinalWords, GendersAndLimits) {
  EXPECT_EQ(utf(ordinalWords(21, 'm')), "vigésimo primeiro");
  EXPECT_EQ(utf(ordinalWords(110, 'f')), "centésima décima");
  EXPECT_EQ(utf(ordinalWords(1999, 'm')), "milésimo nongentésimo nonagésimo nono");
  EXPECT_EQ(utf(ordinalWords(2000, 'f')), "dois mil ");
  EXPECT_EQ(utf(ordinalWords(0, 'm')), "zero");
}

TEST(CharacterName, TablesAndCodesWithoutName) {
  EXPECT_EQ(utf(characterName('C')), " sê");
  EXPECT_EQ(utf(characterName('j')), "jota");
  EXPECT_EQ(utf(characterName('J')), "jóta");
  EXPECT_EQ(utf(characterName('n')), "ene");
  EXPECT_EQ(utf(characterName(0xE1)), "A agudo");
  EXPECT_EQ(utf(characterName(0xA9)), "copyright");
  EXPECT_EQ(utf(characterName(0xBF)), "interrogação reversa");
  EXPECT_EQ(utf(characterName(7)), " código sete");
  EXPECT_EQ(utf(characterName(0xDF)), " código duzentos e vinte e três");
  EXPECT_EQ(utf(characterName(0xF7)), "vezes");  // 247 takes the name of 215
  for (int c = 0; c < 256; ++c)
    EXPECT_FALSE(characterName(static_cast<unsigned char>(c)).empty()) << c;
}

TEST(NormalizeText, TheScanCases) {
  const AbbreviationTable abbr = abbreviations();
  struct Case {
    const char* text;
    const char* normalised;
  } cases[] = {
      {"", ""},
      {"7", "séte"},
      {"a", "a"},
      {"?", "interrogação"},
      {"1234567890",
       "cento e vinte e três milhões quatrocentos e cinqüenta e seis mil setecentos e oitenta e "
       "nove "
       "zero "},
      {"2º", "segundo "},
      {"1ª", "primeira "},
      {"3os. lugares", "terceiros lugares"},
      {"10a. vez", "décima vez"},
      {"2500º", "dois mil e quinhentos "},
      {"-5", "menos cinco "},
      {"a - b", "a , bê"},
      {"3,14", "três vírgula quatorze "},
      {"1.5", "um ponto cinco "},
      {"1.000.000 de", "um milhão de"},
      {"1.000,50", "mil vírgula cinqüenta "},
      {"Sr. Silva", "Senhor Silva"},
      {"Sr.", "Sr."},
      {"Sr.Silva", "Sr ponto Silva"},
      {"CPF", " sêpêéfe"},
      {"PFL. novo", "Partido novo"},
      {"PFL.", "PFL."},
      {"PT. novo", "pêtê. novo"},
      {"guarda-chuva", "guarda-chuva"},
      {"BR-116", "bêérre menos cento e dezesseis "},
      {"14h30", "quatorze agá trinta "},
      {"nº 7", "número sete "},
      {"©", "copyright"},
      {"a©b", "a copyright bê"},
      {"x\a", "xis código sete "},
      {"fim...", "fim... "},
      {"a.b", "a ponto bê"},
      {"tab\tfim\r\n", "tabfim"},
      {"50%", "cinqüenta porcento "},
      {"pág. 3", "página três "},
  };
  for (const Case& c : cases)
    EXPECT_EQ(test::collapseBlanks(utf(normalizeText(cp(c.text), abbr))), c.normalised) << c.text;
}

TEST(NormalizeText, BadInputStaysBoundedAndClean) {
  const AbbreviationTable abbr = abbreviations();
  // 40 digits are read nine at a time.
  const std::string digits(40, '9');
  const std::string nines = utf(normalizeText(digits, abbr));
  EXPECT_EQ(nines.find("novecentos e noventa e nove milhões"), 0u);
  EXPECT_NE(nines.find(" nove "), std::string::npos);

  const std::string marks(10000, '!');
  EXPECT_EQ(normalizeText(marks, abbr), marks);
  const std::string dots = normalizeText(std::string(10000, '.'), abbr);
  EXPECT_EQ(std::count(dots.begin(), dots.end(), '.'), 10000);

  std::string every;
  for (int b = 0; b < 256; ++b) every += static_cast<char>(b);
  const std::string out = normalizeText(every, abbr);
  for (const char ch : out) {
    const auto c = static_cast<unsigned char>(ch);
    const bool allowed =
        isLetter(c) || std::string_view(" !(),.:;?-").find(ch) != std::string_view::npos;
    EXPECT_TRUE(allowed) << "byte " << int(c) << " in " << utf(out);
  }
}

}  // namespace
}  // namespace lamina::mbrola_tts
