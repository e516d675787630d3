// The language files as shipped: they load, agree with each other, and
// what they make is valid input for the voice.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>

#include "mbrola_tts/front_end.h"
#include "test_util.h"

namespace lamina::mbrola_tts {
namespace {

using test::cp;

const MbrolaFrontEnd& shipped() {
  static const MbrolaFrontEnd frontEnd = [] {
    MbrolaFrontEnd f;
    CollectingReporter reporter;
    EXPECT_EQ(f.load(LanguageFiles::inFolder(LAMINA_MBROLA_DATA_DIR), reporter), LoadResult::ok);
    EXPECT_TRUE(reporter.messages.empty()) << test::utf(reporter.messages.front());
    return f;
  }();
  return frontEnd;
}

TEST(ShippedFiles, LoadAndAgree) {
  const MbrolaFrontEnd& f = shipped();
  EXPECT_GT(f.rules.ruleCount(), 100u);
  EXPECT_GT(f.diphones.entries().size(), 500u);
  EXPECT_EQ(f.abbreviations.lookupAbbreviation("sra"), "Senhora");
  // Every phoneme the voice offers has its own duration.
  std::set<std::string> names;
  for (const std::string& d : f.diphones.entries()) names.insert(d.substr(0, d.find('-')));
  for (const std::string& n : names) {
    EXPECT_TRUE(f.prosody.hasDuration(n)) << n;
  }
  for (const char* pause : {"_,", "_.", "_?", "_!", "_:", "_;", "_(", "_)", "__"}) {
    EXPECT_TRUE(f.prosody.hasDuration(pause)) << pause;
  }
  CollectingReporter reporter;
  MbrolaFrontEnd missing;
  EXPECT_EQ(missing.load(LanguageFiles::inFolder("no-such-folder"), reporter),
            LoadResult::languageError);
}

// Phoneme, a positive duration, then pairs of a position 0..100 and a
// positive pitch; comments and empty lines are allowed.
bool validLine(const std::string& line, std::string& why) {
  if (line.empty() || line.front() == ';') return true;
  std::vector<std::string> fields;
  std::size_t p = 0;
  while (p < line.size()) {
    const std::size_t q = line.find(' ', p);
    fields.push_back(line.substr(p, q - p));
    if (q == std::string::npos) break;
    p = q + 1;
  }
  why = line;
  if (fields.size() < 2 || fields.size() % 2 != 0 || fields[0].empty()) return false;
  for (std::size_t i = 1; i < fields.size(); ++i) {
    if (fields[i].empty() || fields[i].find_first_not_of("0123456789") != std::string::npos)
      return false;
    const long v = std::stol(fields[i]);
    if (i == 1 && v <= 0) return false;
    if (i > 1 && i % 2 == 0 && v > 100) return false;
    if (i > 1 && i % 2 == 1 && v <= 0) return false;
  }
  return true;
}

TEST(ShippedFiles, EveryLineIsValidVoiceInput) {
  const MbrolaFrontEnd& f = shipped();
  const char* const texts[] = {
      "Bom dia! Hoje vamos falar sobre o orçamento de 2024.",
      "Qual é o prazo? São 15 dias úteis, até 3 de março.",
      "O Sr. Silva e a Dra. Costa apresentam os resultados: 12,5% a mais...",
      "Contato: joao.silva@empresa.com.br ou (21) 98765-4321.",
      "CPF, RG, PDF; www.ufrj.br/inscricao - 1º lugar, 2ª fase",
      "a",
      "",
      "?!.,;:()",
  };
  for (const char* text : texts) {
    for (const double speed : {0.5, 1.0, 2.0}) {
      const auto lines = f.textToMbrola(cp(text), 1.0, speed);
      EXPECT_GT(lines.size(), 2u) << text;
      for (const std::string& line : lines) {
        std::string why;
        EXPECT_TRUE(validLine(line, why)) << text << ": " << why;
      }
    }
  }
}

// Every diphone the rules make for the words of the Brazilian word list is
// in the voice's list; the coverage is printed.
TEST(ShippedFiles, DiphoneCoverageOfTheBrazilianWordList) {
  std::ifstream words("/usr/share/dict/brazilian");
  if (!words) GTEST_SKIP() << "the Brazilian word list (package wbrazilian) is not installed";
  const MbrolaFrontEnd& f = shipped();
  std::set<std::string> needed;
  std::set<std::string> missing;
  std::string word;
  std::size_t count = 0;
  while (std::getline(words, word)) {
    ++count;
    const std::vector<std::string> names = phonemeSequence(f.phonemeLines(cp(word)));
    for (std::size_t i = 1; i < names.size(); ++i) {
      const std::string d = names[i - 1] + "-" + names[i];
      needed.insert(d);
      if (!f.diphones.contains(names[i - 1], names[i])) missing.insert(d);
    }
  }
  const double coverage =
      needed.empty() ? 0 : 100.0 * double(needed.size() - missing.size()) / double(needed.size());
  std::printf("diphone coverage: %zu words, %zu diphones needed, %zu missing, %.2f %%\n", count,
              needed.size(), missing.size(), coverage);
  EXPECT_GT(count, 100000u);
  for (const std::string& d : missing) ADD_FAILURE() << "missing diphone " << test::utf(d);
}

}  // namespace
}  // namespace lamina::mbrola_tts
