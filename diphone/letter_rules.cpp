#include "diphone/letter_rules.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>

namespace lamina::diphone {
namespace {

using Byte = unsigned char;

Byte at(std::string_view s, std::size_t i) {
  return static_cast<Byte>(s[i]);
}

Byte upperAscii(Byte c) {
  return (c >= 'a' && c <= 'z') ? static_cast<Byte>(c - 32) : c;
}
Byte lowerAscii(Byte c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<Byte>(c + 32) : c;
}

bool isVowel(Byte c) {
  switch (upperAscii(c)) {
    case 'A':
    case 'E':
    case 'I':
    case 'O':
    case 'U':
      return true;
    default:
      return false;
  }
}

bool isLetter(Byte c) {
  Byte u = upperAscii(c);
  return u >= 'A' && u <= 'Z';
}

bool isConsonant(Byte c) {
  return isLetter(c) && !isVowel(c);
}

bool isAccentMark(Byte c) {
  return c == '"' || c == '\'' || c == '^' || c == '`' || c == '~';
}

bool isWordCharacter(Byte c) {
  return isLetter(c) || isAccentMark(c);
}

bool isPauseSign(Byte c) {
  return c == ' ' || c == '!' || c == ',' || c == '.' || c == ':' || c == ';' || c == '?';
}

bool isFrontVowel(Byte c) {
  Byte u = upperAscii(c);
  return u == 'E' || u == 'I';
}

bool isOpenBackVowel(Byte c) {
  Byte u = upperAscii(c);
  return u == 'A' || u == 'O';
}

bool isVelar(Byte c) {
  return c == 'g' || c == 'q';
}

bool inRuleRange(Byte c) {
  return c >= 32 && c <= 95;
}

// Text is code page 1252. Bytes 128..255 are read as that code page's
// characters: letters become the plain letters and accent marks that the
// rules know, dashes join like "-", the no-break space is a blank, a soft
// hyphen vanishes (it only marks where a word may be broken), and every
// other sign stays itself, so that it becomes a word of its own that the
// speaker plays as the sign's recorded sound. nullptr marks the bytes the
// code page leaves undefined: they become the spelled unknown-character word.
constexpr const char* kSelf = "\x01self";

constexpr std::array<const char*, 128> kHighTable = [] {
  std::array<const char*, 128> t{};
  auto set = [&t](const char* repl, std::initializer_list<int> codes) {
    for (int c : codes) t[static_cast<std::size_t>(c - 128)] = repl;
  };
  // Signs, quotes, the bullet and the symbols of 160..191.
  set(kSelf, {128, 130, 131, 132, 134, 135, 136, 137, 139, 145, 146, 147, 148, 149, 152, 153, 155});
  for (int c = 161; c <= 191; ++c) t[static_cast<std::size_t>(c - 128)] = kSelf;
  set(kSelf, {215, 247});  // multiplication and division signs
  set(".", {133});         // the ellipsis ends a phrase like a full stop
  set("-", {150, 151});    // en and em dashes
  set(" ", {160});         // no-break space
  set("", {173});          // soft hyphen
  // Letters.
  set("ch", {138, 154});  // s with caron
  set("j", {142, 158});   // z with caron
  set("oe", {140, 156});
  set("i", {159, 255});
  set("a`", {192, 224});
  set("a'", {193, 225});
  set("a^", {194, 226});
  set("a~", {195, 227});
  set("a", {196, 197, 228, 229});
  set("ae", {198, 230});
  set("ss", {199, 231});
  set("e`", {200, 232});
  set("e'", {201, 233});
  set("e^", {202, 234});
  set("e\"", {203, 235});
  set("i`", {204, 236});
  set("i'", {205, 237});
  set("i^", {206, 238});
  set("i\"", {207, 239});
  set("d", {208, 240});
  set("nh", {209, 241});
  set("o`", {210, 242});
  set("o'", {211, 243});
  set("o^", {212, 244});
  set("o~", {213, 245});
  set("o", {214, 216, 246, 248});
  set("u`", {217, 249});
  set("u'", {218, 250});
  set("u^", {219, 251});
  set("u\"", {220, 252});  // the old spelling's trema: the u of qu, gu is heard
  set("i'", {221, 253});
  set("t", {222, 254});
  set("ss", {223});
  return t;
}();

// A letter of the code page, plain or not.
bool isTextLetter(Byte c) {
  if (c < 128) return isLetter(c);
  const char* repl = kHighTable[c - 128];
  return repl != nullptr && repl != kSelf && isLetter(static_cast<Byte>(repl[0]));
}

void appendUnknownWord(std::string& out) {
  out += ' ';
  out += LetterRules::kUnknownMark;
  out += ' ';
}

// Splits file bytes into lines (LF or CR LF ends), each cut to maxLine
// characters when maxLine is not zero.
template <typename F>
void forEachLine(std::string_view content, std::size_t maxLine, F&& f) {
  std::size_t pos = 0;
  while (pos < content.size()) {
    std::size_t end = content.find('\n', pos);
    if (end == std::string_view::npos) end = content.size();
    std::string_view line = content.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (maxLine != 0 && line.size() > maxLine) line = line.substr(0, maxLine);
    if (!f(line)) return;
    pos = end + 1;
  }
}

bool readFile(const std::filesystem::path& file, std::string& content) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  // The stream's read turns a read error (a directory) into its bad state;
  // a buffer iterator would throw instead.
  content.clear();
  std::array<char, 16384> chunk{};
  while (in.read(chunk.data(), chunk.size()) || in.gcount() > 0)
    content.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
  return !in.bad();
}

// Right context from q onwards; q is the position after the target, which
// holds the word's stressed vowel when `stressed` is set.
bool matchRight(std::string_view context, std::string_view w, std::size_t q, bool stressed) {
  const std::size_t n = w.size();
  for (char symbol : context) {
    switch (symbol) {
      case '!':  // zero width: only when the target holds the stress
        if (!stressed) return false;
        break;
      case '#':
        if (q >= n || !(isVowel(at(w, q)) || isAccentMark(at(w, q)))) return false;
        while (q < n && (isVowel(at(w, q)) || isAccentMark(at(w, q)))) ++q;
        break;
      case '%':
        if (q != n) return false;
        break;
      case '&': {
        if (q >= n) return false;
        Byte u = upperAscii(at(w, q));
        if (u != 'L' && u != 'M' && u != 'N' && u != 'R' && u != 'Z') return false;
        ++q;
        break;
      }
      case '*': {
        if (q >= n) return false;
        Byte u = upperAscii(at(w, q));
        if (!isConsonant(u) || u == 'R' || u == 'L') return false;
        break;
      }
      case '+':
        if (q >= n || !isFrontVowel(at(w, q))) return false;
        ++q;
        if (q < n && isAccentMark(at(w, q))) ++q;
        break;
      case '[':
        if (q < n && !(isConsonant(at(w, q)) && upperAscii(at(w, q)) != 'H')) return false;
        break;
      case '\\':
        if (q < n && upperAscii(at(w, q)) == 'S') ++q;
        break;
      default:
        if (q >= n || upperAscii(at(w, q)) != static_cast<Byte>(symbol)) return false;
        ++q;
        break;
    }
  }
  return true;
}

// Left context read from its last character backwards; q counts the word
// characters still to the left (q == 0 is the start of the word).
bool matchLeft(std::string_view context, std::string_view w, std::size_t q) {
  for (auto it = context.rbegin(); it != context.rend(); ++it) {
    switch (*it) {
      case '#':
        if (q == 0 || !(isVowel(at(w, q - 1)) || isAccentMark(at(w, q - 1)))) return false;
        while (q > 0 && (isVowel(at(w, q - 1)) || isAccentMark(at(w, q - 1)))) --q;
        break;
      case '%':
        if (q != 0) return false;
        break;
      case ']':
        if (q >= 2 && isAccentMark(at(w, q - 1)) && isOpenBackVowel(at(w, q - 2))) {
          q -= 2;
        } else if (q >= 1 && isOpenBackVowel(at(w, q - 1))) {
          q -= 1;
        } else {
          return false;
        }
        break;
      case '_':
        if (q == 0) break;  // the start of the word counts as a vowel here
        if (q >= 2 && isAccentMark(at(w, q - 1)) && isVowel(at(w, q - 2))) {
          q -= 2;
        } else if (isVowel(at(w, q - 1))) {
          q -= 1;
        } else {
          return false;
        }
        break;
      case '|': {
        if (q == 0) return false;
        Byte u = upperAscii(at(w, q - 1));
        if (u != 'N' && u != 'R' && u != 'S') return false;
        --q;
        break;
      }
      default:
        if (q == 0 || upperAscii(at(w, q - 1)) != static_cast<Byte>(*it)) return false;
        --q;
        break;
    }
  }
  return true;
}

}  // namespace

