// lamina-pho: reads text lines on standard input and writes the voice's
// input lines (phoneme, duration, pitch pairs) for each on standard output,
// so the front-end can be heard with any compatible engine.
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "mbrola_tts/front_end.h"
#include "platform/cp1252.h"
#include "platform/paths.h"

namespace {

void usage() {
  std::cerr << "uso: lamina-pho [--utf8] [--dir PASTA] [--speed F] [--pitch F]\n"
               "  --utf8        entrada e saída em UTF-8 (o padrão é a página 1252)\n"
               "  --dir PASTA   pasta dos arquivos portug.* (padrão: mbrola/ dos dados)\n"
               "  --speed F     fator de duração (1.0)\n"
               "  --pitch F     fator de altura (1.0)\n"
               "  --diphones    lista os difones que o texto pede, mais os de\n"
               "                toda junção de fim e início de palavra\n";
}

// The diphones inside the words of a phoneme list, and the phonemes that
// begin and end its words (any word end can meet any word start).
void collectDiphones(const std::vector<std::string>& phonemes, std::set<std::string>& pairs,
                     std::set<std::string>& firsts, std::set<std::string>& lasts) {
  const std::vector<std::string> names = lamina::mbrola_tts::phonemeSequence(phonemes);
  for (std::size_t i = 1; i < names.size(); ++i) pairs.insert(names[i - 1] + "-" + names[i]);
  std::vector<std::string> word;
  for (const std::string& line : phonemes) {
    if (line.empty() || line.front() == ';') {
      if (!word.empty()) {
        const auto seq = lamina::mbrola_tts::phonemeSequence(word);
        firsts.insert(seq[1]);
        lasts.insert(seq.back());
      }
      word.clear();
    } else {
      word.push_back(line);
    }
  }
}

bool parseFactor(const char* text, double& out) {
  char* end = nullptr;
  out = std::strtod(text, &end);
  return end != text && *end == '\0' && out > 0;
}

}  // namespace

int main(int argc, char** argv) {
  bool utf8 = false;
  bool diphones = false;
  double speed = 1.0;
  double pitch = 1.0;
  std::filesystem::path dir = lamina::paths::dataDirectory() / "mbrola";
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--utf8") {
      utf8 = true;
    } else if (arg == "--diphones") {
      diphones = true;
    } else if (arg == "--dir" && i + 1 < argc) {
      dir = argv[++i];
    } else if (arg == "--speed" && i + 1 < argc && parseFactor(argv[i + 1], speed)) {
      ++i;
    } else if (arg == "--pitch" && i + 1 < argc && parseFactor(argv[i + 1], pitch)) {
      ++i;
    } else {
      usage();
      return 2;
    }
  }

  lamina::mbrola_tts::StderrReporter reporter;
  lamina::mbrola_tts::MbrolaFrontEnd frontEnd;
  const auto result = frontEnd.load(lamina::mbrola_tts::LanguageFiles::inFolder(dir), reporter);
  if (result != lamina::mbrola_tts::LoadResult::ok) {
    reporter.showMessage(lamina::mbrola_tts::loadFailureMessage(result));
    return 1;
  }

  std::set<std::string> pairs;
  std::set<std::string> firsts{"_"};
  // A word-final "r2" or "s2" before a vowel is said "r" or "z".
  std::set<std::string> lasts{"_", "r", "z"};
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string text = utf8 ? lamina::cp1252::fromUtf8(line) : line;
    if (diphones) {
      collectDiphones(frontEnd.phonemeLines(text), pairs, firsts, lasts);
      continue;
    }
    for (const std::string& out : frontEnd.textToMbrola(text, pitch, speed)) {
      if (utf8)
        std::cout << lamina::cp1252::toUtf8(out) << '\n';
      else
        std::cout << out << '\n';
    }
  }
  if (diphones) {
    for (const std::string& a : lasts) {
      for (const std::string& b : firsts) pairs.insert(a + "-" + b);
    }
    for (const std::string& p : pairs) std::cout << p << '\n';
  }
  return 0;
}
