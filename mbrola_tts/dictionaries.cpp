#include "mbrola_tts/dictionaries.h"

#include <algorithm>

#include "mbrola_tts/text_lines.h"

namespace lamina::mbrola_tts {

bool ExceptionTable::loadExceptions(const std::filesystem::path& file) {
  entries_.clear();
  const auto content = readWholeFile(file);
  if (!content) return false;
  loadExceptionsText(*content);
  return true;
}

void ExceptionTable::loadExceptionsText(std::string_view content) {
  entries_.clear();
  for (std::string_view raw : splitLines(content)) {
    if (entries_.size() >= kMaxEntries) break;
    if (raw.size() > kMaxLine) raw = raw.substr(0, kMaxLine);
    if (raw.empty()) continue;
    // A line without "=" keeps its whole text plus "|" as key and has no
    // value, as if "|=|" had been appended before cutting.
    const std::string line = upperCase(raw) + "|=|";
    const std::size_t eq = line.find('=');
    const std::size_t bar = line.find('|', eq + 1);
    entries_.push_back({line.substr(0, eq), line.substr(eq + 1, bar - eq - 1)});
  }
  // Byte order of cp1252 codes: std::string compares as unsigned char.
  std::stable_sort(
      entries_.begin(), entries_.end(),
      [](const DictionaryEntry& a, const DictionaryEntry& b) { return a.key < b.key; });
}

const DictionaryEntry* ExceptionTable::find(std::string_view key) const {
  const auto it = std::lower_bound(
      entries_.begin(), entries_.end(), key,
      [](const DictionaryEntry& e, std::string_view k) { return std::string_view(e.key) < k; });
  if (it != entries_.end() && it->key == key) return &*it;
  return nullptr;
}

std::string ExceptionTable::applyExceptions(std::string_view word) const {
  std::string suffix;
  std::string_view stem = word;
  for (;;) {
    if (const DictionaryEntry* e = find(stem)) return e->value + suffix;
    if (stem.empty() || (stem.back() != 'S' && stem.back() != 'M')) break;
    suffix.insert(suffix.begin(), stem.back());
    stem.remove_suffix(1);
    if (stem.empty()) break;
  }
  return std::string(word);
}

bool AbbreviationTable::loadAbbreviations(const std::filesystem::path& file) {
  entries_.clear();
  const auto content = readWholeFile(file);
  if (!content) return false;
  loadAbbreviationsText(*content);
  return true;
}

void AbbreviationTable::loadAbbreviationsText(std::string_view content) {
  entries_.clear();
  for (std::string_view raw : splitLines(content)) {
    if (entries_.size() >= kMaxEntries) break;
    const std::string_view line = trimControls(raw);
    if (line.empty() || line.front() == ';') continue;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      entries_.push_back({"", std::string(line.substr(0, kMaxValue))});
      continue;
    }
    std::string_view value = line.substr(eq + 1);
    if (value.size() > kMaxValue) value = value.substr(0, kMaxValue);
    entries_.push_back(
        {upperCase(trimControls(line.substr(0, eq))), std::string(trimControls(value))});
  }
}

std::string AbbreviationTable::lookupAbbreviation(std::string_view word) const {
  if (word.empty()) return {};
  const std::string key = upperCase(word);
  for (const DictionaryEntry& e : entries_) {
    if (e.key == key) return e.value;
  }
  return {};
}

}  // namespace lamina::mbrola_tts
