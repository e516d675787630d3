#include "diphone/letter_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "diphone/unit_names.h"

using lamina::diphone::LetterRule;
using lamina::diphone::LetterRules;
using lamina::diphone::unitNames;

namespace {

std::string stressed(std::string word, std::size_t vowels, bool accent = false) {
  LetterRules::markStress(word, vowels, accent);
  return word;
}

// Rules that spell out every letter, so edge cases show what the word
// handling does before any language rule gets a say.
LetterRules plainRules() {
  LetterRules r;
  r.loadLetterRulesText(
      "(A~)=a~\n(A)=a\n(C)= k\n(E)=e\n(O)=o\n(S)= s\n(M)= m\n(R)= r\n(L)= l\n(N)= n\n(G)= "
      "g\n(U)=u\n"
      "(I)=i\n(T)= t\n(B)= b\n(P)= p\n(F)= f\n(D)= d\n(H)= h\n");
  return r;
}

}  // namespace

TEST(LetterRulesLoading, FieldsAreCutAndBadLinesSkipped) {
  LetterRules r;
  r.loadLetterRulesText(
      "ABCDEFG(HIJKLMN)OPQRSTU=abcdefghijklmnop|remark\r\n"
      "\n"
      "no parentheses=x\n"
      "()=empty target\n"
      "(\x80)=high target\n"
      "(a)=lower-case target never matches\n"
      "(B=unclosed\n"
      "|(R)=r|bar before the parenthesis is a context\n");
  ASSERT_EQ(r.ruleCount(), 2u);
  const LetterRule& rule = r.bucket('H').front();
  EXPECT_EQ(rule.left, "ABCDE");
  EXPECT_EQ(rule.target, "HIJKL");
  EXPECT_EQ(rule.right, "OPQRS");
  EXPECT_EQ(rule.phonemes, "abcdefghijk");
  EXPECT_EQ(r.bucket('R').front().left, "|");
  EXPECT_EQ(r.bucket('R').front().phonemes, "r");
}

TEST(LetterRulesLoading, ScatteredRulesStayInTheirOwnChainInFileOrder) {
  LetterRules r;
  r.loadLetterRulesText("(A)B=1\n(B)=2\n(A)=3\n");
  ASSERT_EQ(r.bucket('A').size(), 2u);
  EXPECT_EQ(r.bucket('A')[0].phonemes, "1");
  EXPECT_EQ(r.bucket('A')[1].phonemes, "3");
  EXPECT_EQ(r.textToPhonemes("ab a"), "[1/2][3]");
}

TEST(LetterRulesLoading, RulesEmptyTheExceptionsAndMissingFilesFail) {
  LetterRules r;
  r.loadWordExceptionsText("casa=kaza\n");
  EXPECT_EQ(r.exceptionCount(), 1u);
  r.loadLetterRulesText("(A)=a\n");
  EXPECT_EQ(r.exceptionCount(), 0u);
  EXPECT_FALSE(r.loadLetterRules("tests/diphone/no-such-file.rgr"));
  EXPECT_FALSE(r.loadWordExceptions("tests/diphone/no-such-file.exc"));
  EXPECT_EQ(r.ruleCount(), 1u);
  r.freeLetterRules();
  EXPECT_EQ(r.ruleCount(), 0u);
}

TEST(LetterRulesLoading, ExceptionsAreSortedCutAndLimited) {
  LetterRules r;
  std::string text = "zz=last|remark\nsem igual\n=no key\n\naa=first\r\n";
  text += std::string(300, 'k') + "=long\n";
  r.loadWordExceptionsText(text);
  EXPECT_EQ(r.exceptionCount(), 2u);
  EXPECT_EQ(r.lookupException("aa"), "first");
  EXPECT_EQ(r.lookupException("zz"), "last");
  // The long line is read up to 255 characters: it has no "=" there.
  EXPECT_EQ(r.lookupException(std::string(300, 'k')), std::string(255, 'k'));

  std::string many;
  for (int i = 0; i < 15100; ++i) many += "w" + std::to_string(i) + "=x\n";
  r.loadWordExceptionsText(many);
  EXPECT_EQ(r.exceptionCount(), LetterRules::kMaxExceptions);
  EXPECT_EQ(r.lookupException("w14999"), "x");
  EXPECT_EQ(r.lookupException("w15000"), "w15000");
}

