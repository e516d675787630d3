#pragma once
// Cuts phonetic text into tokens and units and names the units to play,
// with the pauses between them. The speaker plays what it is handed; the
// voice data's unit list is made by handing the same names to a collector,
// so the list holds exactly what the speaker looks up.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "diphone/database.h"

namespace lamina::diphone {

// Receives the cutter's output in speaking order.
class UnitSink {
 public:
  virtual ~UnitSink() = default;
  // "$" + phonemes (with "CIRC"/"TIL" for the marks) names a database unit;
  // "_" + a code or name names a recorded sound.
  virtual void speakDiphone(std::string_view name, bool stressed, double factor) = 0;
  virtual void addSilence(int bytes) = 0;
};

class UnitCutter {
 public:
  // The pauses are read from `settings` on every use, so later changes
  // apply.
  UnitCutter(const SynthesisSettings& settings, UnitSink& sink);

  // Every token of the text with the word pauses between them; starts with
  // the stressed flag cleared.
  void cutPhonetic(std::string_view text, bool noPauses);

  // Reads the token at pos (and moves pos past it); punctuation pauses are
  // handed on here unless noPauses is set.
  std::string nextPhoneticToken(std::string_view text, std::size_t& pos, bool noPauses);
  void speakChunk(std::string_view token, double factor);
  void speakUnit(std::string_view unit, double factor);

  bool stressed() const { return stressed_; }

  static constexpr std::size_t kMaxToken = 40;
  static constexpr std::size_t kMaxUnit = 12;

 private:
  const SynthesisSettings& settings_;
  UnitSink& sink_;
  bool stressed_ = false;
};

// One unit that stands in for a missing one.
struct FallbackUnit {
  std::string name;
  bool stressed = false;
  double factor = 1.0;
};

// What replaces the database unit `name` (of 3 or more characters) when it
// is missing, in playing order; empty when it is simply left out.
std::vector<FallbackUnit> fallbackUnits(std::string_view name, bool stressed, double factor);

}  // namespace lamina::diphone
