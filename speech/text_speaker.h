#pragma once
// Reads an arbitrary text aloud: whole to an active outside engine, or split
// here into digit runs (number words or spelled), runs of letters and blanks
// (the diphone synthesizer) and symbols (their recorded sounds, with pauses
// after punctuation). A key pressed stops the reading between pieces.
#include <string>
#include <string_view>

#include "diphone/letter_rules.h"
#include "diphone/speaker.h"
#include "numbers/number_speaker.h"
#include "speech/engine.h"
#include "speech/recorded_speech.h"

namespace lamina::speech {

// a..z become A..Z and 224..255 lose 32; every other byte stays.
std::string upperText(std::string_view text);

class TextSpeaker {
 public:
  TextSpeaker(RecordedSpeech& recorded, numbers::NumberSpeaker& numbers,
              diphone::DiphoneSpeaker& synthesizer, const diphone::LetterRules& rules,
              EngineDispatcher& engines);

  void speakText(std::string_view text);
  // The text begins with the mark; the character after it decides the pause.
  void punctuationPause(std::string_view text);
  // Sleeps in 50 ms steps; a pending key ends it.
  void pauseMs(int ms);

 private:
  void speakOwn(std::string_view text);
  void speakSymbol(std::string_view rest, char symbol);

  RecordedSpeech& recorded_;
  numbers::NumberSpeaker& numbers_;
  diphone::DiphoneSpeaker& synthesizer_;
  const diphone::LetterRules& rules_;
  EngineDispatcher& engines_;
  char lastSymbol_ = ' ';
  int repeats_ = 0;
};

}  // namespace lamina::speech
