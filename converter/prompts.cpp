#include "converter/prompts.h"

#include <array>
#include <utility>

namespace lamina::converter {

namespace {

// Texts in cp1252 ("\xE3" is "ã", "\xE7" is "ç").
constexpr std::array<std::pair<std::string_view, std::string_view>, 9> kCatalogue{{
    {"LMNOMARQ", "Informe o arquivo PPT ou PPS a ler: "},
    {"LMNOMSAI", "Informe o arquivo TXT de destino: "},
    {"LMDESIST", "Desistiu"},
    {"LMARQNAO", "Arquivo inexistente"},
    {"LMERRCRI", "Erro ao criar o arquivo de saida"},
    {"LMFIMAPR", "Fim da convers\xE3o"},
    // A file that is there but cannot be read as a presentation.
    {"LMERRAPR", "Erro ao ler a apresenta\xE7\xE3o"},
    {"LMAPRSEN", "A apresenta\xE7\xE3o est\xE1 protegida por senha"},
    {"LMERRGRA", "Erro ao gravar o arquivo de saida"},
}};

}  // namespace

std::string promptText(std::string_view key) {
  for (const auto& [k, text] : kCatalogue) {
    if (k == key) return std::string(text);
  }
  return std::string(key);
}

void Prompts::sayPrompt(std::string_view key, int lineEnds) {
  const std::string text = promptText(key);
  if (lineEnds >= 0) {
    console_.write(text);
    for (int i = 0; i < lineEnds; ++i) console_.writeLine("");
  }
  speech::RecordedSpeech& recorded = speech_.recorded();
  if (recorded.messageExists(key)) {
    recorded.speakMessage(key);
  } else {
    speech_.text().speakText(text);
  }
  recorded.waitWhileSpeaking();
}

void Prompts::sayLine(std::string_view text) {
  console_.writeLine(text);
  speech_.text().speakText(text);
  speech_.recorded().waitWhileSpeaking();
}

void Prompts::sayFailure(std::string_view key, int lineEnds) {
  for (int i = 0; i < 3; ++i) speech_.recorded().beepTone();
  sayPrompt(key, lineEnds);
}

}  // namespace lamina::converter
