#include "tools/voicedata/voice_units.h"

#include <algorithm>
#include <array>
#include <limits>

#include "platform/riff.h"

namespace lamina::voicedata {
namespace {

bool isVowel(char c) {
  return c == 'A' || c == 'E' || c == 'I' || c == 'O' || c == 'U';
}
bool isSemivowel(char c) {
  return c == 'W' || c == 'Y';
}

// Plain vowels are the open ones; "CIRC" closes them and "TIL" nasalises.
std::string vowelPhoneme(char v, char mark) {
  switch (v) {
    case 'A':
      return mark == '^' ? "&" : mark == '~' ? "&~" : "a";
    case 'E':
      return mark == '^' ? "e" : mark == '~' ? "e~" : "E";
    case 'O':
      return mark == '^' ? "o" : mark == '~' ? "o~" : "O";
    case 'I':
      return mark == '~' ? "i~" : "i";
    default:
      return mark == '~' ? "u~" : "u";
  }
}

struct Consonant {
  std::string_view ours;
  std::string_view espeak;
};

// Longest first, so the multi-letter phonemes win over their letters.
constexpr std::array<Consonant, 24> kConsonants{{
    {"TCH", "tS"}, {"DJ", "dZ"}, {"NH", "n^"}, {"LH", "lj"}, {"RR", "x"}, {"KS", "ks"},
    {"B", "b"},    {"C", "k"},   {"D", "d"},   {"F", "f"},   {"G", "g"},  {"J", "Z"},
    {"K", "k"},    {"L", "l"},   {"M", "m"},   {"N", "n"},   {"P", "p"},  {"Q", "k"},
    {"R", "*"},    {"S", "s"},   {"T", "t"},   {"V", "v"},   {"X", "S"},  {"Z", "z"},
}};

}  // namespace

std::string espeakPhonemesForUnit(std::string_view unitName) {
  if (unitName.starts_with('$')) unitName.remove_prefix(1);
  if (unitName == "NN") return "N";
  char mark = 0;
  std::string_view body = unitName;
  // A quality suffix belongs to the vowel (or vowel and semivowel) before
  // it; after anything else the letters are plain phonemes ("$TIL").
  auto takeSuffix = [&](std::string_view suffix, char m) {
    if (mark != 0 || !body.ends_with(suffix)) return;
    std::string_view rest = body.substr(0, body.size() - suffix.size());
    if (rest.empty()) return;
    const char last = rest.back();
    const bool vowelBefore =
        isVowel(last) || (isSemivowel(last) && rest.size() >= 2 && isVowel(rest[rest.size() - 2]));
    if (!vowelBefore) return;
    body = rest;
    mark = m;
  };
  takeSuffix("CIRC", '^');
  takeSuffix("TIL", '~');

  // Where the mark lands: the last vowel of the body.
  std::size_t markedVowel = std::string_view::npos;
  if (mark != 0) markedVowel = body.find_last_of("AEIOU");

  std::string out;
  for (std::size_t i = 0; i < body.size();) {
    const char c = body[i];
    if (isVowel(c)) {
      const char m = i == markedVowel ? mark : 0;
      if (m == '~' && i + 1 < body.size() && isSemivowel(body[i + 1])) {
        // Nasal diphthongs have their own sounds in the voice.
        const char s = body[i + 1];
        if (c == 'A' && s == 'W') {
          out += "&U~";
        } else {
          out += vowelPhoneme(c, '~');
          out += s == 'W' ? "w" : "j";
        }
        i += 2;
        continue;
      }
      out += vowelPhoneme(c, m);
      ++i;
      continue;
    }
    if (isSemivowel(c)) {
      out += c == 'W' ? "w" : "j";
      ++i;
      continue;
    }
    bool matched = false;
    for (const Consonant& k : kConsonants) {
      if (body.substr(i).starts_with(k.ours)) {
        out += k.espeak;
        i += k.ours.size();
        matched = true;
        break;
      }
    }
    if (!matched) return {};
  }
  return out;
}

bool unitNameLess(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

DatabaseFiles layOutDatabase(std::vector<UnitEntry> units) {
  std::sort(units.begin(), units.end(),
            [](const UnitEntry& a, const UnitEntry& b) { return unitNameLess(a.name, b.name); });
  units.erase(std::unique(units.begin(), units.end(),
                          [](const UnitEntry& a, const UnitEntry& b) { return a.name == b.name; }),
              units.end());
  DatabaseFiles files;
  for (const UnitEntry& u : units) {
    if (u.name.size() > 8 || u.samples.size() > std::numeric_limits<std::uint16_t>::max() ||
        files.data.size() + u.samples.size() >
            static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
      files.skipped.push_back(u.name);
      continue;
    }
    std::array<std::uint8_t, 15> rec{};
    rec[0] = static_cast<std::uint8_t>(u.name.size());
    std::copy(u.name.begin(), u.name.end(), rec.begin() + 1);
    const auto length = static_cast<std::uint16_t>(u.samples.size());
    riff::put16(rec, 9, length);
    riff::put32(rec, 11, static_cast<std::uint32_t>(files.data.size()));
    files.index.insert(files.index.end(), rec.begin(), rec.end());
    files.data.insert(files.data.end(), u.samples.begin(), u.samples.end());
  }
  return files;
}

}  // namespace lamina::voicedata
