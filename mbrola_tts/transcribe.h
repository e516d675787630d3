#pragma once
// Phonetic transcription: the words of an intonation-marked phrase become
// phoneme lines for the voice, by context-sensitive letter-to-sound rules,
// with the stressed phoneme marked by ">", pause lines for punctuation and
// the word-final "r2"/"s2" changed before a word that starts with a vowel.
//
// Phoneme list lines: ";" + intonation line (a word, mark or boundary
// starts), a phoneme name optionally preceded by ">", "" (a word's phonemes
// end), "_!" "_(" "_)" "_," "_." "_:" "_;" "_?" (pauses for marks) and "__"
// (phrase boundary).
#include <array>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "mbrola_tts/dictionaries.h"

namespace lamina::mbrola_tts {

struct LetterRule {
  std::string left;      // at most 5 characters
  std::string match;     // 1 to 5 characters
  std::string right;     // at most 5 characters
  std::string phonemes;  // at most 20 characters kept, 11 used; "&" separates
};

class RuleTable {
 public:
  static constexpr std::size_t kMaxContext = 5;
  static constexpr std::size_t kMaxPhonemes = 20;
  static constexpr std::size_t kUsedPhonemes = 11;

  // Empties the table and reads the file; false when it cannot be read.
  bool loadRules(const std::filesystem::path& file);
  // Lines with an empty match part hold no rule and are skipped; returns
  // how many were skipped.
  std::size_t loadRulesText(std::string_view content);
  void freeRules();

  // Cuts one line; false for comments and lines without a match part.
  static bool parseRuleLine(std::string_view line, LetterRule& rule);

  const std::vector<LetterRule>& bucket(unsigned char first) const { return buckets_[first]; }
  std::size_t ruleCount() const;

  // Appends the phoneme lines of an upper-case word, then an empty line.
  void transcribeWord(std::string_view word, int stress, std::vector<std::string>& out) const;

 private:
  std::array<std::vector<LetterRule>, 256> buckets_;
};

// 1-based position of the stressed vowel, 0 when the word has none.
int stressPosition(std::string_view word);
bool isUnstressedWord(std::string_view word);

// From markIntonation's lines (pattern "|" word) to phoneme lines.
std::vector<std::string> transcribePhrase(const std::vector<std::string>& intonation,
                                          const RuleTable& rules, const ExceptionTable& exceptions);

void liaisonPass(std::vector<std::string>& phonemes);

}  // namespace lamina::mbrola_tts