bool LetterRules::parseRuleLine(std::string_view line, LetterRule& rule) {
  const std::size_t open = line.find('(');
  if (open == std::string_view::npos) return false;
  const std::size_t close = line.find(')', open + 1);
  if (close == std::string_view::npos || close == open + 1) return false;
  std::string_view target = line.substr(open + 1, close - open - 1);
  if (!inRuleRange(at(target, 0))) return false;

  std::string_view rest = line.substr(close + 1);
  std::string_view right = rest;
  std::string_view phonemes;
  if (const std::size_t eq = rest.find('='); eq != std::string_view::npos) {
    right = rest.substr(0, eq);
    phonemes = rest.substr(eq + 1);
    // A "|" only starts the trailing remark after the "=": in the contexts
    // it is a symbol of its own.
    if (const std::size_t bar = phonemes.find('|'); bar != std::string_view::npos) {
      phonemes = phonemes.substr(0, bar);
    }
  }
  auto cut = [](std::string_view s, std::size_t n) { return std::string(s.substr(0, n)); };
  rule.left = cut(line.substr(0, open), 5);
  rule.target = cut(target, 5);
  rule.right = cut(right, 5);
  rule.phonemes = cut(phonemes, 11);
  return true;
}

void LetterRules::loadLetterRulesText(std::string_view content) {
  freeLetterRules();
  exceptions_.clear();
  forEachLine(content, 0, [this](std::string_view line) {
    LetterRule rule;
    if (parseRuleLine(line, rule)) {
      // Rules of one first character are tried in file order even when the
      // file scatters them: appending to the character's own chain keeps a
      // stray line from landing in another character's chain.
      buckets_[static_cast<Byte>(rule.target[0]) - 32].push_back(std::move(rule));
    }
    return true;
  });
}

