#pragma once
// Splitting a plain text before the diphone synthesizer speaks it, as text
// speaking will: runs of letters and blanks go through the letter rules,
// digits and signs are spoken by their recorded sounds.
#include <string_view>

#include "diphone/letter_rules.h"
#include "diphone/speaker.h"

namespace lamina::diphone {

// Speaks text through speaker, queued. Letters are ASCII letters and every
// cp1252 byte from 128; tabs are skipped.
void sayText(std::string_view text, const LetterRules& rules, DiphoneSpeaker& speaker);

}  // namespace lamina::diphone
