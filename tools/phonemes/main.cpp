// lamina-phonemes: prints the phonetic text of each line of standard input,
// one line out per line in, as the diphone synthesizer would speak it.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>

#include "diphone/letter_rules.h"
#include "diphone/unit_names.h"
#include "platform/cp1252.h"
#include "platform/paths.h"

namespace {

void usage() {
  std::cerr << "uso: lamina-phonemes [--utf8] [--units] [--rules ARQ] [--exceptions ARQ]\n"
               "  --utf8        entrada e saída em UTF-8 (o padrão é a página 1252)\n"
               "  --units       mostra as unidades do banco de difones em vez do texto fonético\n"
               "  --rules ARQ   arquivo de regras (padrão: difones/regras.rgr dos dados)\n"
               "  --exceptions ARQ  arquivo de exceções (padrão: difones/portug.exc)\n";
}

}  // namespace

int main(int argc, char** argv) {
  bool utf8 = false;
  bool units = false;
  const std::filesystem::path dir = lamina::paths::dataDirectory() / "difones";
  std::filesystem::path rulesFile = dir / "regras.rgr";
  std::filesystem::path exceptionsFile = dir / "portug.exc";
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--utf8") {
      utf8 = true;
    } else if (arg == "--units") {
      units = true;
    } else if (arg == "--rules" && i + 1 < argc) {
      rulesFile = argv[++i];
    } else if (arg == "--exceptions" && i + 1 < argc) {
      exceptionsFile = argv[++i];
    } else {
      usage();
      return 2;
    }
  }

  lamina::diphone::LetterRules rules;
  if (!rules.loadLetterRules(rulesFile)) {
    std::cerr << "lamina-phonemes: não foi possível ler " << rulesFile.string() << "\n";
    return 1;
  }
  if (!rules.loadWordExceptions(exceptionsFile)) {
    std::cerr << "lamina-phonemes: não foi possível ler " << exceptionsFile.string() << "\n";
    return 1;
  }

  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string text = utf8 ? lamina::cp1252::fromUtf8(line) : line;
    std::string out = rules.textToPhonemes(text);
    if (units) {
      std::string joined;
      for (const std::string& name : lamina::diphone::unitNames(out)) {
        if (!joined.empty()) joined += ' ';
        joined += name;
      }
      out = std::move(joined);
    }
    std::cout << (utf8 ? lamina::cp1252::toUtf8(out) : out) << '\n';
  }
  return 0;
}