bool LetterRules::loadLetterRules(const std::filesystem::path& file) {
  std::string content;
  if (!readFile(file, content)) return false;
  loadLetterRulesText(content);
  return true;
}

void LetterRules::loadWordExceptionsText(std::string_view content) {
  exceptions_.clear();
  forEachLine(content, kMaxLine, [this](std::string_view line) {
    if (exceptions_.size() >= kMaxExceptions) return false;
    if (line.empty()) return true;
    const std::size_t eq = line.find('=');
    // A line without "=" or without a key would make words vanish: skip it.
    if (eq == std::string_view::npos || eq == 0) return true;
    std::string_view respelling = line.substr(eq + 1);
    respelling = respelling.substr(0, respelling.find('|'));
    exceptions_.emplace_back(std::string(line.substr(0, eq)), std::string(respelling));
    return true;
  });
  std::stable_sort(exceptions_.begin(), exceptions_.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
}

bool LetterRules::loadWordExceptions(const std::filesystem::path& file) {
  std::string content;
  if (!readFile(file, content)) return false;
  loadWordExceptionsText(content);
  return true;
}

void LetterRules::freeLetterRules() {
  for (auto& chain : buckets_) chain.clear();
}

std::size_t LetterRules::ruleCount() const {
  std::size_t n = 0;
  for (const auto& chain : buckets_) n += chain.size();
  return n;
}

const std::vector<LetterRule>& LetterRules::bucket(unsigned char first) const {
  static const std::vector<LetterRule> none;
  Byte u = upperAscii(first);
  return inRuleRange(u) ? buckets_[u - 32] : none;
}

std::string LetterRules::prepareText(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const Byte c = at(text, i);
    const bool letterBeside =
        (i > 0 && isLetter(at(text, i - 1))) || (i + 1 < text.size() && isLetter(at(text, i + 1)));
    if ((c == 'W' || c == 'w') && letterBeside) {
      out += 'u';
    } else if ((c == 'Y' || c == 'y') && letterBeside) {
      out += 'i';
    } else if (c == '\'' && i > 0 && (text[i - 1] == 'D' || text[i - 1] == 'd')) {
      // d'água reads as one word
    } else if ((c == 0x91 || c == 0x92) && i > 0 && i + 1 < text.size() &&
               isTextLetter(at(text, i - 1)) && isTextLetter(at(text, i + 1))) {
      // A typographic apostrophe inside a word (d’água) joins it like the
      // plain one; only a quote mark standing apart is spoken.
    } else if (c < 32) {
      appendUnknownWord(out);
    } else if (c >= 128) {
      const char* repl = kHighTable[c - 128];
      if (repl == kSelf) {
        out += static_cast<char>(c);
      } else if (repl != nullptr) {
        out += repl;
      } else {
        appendUnknownWord(out);
      }
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

bool LetterRules::readNextWord(std::string_view text, std::size_t& pos, Word& word) {
  while (pos < text.size() && text[pos] == ' ') ++pos;
  if (pos >= text.size()) return false;
  word.text.clear();
  word.vowels = 0;
  word.accentMark = false;
  const Byte first = at(text, pos);
  if (!isLetter(first)) {
    word.text += static_cast<char>(first);
    ++pos;
    return true;
  }
  // A run longer than the word buffer is cut into several words of at most
  // kMaxWord characters, so nothing of it is lost; only runs of letters
  // without blanks (never real words) are that long.
  while (pos < text.size() && isWordCharacter(at(text, pos)) && word.text.size() < kMaxWord) {
    const Byte c = at(text, pos);
    word.text += static_cast<char>(lowerAscii(c));
    if (isVowel(c)) ++word.vowels;
    ++pos;
    // Neither the diaeresis nor the tilde marks the stress: the tilde only
    // makes its vowel nasal (irmãzinha, órgão), so stress is still decided.
    if (pos < text.size() && isAccentMark(at(text, pos)) && text[pos] != '"' && text[pos] != '~') {
      word.accentMark = true;
    }
  }
  return true;
}

std::string LetterRules::lookupException(std::string_view word) const {
  auto find = [this](std::string_view key) -> const std::string* {
    auto it = std::lower_bound(exceptions_.begin(), exceptions_.end(), key,
                               [](const auto& e, std::string_view k) { return e.first < k; });
    return (it != exceptions_.end() && it->first == key) ? &it->second : nullptr;
  };
  std::string_view stem = word;
  const std::string* found = find(stem);
  while (!found && !stem.empty() && (stem.back() == 's' || stem.back() == 'm')) {
    stem.remove_suffix(1);
    if (!stem.empty()) found = find(stem);
  }
  std::string result = found ? *found : std::string(stem);
  result += word.substr(stem.size());
  // The word buffer holds at most kMaxWord characters; a long respelling
  // loses its end rather than overflowing it.
  if (result.size() > kMaxWord) result.resize(kMaxWord);
  return result;
}

void LetterRules::markStress(std::string& word, std::size_t vowels, bool accentMark) {
  if (accentMark || vowels == 0 || word.empty()) return;
  if (vowels == 1 && word.back() != 'l' && word.find('~') == std::string::npos) return;

  enum class State { start, afterConsonant, afterM, afterS, afterVowel, afterIU, hiatus };
  auto up = [&word](std::size_t i) { word[i] = static_cast<char>(upperAscii(at(word, i))); };
  auto ch = [&word](std::size_t i) -> Byte { return i < word.size() ? at(word, i) : 0; };
  auto isLmnrz = [](Byte c) { return c == 'l' || c == 'm' || c == 'n' || c == 'r' || c == 'z'; };
  // The u of gu/qu is silent, so it does not count as the vowel before.
  auto silentU = [&](std::size_t k) {
    return ch(k) == 'u' && k > 0 && isVelar(ch(k - 1)) && isFrontVowel(ch(k + 1));
  };

  State state = State::start;
  for (std::size_t k = word.size(); k-- > 0;) {
    const Byte c = ch(k);
    switch (state) {
      case State::start:
        if (c == 'a' || c == 'e' || c == 'o') {
          state = State::afterVowel;
        } else if (c == 'i' || c == 'u') {
          state = State::afterIU;
        } else if (c == 'l' || c == 'n' || c == 'r' || c == 'x' || c == 'z') {
          state = State::afterConsonant;
        } else if (c == 'm') {
          state = State::afterM;
        } else if (c == 's') {
          state = State::afterS;
        } else if (c == '~' && k > 0) {
          return up(k - 1);  // irmã
        }
        break;
      case State::afterConsonant:
        if (isVowel(c)) return up(k);
        break;
      case State::afterM:
        if (c == 'a' || c == 'e') {
          state = State::afterVowel;
        } else if (c == 'i' || c == 'u') {
          state = State::afterIU;
        } else if (c == 'o') {
          return up(k);
        }
        break;
      case State::afterS:
        if (c == 'a' || c == 'e' || c == 'o') {
          state = State::afterVowel;
        } else if (c == 'i' || c == 'u') {
          state = State::afterIU;
        } else if (c == '~' && k > 0) {
          return up(k - 1);  // irmãs
        }
        break;
      case State::afterVowel:
        if (c == 'a' || c == 'e' || c == 'o') return up(k);
        // The u of parque, sangue is no vowel: taking it for one would put
        // the stress on it and so lose the word's stress altogether.
        if ((c == 'i' || c == 'u') && !silentU(k)) state = State::hiatus;
        break;
      case State::afterIU:
        if (isConsonant(c) || silentU(k)) return up(k + 1);
        return up(k);
      case State::hiatus: {
        if (isConsonant(c) || silentU(k)) return up(k + 1);
        const Byte x = ch(k + 2);
        const Byte afterX = ch(k + 3);
        if (isLmnrz(x) && ((x == 'n' && afterX == 'h') || (x == 'r' && afterX == 'r') ||
                           (isConsonant(afterX) && afterX != 'h'))) {
          return up(k + 1);
        }
        return up(k);
      }
    }
  }
  // An i or u at the start of the word with no decision yet (uma, isso,
  // item): the start of the word acts as the consonant before it.
  if (state == State::hiatus || state == State::afterIU) up(0);
}

bool LetterRules::mustSpell(std::string_view word) {
  if (word.empty()) return false;
  if (word[0] == kUnknownMark) return true;
  return std::all_of(word.begin(), word.end(), [](char c) {
    return isConsonant(static_cast<Byte>(c)) || isPauseSign(static_cast<Byte>(c));
  });
}

void LetterRules::spellWord(std::string_view word, std::string& out) {
  for (char c : word) {
    out += "[ /_";
    out += c;
    out += ']';
  }
}

namespace {

bool holdsStress(std::string_view word) {
  return std::any_of(word.begin(), word.end(), [](char t) {
    const Byte c = static_cast<Byte>(t);
    return isVowel(c) && c == upperAscii(c);
  });
}

}  // namespace

const LetterRule* LetterRules::findRule(std::string_view word, std::string_view upper,
                                        std::size_t p) const {
  const Byte first = at(upper, p);
  if (!inRuleRange(first)) return nullptr;
  for (const LetterRule& rule : buckets_[first - 32]) {
    const std::size_t len = rule.target.size();
    if (upper.size() - p < len || upper.compare(p, len, rule.target) != 0) continue;
    if (!matchLeft(rule.left, upper, p)) continue;
    if (!matchRight(rule.right, upper, p + len, holdsStress(word.substr(p, len)))) continue;
    return &rule;
  }
  return nullptr;
}

void LetterRules::transcribeByRules(std::string_view word, std::string& out) const {
  std::string upper(word);
  for (char& c : upper) c = static_cast<char>(upperAscii(static_cast<Byte>(c)));

  out += '[';
  std::size_t p = 0;
  while (p < word.size()) {
    const LetterRule* rule = findRule(word, upper, p);
    std::size_t group = out.size();
    if (rule) {
      out += rule->phonemes;
    } else {
      out += " /_";
      out += upper[p];
    }
    // The stressed vowel may stand inside a longer target (qu"En).
    const std::size_t length = rule ? rule->target.size() : 1;
    if (holdsStress(word.substr(p, length))) {
      auto vowel = std::find_if(out.begin() + static_cast<std::ptrdiff_t>(group), out.end(),
                                [](char o) { return isVowel(static_cast<Byte>(o)); });
      if (vowel != out.end()) *vowel = static_cast<char>(upperAscii(static_cast<Byte>(*vowel)));
    }
    p += length;
    if (p < word.size()) out += '/';
  }
  out += ']';
}

std::string LetterRules::textToPhonemes(std::string_view text) const {
  const std::string prepared = prepareText(text);
  std::string out;
  out.reserve(prepared.size() * 3);
  std::size_t pos = 0;
  Word word;
  while (readNextWord(prepared, pos, word)) {
    std::string w = lookupException(word.text);
    // A respelling that marks its stress (email=ime'iou) decides it, as the
    // written accent of a word does.
    bool accentMark = word.accentMark;
    if (w != word.text) {
      for (std::size_t i = 1; i < w.size(); ++i) {
        const Byte c = at(w, i);
        if (c == '\'' || c == '^' || c == '`') accentMark = true;
      }
    }
    markStress(w, word.vowels, accentMark);
    if (mustSpell(w)) {
      spellWord(w, out);
    } else {
      transcribeByRules(w, out);
    }
  }
  return out;
}

}  // namespace lamina::diphone
