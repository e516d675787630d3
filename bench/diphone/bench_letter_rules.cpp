// Words per second of textToPhonemes on about 2 MB of generated Portuguese
// text. Run from the source root: build/bench/diphone/bench_letter_rules
#include <chrono>
#include <cstdio>
#include <iterator>
#include <string>

#include "diphone/letter_rules.h"

int main() {
  lamina::diphone::LetterRules rules;
  if (!rules.loadLetterRules("data/diphone/regras.rgr") ||
      !rules.loadWordExceptions("data/diphone/portug.exc")) {
    std::fprintf(stderr, "run from the source root: the rules files were not found\n");
    return 1;
  }
  const char* words[] = {"a",
                         "apresenta\xE7\xE3o",
                         "dos",
                         "resultados",
                         "do",
                         "projeto",
                         "mostra",
                         "que",
                         "as",
                         "vendas",
                         "cresceram",
                         "muito",
                         "neste",
                         "ano,",
                         "principalmente",
                         "nas",
                         "regi\xF5"
                         "es",
                         "Norte",
                         "e",
                         "Nordeste.",
                         "O",
                         "pr\xF3ximo",
                         "slide",
                         "traz",
                         "gr\xE1"
                         "ficos",
                         "com",
                         "informa\xE7\xF5"
                         "es",
                         "sobre",
                         "clientes",
                         "quinta-feira",
                         "software",
                         "online;",
                         "exame",
                         "t\xE1xi",
                         "caixa",
                         "ci\xEAncia",
                         "hist\xF3ria",
                         "guerra",
                         "linguagem",
                         "trabalho",
                         "cidade",
                         "noite"};
  std::string text;
  std::size_t wordCount = 0;
  unsigned seed = 1;
  while (text.size() < 2 * 1024 * 1024) {
    seed = seed * 1103515245u + 12345u;
    text += words[(seed >> 8) % std::size(words)];
    text += ' ';
    ++wordCount;
  }
  // The text speaker hands over runs of at most 999 characters.
  const auto start = std::chrono::steady_clock::now();
  std::size_t out = 0;
  for (std::size_t pos = 0; pos < text.size(); pos += 999) {
    out += rules.textToPhonemes(std::string_view(text).substr(pos, 999)).size();
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("textToPhonemes: %zu bytes, %zu words in %.3f s: %.0f words/s (%zu bytes out)\n",
              text.size(), wordCount, seconds, static_cast<double>(wordCount) / seconds, out);
  return 0;
}
