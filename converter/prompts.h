#pragma once
// The prompt catalogue: every message the converter shows has an
// eight-letter key; saying a prompt prints its text on the console and
// speaks it, a recording named after the key taking the place of the
// synthesized text when one exists.
#include <string>
#include <string_view>

#include "console/console.h"
#include "speech/speech_front.h"

namespace lamina::converter {

// The catalogue text (cp1252) of the key; an unknown key gives itself.
std::string promptText(std::string_view key);

class Prompts {
 public:
  Prompts(console::Console& console, speech::SpeechFront& speech)
      : console_(console), speech_(speech) {}

  // lineEnds >= 0: the text and that many line ends are on the screen
  // before anything is spoken; negative: only spoken. Returns when the
  // speech has ended or a key cut it.
  void sayPrompt(std::string_view key, int lineEnds);
  // Three beeps, then the prompt.
  void sayFailure(std::string_view key, int lineEnds);
  // A text of no catalogue key (cp1252), printed as one line and spoken.
  void sayLine(std::string_view text);

 private:
  console::Console& console_;
  speech::SpeechFront& speech_;
};

}  // namespace lamina::converter
