// Any bytes as text, spoken with the shipped rules and exceptions.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "diphone/letter_rules.h"
#include "diphone/unit_names.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const lamina::diphone::LetterRules rules = [] {
    lamina::diphone::LetterRules r;
    r.loadLetterRules("data/diphone/regras.rgr");
    r.loadWordExceptions("data/diphone/portug.exc");
    return r;
  }();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  (void)lamina::diphone::unitNames(rules.textToPhonemes(text));
  return 0;
}
