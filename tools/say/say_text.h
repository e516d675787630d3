#pragma once
// How lamina-say (and the voice bench) split a text before the diphone
// synthesizer speaks it, as text speaking will: runs of letters and blanks
// through the letter rules, digits and signs by their recorded sounds.
#include <algorithm>
#include <string>
#include <string_view>

#include "diphone/letter_rules.h"
#include "diphone/speaker.h"

namespace lamina::tools {

inline bool isLetterOrBlank(char ch) {
  const auto c = static_cast<unsigned char>(ch);
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 128 || c == ' ';
}

inline void sayText(std::string_view text, const diphone::LetterRules& rules,
                    diphone::DiphoneSpeaker& speaker) {
  std::size_t i = 0;
  while (i < text.size()) {
    if (isLetterOrBlank(text[i])) {
      std::size_t end = i;
      while (end < text.size() && isLetterOrBlank(text[end])) ++end;
      // The text speaker hands over at most 999 characters at a time.
      const std::string_view run = text.substr(i, std::min<std::size_t>(end - i, 999));
      speaker.speakPhonetic(rules.textToPhonemes(run), false);
      i += run.size();
      continue;
    }
    if (text[i] != '\t') speaker.speakPhonetic(std::string("[ /_") + text[i] + "]", true);
    ++i;
  }
}

}  // namespace lamina::tools
