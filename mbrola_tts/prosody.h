#pragma once
// Rhythm and melody for the voice: classed tokens, three-digit pitch
// patterns from the intonation rules, and the voice's input lines
// (phoneme, duration in ms, optional "position pitch" pair).
#include <array>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "mbrola_tts/reporter.h"

namespace lamina::mbrola_tts {

struct KeywordEntry {  // a function word and its two-character class
  std::string key;
  std::string wordClass;
};

struct IntonationRule {  // empty keys match any class
  std::array<std::string, 3> keys;
  std::string pattern;
};

class Prosody {
 public:
  // Entries past these limits are not read (the rest of the section is
  // skipped, loading goes on).
  static constexpr std::size_t kMaxDurations = 100;
  static constexpr std::size_t kMaxKeywords = 1000;
  static constexpr std::size_t kMaxRules = 300;
  static constexpr int kDefaultPitch = 230;
  static constexpr int kUnknownDuration = 100;

  // Every failure shows its message on the reporter and returns false.
  bool loadProsody(const std::filesystem::path& file, MessageReporter& reporter);
  bool loadProsodyText(std::string_view content, MessageReporter& reporter);

  // The class of a word (any case), empty when it is no keyword.
  std::string keywordClass(std::string_view word) const;
  int phonemeDuration(std::string_view name) const;
  bool hasDuration(std::string_view name) const;

  int basePitch() const { return basePitch_; }
  const std::array<int, 10>& pitchLevels() const { return pitchLevels_; }
  const std::vector<IntonationRule>& intonationRules() const { return rules_; }
  std::size_t durationCount() const { return durations_.size(); }
  std::size_t keywordCount() const { return keywords_.size(); }

 private:
  void clear();
  std::vector<std::pair<std::string, int>> durations_;
  std::vector<KeywordEntry> keywords_;
  std::vector<IntonationRule> rules_;
  int basePitch_ = kDefaultPitch;
  std::array<int, 10> pitchLevels_{100, 100, 100, 100, 100, 100, 100, 100, 100, 100};
};

// The diphones the voice offers, as "first-second".
class DiphoneList {
 public:
  bool loadDiphoneList(const std::filesystem::path& file);
  void loadDiphoneListText(std::string_view content);
  void freeDiphoneList() { entries_.clear(); }

  // One line of the diphone file as "first-second", or empty when the line
  // holds no diphone.
  static std::string parseLine(std::string_view line);

  bool contains(std::string_view first, std::string_view second) const;
  const std::vector<std::string>& entries() const { return entries_; }

 private:
  std::vector<std::string> entries_;
};

// The phoneme names the voice will join, in order, from a phoneme list:
// marks removed, pauses as "_", starting from the pause before the text.
// Each neighbouring pair is a diphone the voice must offer.
std::vector<std::string> phonemeSequence(const std::vector<std::string>& phonemes);

// Lines "[" class "]" text, starting with the phrase boundary "[--]".
std::vector<std::string> tokenizePhrase(std::string_view normalised, const Prosody& prosody);

// Lines pattern "|" text.
std::vector<std::string> markIntonation(const std::vector<std::string>& tokens,
                                        const Prosody& prosody);

// The voice's input lines for a phoneme list; the factors scale pitch and
// duration (1.0 each when not set) and are held to 0.05..20.
std::vector<std::string> buildMbrolaLines(const std::vector<std::string>& phonemes,
                                          double pitchFactor, double speedFactor,
                                          const Prosody& prosody, const DiphoneList& diphones);

}  // namespace lamina::mbrola_tts
