#include "speech/text_speaker.h"

#include <algorithm>

#include "numbers/number_words.h"

namespace lamina::speech {
namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

bool isLetter(char ch) {
  const auto c = static_cast<unsigned char>(ch);
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 128;
}

bool isWordChar(char c) {
  return isLetter(c) || c == ' ';
}

// Runs of more digits than this are spelled.
constexpr std::size_t kLongestNumber = 6;
// The synthesizer is handed at most this many characters of a run.
constexpr std::size_t kLongestRun = 999;

}  // namespace

std::string upperText(std::string_view text) {
  std::string out(text);
  for (char& ch : out) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'a' && c <= 'z') || c >= 224) ch = static_cast<char>(c - 32);
  }
  return out;
}

TextSpeaker::TextSpeaker(RecordedSpeech& recorded, numbers::NumberSpeaker& numbers,
                         diphone::DiphoneSpeaker& synthesizer, const diphone::LetterRules& rules,
                         EngineDispatcher& engines)
    : recorded_(recorded),
      numbers_(numbers),
      synthesizer_(synthesizer),
      rules_(rules),
      engines_(engines) {}

void TextSpeaker::speakText(std::string_view text) {
  if (!recorded_.state().engineActive) {
    speakOwn(text);
    return;
  }
  recorded_.waitWhileSpeaking();
  if (recorded_.pump().keyPressed()) return;
  recorded_.trace("engine " + std::string(text));
  engines_.engineSpeak(text);
  recorded_.setSpeechPending(true);
}

void TextSpeaker::speakOwn(std::string_view input) {
  std::string text(input);
  // Presentations write the en and em dash where a hyphen or a pause is
  // meant, and glue words with the no-break space: read them as "-" and a
  // blank, so the hyphen rules and the word runs below apply to them.
  for (char& ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == 0x96 || c == 0x97) ch = '-';
    if (c == 0xA0) ch = ' ';
  }
  text += ' ';
  recorded_.setInterrupted(false);
  lastSymbol_ = ' ';
  repeats_ = 0;
  platform::MessagePump& pump = recorded_.pump();

  std::size_t at = 0;
  while (!recorded_.interrupted() && at < text.size()) {
    if (pump.keyPressed()) {
      recorded_.stopSpeech();
      return;
    }
    while (at < text.size() && text[at] == '0' && !recorded_.interrupted()) {
      recorded_.speakMessage("_zero");
      ++at;
    }
    if (at >= text.size() || recorded_.interrupted()) break;
    const char first = text[at];
    if (isDigit(first)) {
      std::size_t end = at;
      while (end < text.size() && (isDigit(text[end]) || text[end] == '-')) ++end;
      const std::string_view run = std::string_view(text).substr(at, end - at);
      if (run.find('-') != std::string_view::npos || run.size() > kLongestNumber) {
        recorded_.spellText(run);
      } else {
        numbers_.speakNumberWords(numbers::numberToWords(std::stoi(std::string(run))), false);
      }
      at = end;
    } else if (isWordChar(first)) {
      std::size_t end = at;
      while (end < text.size() && isWordChar(text[end])) ++end;
      const std::string_view run = std::string_view(text).substr(at, end - at);
      if (upperText(run) == "WWW") {
        recorded_.spellText(run);
      } else {
        const std::string_view part = run.substr(0, kLongestRun);
        recorded_.trace("synth " + std::string(part));
        synthesizer_.speakPhonetic(rules_.textToPhonemes(part), false);
      }
      at = end;
      // A hyphen inside a compound word is not spoken.
      if (at + 1 < text.size() && text[at] == '-' && isLetter(text[at + 1])) ++at;
    } else {
      speakSymbol(std::string_view(text).substr(at), first);
      ++at;
    }
  }
}

void TextSpeaker::speakSymbol(std::string_view rest, char symbol) {
  // The first four of a row of equal symbols are spoken, every further one
  // is a click.
  char choice = symbol;
  if (symbol == lastSymbol_) {
    if (++repeats_ > 3) {
      recorded_.clickSound();
      choice = ' ';
    }
  } else {
    lastSymbol_ = symbol;
    repeats_ = 0;
  }
  if (choice == '-') {
    const char next = rest.size() > 2 ? rest[1] : ' ';
    if (next == ' ' || next == '-') {
      punctuationPause(rest);
    } else if (isDigit(next)) {
      recorded_.speakMessage("_MENOS");
    } else {
      recorded_.speakChar('-');
    }
    return;
  }
  if (choice == ':' && rest.starts_with("://")) {
    // The colon of a web address is spelled, not paused on.
    recorded_.spellText(rest.substr(0, 1));
    return;
  }
  switch (choice) {
    case '(':
    case ')':
    case ',':
    case '.':
    case ':':
    case ';':
      punctuationPause(rest);
      break;
    case ' ':
    case '\t':
      break;
    default:
      if (!recorded_.pump().keyPressed()) recorded_.speakChar(static_cast<std::uint8_t>(choice));
  }
}

void TextSpeaker::punctuationPause(std::string_view text) {
  if (text.empty() || recorded_.pump().keyPressed()) return;
  recorded_.waitWhileSpeaking();
  const char mark = text[0];
  recorded_.speakChar(static_cast<std::uint8_t>(mark));
  const bool blankFollows = text.size() > 1 && text[1] == ' ';
  const FrontState& state = recorded_.state();
  switch (mark) {
    case '(':
    case ')':
    case ':':
    case ';':
      pauseMs(state.colonPause);
      break;
    case ',':
    case '-':
      if (blankFollows) pauseMs(state.commaPause);
      break;
    case '.':
      if (blankFollows) pauseMs(state.fullStopPause);
      break;
    default:
      break;
  }
}

void TextSpeaker::pauseMs(int ms) {
  const int steps = ms / 50;
  if (steps <= 0) return;
  recorded_.trace("pause " + std::to_string(ms));
  platform::MessagePump& pump = recorded_.pump();
  for (int i = 0; i < steps; ++i) {
    if (!pump.keyPressed()) pump.sleepPumping(50);
  }
}

}  // namespace lamina::speech