TEST(LetterRulesWords, ExceptionLookupPeelsFinalSAndM) {
  LetterRules r;
  r.loadWordExceptionsText("casa=kaza\nbe=bey\n");
  EXPECT_EQ(r.lookupException("casas"), "kazas");
  EXPECT_EQ(r.lookupException("bems"), "beyms");
  EXPECT_EQ(r.lookupException("casa"), "kaza");
  EXPECT_EQ(r.lookupException("casinha"), "casinha");
  EXPECT_EQ(r.lookupException("ssmm"), "ssmm");
}

TEST(LetterRulesWords, PrepareTextMapsEveryByte) {
  EXPECT_EQ(LetterRules::prepareText("a\xE7\xE3o"), "assa~o");
  EXPECT_EQ(LetterRules::prepareText("W Wagner y Yara"), "W uagner y iara");
  EXPECT_EQ(LetterRules::prepareText("d'\xE1gua o'"), "da'gua o'");
  EXPECT_EQ(LetterRules::prepareText("a\tb"), "a \x01 b");
  EXPECT_EQ(LetterRules::prepareText("\x81"), " \x01 ");
  EXPECT_EQ(LetterRules::prepareText("\xF1\xFC\xD8\xBF"), "nhu\"o\xBF");
  for (int c = 0; c < 256; ++c) {
    const std::string out = LetterRules::prepareText(std::string(1, static_cast<char>(c)));
    // Only the soft hyphen vanishes.
    EXPECT_EQ(out.empty(), c == 0xAD) << c;
  }
}

TEST(LetterRulesWords, MarkStressFollowsTheWordEnding) {
  EXPECT_EQ(stressed("amor", 2), "amOr");
  EXPECT_EQ(stressed("casa", 2), "cAsa");
  EXPECT_EQ(stressed("rainha", 3), "raInha");
  EXPECT_EQ(stressed("saia", 3), "sAia");
  EXPECT_EQ(stressed("ela", 2), "Ela");
  EXPECT_EQ(stressed("sol", 1), "sOl");
  EXPECT_EQ(stressed("mar", 1), "mar");
  EXPECT_EQ(stressed("falam", 2), "fAlam");
  EXPECT_EQ(stressed("batom", 2), "batOm");
  EXPECT_EQ(stressed("jardim", 2), "jardIm");
  EXPECT_EQ(stressed("casas", 2), "cAsas");
  EXPECT_EQ(stressed("tatu", 2), "tatU");
  EXPECT_EQ(stressed("cacau", 3), "cacAu");
  EXPECT_EQ(stressed("aqui", 3), "aquI");
  EXPECT_EQ(stressed("guia", 3), "guIa");
  EXPECT_EQ(stressed("caixa", 3), "cAixa");
  EXPECT_EQ(stressed("saindo", 3), "saIndo");
  EXPECT_EQ(stressed("cair", 2), "caIr");
  EXPECT_EQ(stressed("parque", 3), "pArque");
  EXPECT_EQ(stressed("assa~o", 3, true), "assa~o");
  EXPECT_EQ(stressed("psst", 0), "psst");
  // A first i or u decides when nothing after it did.
  EXPECT_EQ(stressed("uma", 2), "Uma");
  EXPECT_EQ(stressed("isso", 2), "Isso");
  EXPECT_EQ(stressed("item", 2), "Item");
  EXPECT_EQ(stressed("ilha", 2), "Ilha");
  EXPECT_EQ(stressed("ia", 2), "Ia");
  // A tilde vowel takes the stress unless a later syllable does.
  EXPECT_EQ(stressed("irma~", 2), "irmA~");
  EXPECT_EQ(stressed("irma~s", 2), "irmA~s");
  EXPECT_EQ(stressed("la~", 1), "lA~");
  EXPECT_EQ(stressed("irma~zinha", 4), "irma~zInha");
}

