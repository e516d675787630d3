#pragma once
// The exceptions dictionary (spellings replaced before stress and letter to
// sound) and the abbreviations dictionary (expansions of words written with
// a final period), each read from a code page 1252 text file.
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace lamina::mbrola_tts {

struct DictionaryEntry {
  std::string key;
  std::string value;
};

class ExceptionTable {
 public:
  static constexpr std::size_t kMaxEntries = 15000;
  static constexpr std::size_t kMaxLine = 255;

  // Empties the table, reads the file and sorts it; false when the file
  // cannot be read (the table is then empty).
  bool loadExceptions(const std::filesystem::path& file);
  void loadExceptionsText(std::string_view content);
  void clear() { entries_.clear(); }

  // The word (already upper case) as it is to be spoken; a final S or M is
  // peeled off, one at a time, to find the entry of the word's stem.
  std::string applyExceptions(std::string_view word) const;

  const std::vector<DictionaryEntry>& entries() const { return entries_; }

 private:
  const DictionaryEntry* find(std::string_view key) const;
  std::vector<DictionaryEntry> entries_;
};

class AbbreviationTable {
 public:
  // Further lines of a longer file are not read.
  static constexpr std::size_t kMaxEntries = 2000;
  static constexpr std::size_t kMaxValue = 999;

  bool loadAbbreviations(const std::filesystem::path& file);
  void loadAbbreviationsText(std::string_view content);
  void clear() { entries_.clear(); }

  // The expansion of the word (any case), or empty; the first of equal
  // keys wins.
  std::string lookupAbbreviation(std::string_view word) const;

  const std::vector<DictionaryEntry>& entries() const { return entries_; }

 private:
  std::vector<DictionaryEntry> entries_;
};

}  // namespace lamina::mbrola_tts
