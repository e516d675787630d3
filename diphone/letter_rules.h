#pragma once
// Brazilian Portuguese letter-to-sound for the diphone synthesizer: turns
// words into the phonetic text that the diphone speaker plays, driven by the
// rules file ("regras.rgr") and the exceptions file ("portug.exc").
//
// Phonetic text: for every word "[" + the phonemes of its letter groups
// separated by "/" + "]". A letter group without a rule gives " /_" + the
// upper-cased character (played as that character's recorded sound); a
// spelled word gives "[ /_" + character + "]" per character. Inside the
// phonemes a blank ends a speaking unit, an upper-case vowel is stressed,
// "^" and "~" after a vowel mark the closed and nasal quality.
#include <array>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lamina::diphone {

struct LetterRule {
  std::string left;      // at most 5 characters
  std::string target;    // 1 to 5 characters, its first in 32..95
  std::string right;     // at most 5 characters
  std::string phonemes;  // at most 11 characters, may be empty
};

class LetterRules {
 public:
  static constexpr std::size_t kBuckets = 64;
  static constexpr std::size_t kMaxExceptions = 15000;
  static constexpr std::size_t kMaxLine = 255;
  static constexpr std::size_t kMaxWord = 255;
  static constexpr char kUnknownMark = '\x01';

  // Each loader returns false when the file cannot be read and then leaves
  // the tables as they were. Loading rules also empties the exceptions, so
  // rules are loaded first.
  bool loadLetterRules(const std::filesystem::path& file);
  bool loadWordExceptions(const std::filesystem::path& file);

  // The same from the file's bytes.
  void loadLetterRulesText(std::string_view content);
  void loadWordExceptionsText(std::string_view content);

  void freeLetterRules();

  std::string textToPhonemes(std::string_view text) const;

  std::size_t ruleCount() const;
  std::size_t exceptionCount() const { return exceptions_.size(); }
  const std::vector<LetterRule>& bucket(unsigned char first) const;

  // The word as it comes out of the exceptions table; the word buffer holds
  // prepared text (lower case, accent marks after their vowels).
  std::string lookupException(std::string_view word) const;

  // Parses one rules line; false for lines that hold no usable rule.
  static bool parseRuleLine(std::string_view line, LetterRule& rule);

  // Text with every byte mapped to the characters the rules know.
  static std::string prepareText(std::string_view text);

  // Upper-cases the stressed vowel of a lower-case word (words that carry
  // an acute, circumflex or grave accent are left alone: their marks
  // decide; a tilde vowel takes the stress unless a later syllable does).
  static void markStress(std::string& word, std::size_t vowels, bool accentMark);

  static bool mustSpell(std::string_view word);
  static void spellWord(std::string_view word, std::string& out);

  void transcribeByRules(std::string_view word, std::string& out) const;

 private:
  struct Word {
    std::string text;
    std::size_t vowels = 0;
    bool accentMark = false;
  };

  // Reads the next word of prepared text from pos; false at the end.
  static bool readNextWord(std::string_view text, std::size_t& pos, Word& word);

  // `word` is the word with its stressed vowel in upper case, `upper` the
  // same all in upper case.
  const LetterRule* findRule(std::string_view word, std::string_view upper, std::size_t p) const;

  std::array<std::vector<LetterRule>, kBuckets> buckets_;
  std::vector<std::pair<std::string, std::string>> exceptions_;
};

}  // namespace lamina::diphone
