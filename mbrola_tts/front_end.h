#pragma once
// The whole front-end: the five language files and the pipeline from text
// to the voice's input lines (normalise, tokenize, intonation, transcribe,
// prosody).
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "mbrola_tts/dictionaries.h"
#include "mbrola_tts/prosody.h"
#include "mbrola_tts/reporter.h"
#include "mbrola_tts/transcribe.h"

namespace lamina::mbrola_tts {

struct LanguageFiles {
  std::filesystem::path rules;
  std::filesystem::path exceptions;
  std::filesystem::path abbreviations;
  std::filesystem::path prosody;
  std::filesystem::path diphones;

  // portug.nrl, portug.exc, portug.abr, portug.pro and portug.dfn in folder.
  static LanguageFiles inFolder(const std::filesystem::path& folder);
};

enum class LoadResult { ok, languageError, abbreviationError, prosodyError };

// The message the start-up shows for a failed load (empty for ok).
std::string loadFailureMessage(LoadResult result);

class MbrolaFrontEnd {
 public:
  // Rules then exceptions; false when either fails (the exceptions are then
  // left empty).
  bool loadLanguageFiles(const std::filesystem::path& rules,
                         const std::filesystem::path& exceptions);

  // Loads every file in the start-up's order; the prosody loader shows its
  // own messages on the reporter, the caller shows loadFailureMessage.
  LoadResult load(const LanguageFiles& files, MessageReporter& reporter);

  std::string normalize(std::string_view text) const;
  std::vector<std::string> phonemeLines(std::string_view text) const;
  std::vector<std::string> textToMbrola(std::string_view text, double pitchFactor,
                                        double speedFactor) const;

  RuleTable rules;
  ExceptionTable exceptions;
  AbbreviationTable abbreviations;
  Prosody prosody;
  DiphoneList diphones;
};

}  // namespace lamina::mbrola_tts
