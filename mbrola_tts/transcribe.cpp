#include "mbrola_tts/transcribe.h"

#include "mbrola_tts/text_lines.h"
#include "platform/cp1252.h"

namespace lamina::mbrola_tts {
namespace {

unsigned char upper(unsigned char c) {
  return cp1252::toUpper(c);
}

bool inSet(unsigned char c, std::string_view set) {
  return set.find(static_cast<char>(upper(c))) != std::string_view::npos;
}

// Capitals only: characters are upper-cased before these tests.
struct LetterSets {
  std::string vowels = fromSource("AEIOUÀÁÂÃÉÊÌÍÓÔÕÙÚÜ");
  std::string backVowels = fromSource("AOÁÂÓÔ");
  std::string frontVowels = fromSource("EIÉÍ");
  std::string consonants = fromSource("BCDFGHJKLMNPQRSTVWXYZÇÑ");
};
const LetterSets& letters() {
  static const LetterSets sets;
  return sets;
}

bool isVowel(unsigned char c) {
  return inSet(c, letters().vowels);
}
bool isConsonant(unsigned char c) {
  return inSet(c, letters().consonants);
}
bool isLiquid(unsigned char c) {
  return inSet(c, "LR");
}

bool rightMatches(std::string_view pattern, std::string_view word, std::size_t pos) {
  for (const char sym : pattern) {
    const bool have = pos < word.size();
    const unsigned char c = have ? static_cast<unsigned char>(word[pos]) : 0;
    switch (sym) {
      case '#':
        if (!have || !isVowel(c)) return false;
        ++pos;
        break;
      case '+':
        if (!have || !inSet(c, letters().frontVowels)) return false;
        ++pos;
        break;
      case '&':
        if (!have || !inSet(c, "LMNRZ")) return false;
        ++pos;
        break;
      case '*':
        if (!have || !isConsonant(c) || isLiquid(c)) return false;
        break;
      case '[':
        if (have && (!isConsonant(c) || upper(c) == 'H')) return false;
        break;
      case '\\':
        if (have && upper(c) == 'S') ++pos;
        break;
      case '%':
        if (have) return false;
        break;
      default:
        if (!have || upper(c) != static_cast<unsigned char>(sym)) return false;
        ++pos;
        break;
    }
  }
  return true;
}

// pos: the number of characters left of the match part.
bool leftMatches(std::string_view pattern, std::string_view word, std::size_t pos) {
  for (std::size_t k = pattern.size(); k-- > 0;) {
    const char sym = pattern[k];
    const bool have = pos > 0;
    const unsigned char c = have ? static_cast<unsigned char>(word[pos - 1]) : 0;
    switch (sym) {
      case '#':
        if (!have || !isVowel(c)) return false;
        --pos;
        break;
      case ']':
        if (!have || !inSet(c, letters().backVowels)) return false;
        --pos;
        break;
      case '_':
        if (have) {
          if (!isVowel(c)) return false;
          --pos;
        }
        break;
      case '|':
        if (!have || !inSet(c, "NRS")) return false;
        --pos;
        break;
      case '%':
        if (have) return false;
        break;
      default:
        if (!have || upper(c) != static_cast<unsigned char>(sym)) return false;
        --pos;
        break;
    }
  }
  return true;
}

std::string pauseFor(char mark) {
  switch (mark) {
    case '!':
    case '(':
    case ')':
    case ',':
    case '.':
    case ':':
    case ';':
    case '?':
      return std::string("_") + mark;
    default:
      return {};
  }
}

bool isPauseMark(char c) {
  return c == ' ' || !pauseFor(c).empty();
}

}  // namespace

bool RuleTable::parseRuleLine(std::string_view line, LetterRule& rule) {
  if (line.empty() || line.front() == ';') return false;
  const std::size_t open = line.find('(');
  if (open == std::string_view::npos) return false;
  const std::size_t close = line.find(')', open + 1);
  if (close == std::string_view::npos) return false;
  const std::size_t eq = line.find('=', close + 1);
  if (eq == std::string_view::npos) return false;
  std::string_view phonemes = line.substr(eq + 1);
  phonemes = phonemes.substr(0, phonemes.find('|'));
  rule.left = std::string(line.substr(0, open).substr(0, kMaxContext));
  rule.match = std::string(line.substr(open + 1, close - open - 1).substr(0, kMaxContext));
  rule.right = std::string(line.substr(close + 1, eq - close - 1).substr(0, kMaxContext));
  rule.phonemes = std::string(phonemes.substr(0, kMaxPhonemes));
  return !rule.match.empty() && static_cast<unsigned char>(rule.match.front()) >= 32;
}

bool RuleTable::loadRules(const std::filesystem::path& file) {
  freeRules();
  const auto content = readWholeFile(file);
  if (!content) return false;
  loadRulesText(*content);
  return true;
}

std::size_t RuleTable::loadRulesText(std::string_view content) {
  freeRules();
  std::size_t skipped = 0;
  for (const std::string_view line : splitLines(content)) {
    if (line.empty() || line.front() == ';') continue;
    LetterRule rule;
    if (!parseRuleLine(line, rule)) {
      ++skipped;
      continue;
    }
    buckets_[static_cast<unsigned char>(rule.match.front())].push_back(std::move(rule));
  }
  return skipped;
}

void RuleTable::freeRules() {
  for (auto& b : buckets_) b.clear();
}

std::size_t RuleTable::ruleCount() const {
  std::size_t n = 0;
  for (const auto& b : buckets_) n += b.size();
  return n;
}

void RuleTable::transcribeWord(std::string_view word, int stress,
                               std::vector<std::string>& out) const {
  std::size_t stressAt = stress < 1 ? 9999 : static_cast<std::size_t>(stress);
  std::string pending;
  std::size_t p = 1;
  while (p <= word.size()) {
    const unsigned char first = upper(static_cast<unsigned char>(word[p - 1]));
    const LetterRule* taken = nullptr;
    if (first >= 32) {
      for (const LetterRule& rule : buckets_[first]) {
        const std::string_view rest = word.substr(p - 1);
        if (rest.size() < rule.match.size()) continue;
        bool same = true;
        for (std::size_t k = 0; k < rule.match.size() && same; ++k) {
          same = upper(static_cast<unsigned char>(rest[k])) ==
                 static_cast<unsigned char>(rule.match[k]);
        }
        if (!same) continue;
        if (!leftMatches(rule.left, word, p - 1)) continue;
        if (!rightMatches(rule.right, word, p - 1 + rule.match.size())) continue;
        taken = &rule;
        break;
      }
    }
    if (taken == nullptr) {
      ++p;
      continue;
    }
    const std::string_view used = std::string_view(taken->phonemes).substr(0, kUsedPhonemes);
    for (const char c : used) {
      if (p >= stressAt) {
        pending += '>';
        stressAt = static_cast<std::size_t>(-1);  // one marker per word
      }
      if (c == '&') {
        out.push_back(pending);
        pending.clear();
      } else {
        pending += c;
      }
    }
    if (!used.empty()) {
      out.push_back(pending);
      pending.clear();
    }
    p += taken->match.size();
  }
  out.push_back(pending);
}

int stressPosition(std::string_view input) {
  const std::string word = lowerCase(input);
  static const std::string accented = fromSource("àáâãéêíóôõú");
  static const std::string anyVowel = fromSource("aeiouwyü");
  bool hasVowel = false;
  for (std::size_t i = word.size(); i-- > 0;) {
    if (accented.find(word[i]) != std::string::npos) return static_cast<int>(i + 1);
    if (anyVowel.find(word[i]) != std::string::npos) hasVowel = true;
  }
  if (!hasVowel) return 0;
  enum State { S0, S1, S2, S3, S4, S5, S10, S20, S21, S30, S40 };
  State state = S0;
  int b = 0;
  const unsigned char uUml = 0xFC;
  for (std::size_t i = word.size(); i-- > 0;) {
    const unsigned char c = static_cast<unsigned char>(word[i]);
    const int here = static_cast<int>(i + 1);
    const bool aeo = c == 'a' || c == 'e' || c == 'o';
    switch (state) {
      case S0:
        if (aeo) {
          b = here;
          state = S1;
        } else if (c == 'i') {
          b = here;
          state = S20;
        } else if (c == 'u') {
          b = here;
          state = S10;
        } else if (c == 'm')
          state = S40;
        else if (c == 's')
          state = S0;
        else
          state = S30;
        break;
      case S1:
        if (c == 'u')
          state = S4;
        else if (aeo || c == 'i' || c == 'w' || c == 'y' || c == uUml)
          return here;
        else
          state = S2;
        break;
      case S2:
        if (aeo) return here;
        if (c == 'i' || c == 'u') {
          b = here;
          state = S3;
        }
        break;
      case S3:
        if (aeo) return here;
        if (c == 'u')
          state = S5;
        else
          return b;
        break;
      case S4:
        if (c == 'g' || c == 'q') {
          b = here + 2;
          state = S2;
        } else
          return here + 1;
        break;
      case S5:
        if (c == 'g' || c == 'q') return here + 2;
        return here + 1;
      case S10:
        if (aeo || c == 'i') return here;
        return b;
      case S20:
        if (aeo)
          b = here;
        else if (c == 'u')
          state = S21;
        else
          return b;
        break;
      case S21:
        if (c == 'g' || c == 'q') return here + 2;
        return here + 1;
      case S30:
        if (aeo || c == 'i' || c == 'u' || c == 'w' || c == 'y' || c == uUml) return here;
        break;
      case S40:
        if (c == 'i' || c == 'o' || c == 'u') return here;
        if (c == 'a' || c == 'e') {
          b = here;
          state = S1;
        } else
          state = S0;
        break;
    }
  }
  return b;
}

bool isUnstressedWord(std::string_view word) {
  if (word.size() < 3) return true;
  const std::string w = upperCase(word);
  static const std::string no = fromSource("NÃO");
  return w == "POR" || w == "DAS" || w == "DOS" || w == "COM" || w == no || w == "SIM";
}

std::vector<std::string> transcribePhrase(const std::vector<std::string>& intonation,
                                          const RuleTable& rules,
                                          const ExceptionTable& exceptions) {
  std::vector<std::string> out;
  for (const std::string& line : intonation) {
    out.push_back(";" + line);
    const std::string word =
        upperCase(line.size() > 4 ? std::string_view(line).substr(4) : std::string_view());
    if (word.empty()) {
      out.push_back("__");
      out.emplace_back();
    } else if (isPauseMark(word.front())) {
      const std::string pause = pauseFor(word.front());
      if (!pause.empty()) out.push_back(pause);
    } else {
      const std::string spoken = exceptions.applyExceptions(word);
      const int stress = isUnstressedWord(spoken) ? 0 : stressPosition(spoken);
      rules.transcribeWord(spoken, stress, out);
    }
  }
  out.push_back("__");
  liaisonPass(out);
  return out;
}

void liaisonPass(std::vector<std::string>& lines) {
  const std::string_view starts = "aeiouwy";
  std::size_t i = 3;
  while (lines.size() > 0 && i < lines.size() - 1) {
    const std::string& next = lines[i + 1];
    if (!lines[i].empty() && lines[i].front() == ';' && !next.empty() &&
        starts.find(next.front()) != std::string_view::npos) {
      std::string& last = lines[i - 2];
      if (last == "r2")
        last = "r";
      else if (last == "s2")
        last = "z";
      i += 2;
    } else {
      ++i;
    }
  }
}

}  // namespace lamina::mbrola_tts