// Presentation text as it comes from the slides: code page 1252 signs act
// as the punctuation and blanks they are, and its letters as letters.
TEST(LetterRulesWords, CodePage1252TextReadsAsWordsAndSigns) {
  LetterRules r;
  ASSERT_TRUE(r.loadLetterRules("data/diphone/regras.rgr"));
  ASSERT_TRUE(r.loadWordExceptions("data/diphone/portug.exc"));
  auto t = [&r](std::string_view s) { return r.textToPhonemes(s); };
  auto sign = [](char c) { return std::string("[ /_") + c + "]"; };
  // Quotes, bullet, euro and the like play their own recorded sounds.
  EXPECT_EQ(t("\x93"
              "Bom dia\x94"),
            sign('\x93') + t("Bom dia") + sign('\x94'));
  EXPECT_EQ(t("\x95 Metas 2025"), sign('\x95') + t("Metas 2025"));
  EXPECT_EQ(t("Pre\xE7o: 10\x80"), t("Pre\xE7o: 10") + sign('\x80'));
  EXPECT_EQ(t("1\xBA lugar \xA9 \xAB"),
            t("1") + sign('\xBA') + t("lugar") + sign('\xA9') + sign('\xAB'));
  // Dashes join or part like the hyphen, the no-break space is a blank,
  // the ellipsis a full stop, the soft hyphen nothing.
  EXPECT_EQ(t("Vendas \x96 metas \x97 custos"), t("Vendas - metas - custos"));
  EXPECT_EQ(t("Relat\xF3rio\xA0"
              "anual\x85"),
            t("Relat\xF3rio anual."));
  EXPECT_EQ(t("apresen\xADta\xE7\xE3o"), t("apresenta\xE7\xE3o"));
  EXPECT_EQ(t("d\x92\xE1gua"), t("d'\xE1gua"));
  EXPECT_EQ(t("3 \xD7 4"), t("3") + sign('\xD7') + t("4"));
  // Every letter of the code page stays inside its word and is read.
  for (int c = 0xC0; c <= 0xFF; ++c) {
    if (c == 0xD7 || c == 0xF7) continue;
    const std::string word = std::string("p") + static_cast<char>(c) + "ta";
    const std::string out = t(word);
    EXPECT_EQ(std::count(out.begin(), out.end(), '['), 1) << c;
    EXPECT_EQ(out.find('_'), std::string::npos) << c << " " << out;
  }
  for (const char* word : {"\x8A"
                           "emana",
                           "\x9A"
                           "oma",
                           "\x8E"
                           "ona",
                           "\x9E"
                           "ero",
                           "\x8C"
                           "uvre",
                           "\x9C"
                           "uvre"}) {
    EXPECT_EQ(t(word).find('_'), std::string::npos) << word;
  }
  // The old trema keeps the u of qu and gu heard.
  EXPECT_EQ(t("freq\xFC\xEAncia"), "[ f/ r/e^/ kw/E~/ s/i/ a]");
}

TEST(LetterRulesWords, EdgeCasesOfTheWordHandling) {
  LetterRules r = plainRules();
  // The tilde only makes its vowel nasal: the stress still falls on it.
  EXPECT_EQ(r.textToPhonemes("a\xE7\xE3o"), "[a/ s/ s/A~/o]");
  EXPECT_EQ(r.textToPhonemes("W"), "[ /_w]");
  EXPECT_EQ(r.textToPhonemes("Wagner"), "[u/a/ g/ n/E/ r]");
  EXPECT_EQ(r.textToPhonemes("cpf"), "[ /_c][ /_p][ /_f]");
  EXPECT_EQ(r.textToPhonemes("tab\tcasa"), "[ t/a/ b][ /_\x01][ k/A/ s/a]");
  EXPECT_EQ(r.textToPhonemes("sol mar"), "[ s/O/ l][ m/a/ r]");
  EXPECT_EQ(r.textToPhonemes("a, 5"), "[a][ /_,][ /_5]");
  r.loadWordExceptionsText("casa=caza\n");
  EXPECT_EQ(r.textToPhonemes("casas"), "[ k/A/ /_Z/a/ s]");
  EXPECT_EQ(r.textToPhonemes(""), "");
  EXPECT_EQ(r.textToPhonemes("   "), "");
}

TEST(LetterRulesWords, LongRunsAreCutIntoWordsOfAtMost255) {
  LetterRules r;
  r.loadLetterRulesText("(A)=a\n");
  const std::string out = r.textToPhonemes(std::string(600, 'a'));
  EXPECT_EQ(std::count(out.begin(), out.end(), '['), 3);
  EXPECT_EQ(std::count(out.begin(), out.end(), 'a') + std::count(out.begin(), out.end(), 'A'), 600);
}

// Each context symbol on a rules file of its own.
struct ContextCase {
  const char* rules;
  const char* text;
  const char* expected;
};

class ContextSymbols : public ::testing::TestWithParam<ContextCase> {};

TEST_P(ContextSymbols, MatchAsDescribed) {
  LetterRules r;
  r.loadLetterRulesText(GetParam().rules);
  EXPECT_EQ(r.textToPhonemes(GetParam().text), GetParam().expected) << GetParam().rules;
}

