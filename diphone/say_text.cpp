#include "diphone/say_text.h"

#include <algorithm>
#include <string>

namespace lamina::diphone {

namespace {

// The text speaker hands over at most this many characters at a time.
constexpr std::size_t kMaxRun = 999;

bool isLetterOrBlank(char ch) {
  const auto c = static_cast<unsigned char>(ch);
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 128 || c == ' ';
}

}  // namespace

void sayText(std::string_view text, const LetterRules& rules, DiphoneSpeaker& speaker) {
  std::size_t i = 0;
  while (i < text.size()) {
    if (isLetterOrBlank(text[i])) {
      std::size_t end = i;
      while (end < text.size() && isLetterOrBlank(text[end])) ++end;
      const std::string_view run = text.substr(i, std::min(end - i, kMaxRun));
      speaker.speakPhonetic(rules.textToPhonemes(run), false);
      i += run.size();
      continue;
    }
    if (text[i] != '\t') speaker.speakPhonetic(std::string("[ /_") + text[i] + "]", true);
    ++i;
  }
}

}  // namespace lamina::diphone
