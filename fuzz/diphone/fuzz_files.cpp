// Any bytes as a rules file and as an exceptions file, then a fixed text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "diphone/letter_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  lamina::diphone::LetterRules rules;
  rules.loadLetterRulesText(bytes);
  rules.loadWordExceptionsText(bytes);
  (void)rules.textToPhonemes("A casa do Jo\xE3o tem \xE1gua, luz e internet; cpf 123.");
  return 0;
}