INSTANTIATE_TEST_SUITE_P(
    Symbols, ContextSymbols,
    ::testing::Values(
        // '#' one or more vowels or accent marks, on both sides
        ContextCase{"(B)#=V\n(B)=C\n", "ba'e bxo", "[V/ /_A/ /_'/ /_E][C/ /_X/ /_O]"},
        ContextCase{"#(B)=V\n(B)=C\n(A)=a\n(E)=e\n", "aeb atb", "[A/e/V][a/ /_T/C]"},
        // '%' the word boundary
        ContextCase{"%(B)=S\n(B)%=E\n(B)=M\n(A)=a\n", "babab", "[S/A/M/a/E]"},
        // '&' one of l m n r z
        ContextCase{"(B)&=Y\n(B)=N\n(L)=l\n(T)=t\n(A)=a\n", "abla abta", "[A/Y/l/a][A/N/t/a]"},
        // '*' a consonant other than r and l, without moving
        ContextCase{"(B)*T=Y\n(B)*=Z\n(B)=N\n(T)=t\n(R)=r\n(D)=d\n(A)=a\n", "abta abra abda",
                    "[A/Y/t/a][A/N/r/a][A/Z/d/a]"},
        // '+' a front vowel and one accent mark after it
        ContextCase{"(C)+%=S\n(C)+=s\n(C)=k\n(E)=e\n(O)=o\n(I)=i\n(A)=a\n", "ce' cia co",
                    "[S/e/ /_'][s/I/a][k/o]"},
        // '[' the end of the word or a consonant other than h
        ContextCase{"(AN)[=A\n(A)=a\n(N)=n\n(T)=t\n(H)=h\n", "an ant anha", "[A][A/t][A/n/h/a]"},
        // '\' an optional s
        ContextCase{"(E)\\%=i\n(E)=e\n(S)=s\n(T)=t\n", "te tes tet", "[t/i][t/i/s][t/e/t]"},
        // ']' a or o with one accent mark after it
        ContextCase{"](S)=z\n(S)=s\n(A)=a\n(O)=o\n(I)=i\n", "o'sa as is", "[o/ /_'/z/a][a/z][i/s]"},
        // '_' a vowel with an accent mark after it, or the start of the word
        ContextCase{"_(I)= i\n(I)=i\n(A)=a\n(T)=t\n", "ia'i ti i", "[ i/a/ /_'/ i][t/i][ i]"},
        // '|' one of n r s
        ContextCase{"|(R)=R\n(R)=r\n(N)=n\n(S)=s\n(T)=t\n(A)=a\n", "anra asra atra",
                    "[A/n/R/a][A/s/R/a][A/t/r/a]"},
        // '!' the target holds the word's stressed vowel, without moving
        ContextCase{"(A)!M=S\n(A)=a\n(M)=m\n", "ama", "[S/m/a]"},
        // the stressed vowel upper-cases the first vowel of its group
        ContextCase{"(A)=xa\n(M)=m\n(R)=r\n(O)=o\n", "amar", "[xa/m/xA/r]"}));

TEST(LetterRulesUnits, SpeakerUnitsOfPhoneticText) {
  using V = std::vector<std::string>;
  EXPECT_EQ(unitNames("[ka]"), V{"$KA"});
  EXPECT_EQ(unitNames("[ k/A/ z/a/s]"), (V{"$KA", "$ZA", "$S"}));
  EXPECT_EQ(unitNames("[ p/A~w]"), (V{"$PACIRC", "$AWTIL"}));
  EXPECT_EQ(unitNames("[ p/ r/A/y/ a]"), (V{"$P", "$RA", "$AY", "$A"}));
  EXPECT_EQ(unitNames("[ tch/a^]"), (V{"$TCH", "$ACIRC"}));
  EXPECT_EQ(unitNames("[ /_,][ /_A]"), V{});
  EXPECT_EQ(unitNames("[ka/rr]"), (V{"$KA", "$RR"}));
  EXPECT_EQ(unitNames("[as]"), (V{"$A", "$S"}));
  // Semivowel runs are spoken in pairs, as after any vowel.
  EXPECT_EQ(unitNames("[ t/a/y/w/ A~]"), (V{"$TA", "$AY", "$YW", "$ATIL"}));
  EXPECT_EQ(unitNames("[ m/a/ l/a/w/y]"), (V{"$MA", "$LA", "$AW", "$WY"}));
  // A mark with no vowel before it names the bare mark unit.
  EXPECT_EQ(unitNames("[^w]"), (V{"$CIRC", "$W"}));
}
