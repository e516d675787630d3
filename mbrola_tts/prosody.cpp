#include "mbrola_tts/prosody.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "mbrola_tts/normalize.h"
#include "mbrola_tts/text_lines.h"

namespace lamina::mbrola_tts {
namespace {

constexpr int kMaxDurationMs = 10000;
constexpr int kMaxHertz = 2000;
constexpr int kMaxLevel = 1000;

std::string_view trimBlanks(std::string_view s) {
  return trimControls(s);
}

bool isSkipped(std::string_view line) {
  return line.empty() || line.front() == ';' || line.front() == '*';
}

// The lines after the header, up to the end or the next "[" line; nullopt
// when the header is missing.
std::optional<std::vector<std::string_view>> section(const std::vector<std::string_view>& lines,
                                                     std::string_view header) {
  std::size_t i = 0;
  while (i < lines.size() && upperCase(trimBlanks(lines[i])) != header) ++i;
  if (i == lines.size()) return std::nullopt;
  std::vector<std::string_view> body;
  for (++i; i < lines.size() && !(lines[i].size() > 0 && lines[i].front() == '['); ++i) {
    if (!isSkipped(lines[i])) body.push_back(lines[i]);
  }
  return body;
}

bool isNameChar(unsigned char c) {
  return isLetter(c) || c == '@' || c == '_' || c == '2';
}

double clampFactor(double f) {
  if (!std::isfinite(f)) return 1.0;
  return std::clamp(f, 0.05, 20.0);
}

}  // namespace

void Prosody::clear() {
  durations_.clear();
  keywords_.clear();
  rules_.clear();
  basePitch_ = kDefaultPitch;
  pitchLevels_.fill(100);
}

bool Prosody::loadProsody(const std::filesystem::path& file, MessageReporter& reporter) {
  clear();
  const auto content = readWholeFile(file);
  if (!content) {
    reporter.showMessage(fromSource("Configuração da prosódia não foi achada"));
    return false;
  }
  return loadProsodyText(*content, reporter);
}

bool Prosody::loadProsodyText(std::string_view content, MessageReporter& reporter) {
  clear();
  const std::vector<std::string_view> lines = splitLines(content);

  const auto durations = section(lines, fromSource("[DURAÇÃO]"));
  if (!durations) {
    reporter.showMessage(fromSource("Duração dos difones errada ou ausente"));
    return false;
  }
  for (const std::string_view line : *durations) {
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      reporter.showMessage(fromSource("Configuração da prosódia: fonema errado: ") +
                           std::string(line));
      return false;
    }
    if (durations_.size() >= kMaxDurations) break;
    const auto value = parseInteger(trimBlanks(line.substr(eq + 1)));
    int ms = kUnknownDuration;
    if (value && *value > 0 && *value <= kMaxDurationMs) {
      ms = *value;
    } else {
      reporter.showMessage(fromSource("Configuração da prosódia: fonema errado: ") +
                           std::string(line));
    }
    durations_.emplace_back(std::string(trimBlanks(line.substr(0, eq)).substr(0, 2)), ms);
  }

  const auto keys = section(lines, "[CHAVES]");
  if (!keys) {
    reporter.showMessage(fromSource("Prosódia: palavras chaves ausentes"));
    return false;
  }
  for (const std::string_view line : *keys) {
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      reporter.showMessage(fromSource("Configuração da prosódia: chave errada: ") +
                           std::string(line));
      return false;
    }
    if (keywords_.size() >= kMaxKeywords) break;
    keywords_.push_back({upperCase(trimBlanks(line.substr(0, eq))),
                         upperCase(trimBlanks(line.substr(eq + 1)).substr(0, 2))});
  }
  std::stable_sort(keywords_.begin(), keywords_.end(),
                   [](const KeywordEntry& a, const KeywordEntry& b) { return a.key < b.key; });

  const auto melody = section(lines, fromSource("[PROSÓDIA]"));
  if (!melody) {
    reporter.showMessage(fromSource("Prosódia: especificações ausentes"));
    return false;
  }
  for (const std::string_view raw : *melody) {
    const std::string line = upperCase(raw);
    const std::string_view trimmed = trimBlanks(line);
    const auto wrong = [&] {
      reporter.showMessage(fromSource("Configuração da prosódia: chave errada: ") +
                           std::string(raw));
      return false;
    };
    if (trimmed.starts_with("HERTZ=")) {
      const auto hz = parseInteger(trimBlanks(trimmed.substr(6)));
      if (!hz || *hz <= 0 || *hz > kMaxHertz) return wrong();
      basePitch_ = *hz;
      continue;
    }
    if (trimmed.starts_with("TABHERTZ=")) {
      std::string_view rest = trimmed.substr(9);
      std::array<int, 10> levels{};
      for (std::size_t k = 0; k < levels.size(); ++k) {
        const std::size_t comma = rest.find(',');
        if ((comma == std::string_view::npos) != (k == levels.size() - 1)) return wrong();
        const auto v = parseInteger(trimBlanks(rest.substr(0, comma)));
        if (!v || *v < 0 || *v > kMaxLevel) return wrong();
        levels[k] = *v;
        if (comma != std::string_view::npos) rest = rest.substr(comma + 1);
      }
      pitchLevels_ = levels;
      continue;
    }
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) return wrong();
    if (rules_.size() >= kMaxRules) continue;
    IntonationRule rule;
    std::string_view keyText = trimBlanks(std::string_view(line).substr(0, eq));
    for (std::size_t k = 0; k < 3; ++k) {
      const std::size_t bar = keyText.find('|');
      rule.keys[k] = std::string(trimBlanks(keyText.substr(0, bar)).substr(0, 3));
      if (bar == std::string_view::npos) break;
      keyText = keyText.substr(bar + 1);
    }
    rule.pattern = std::string(trimBlanks(std::string_view(line).substr(eq + 1)));
    rules_.push_back(std::move(rule));
  }
  return true;
}

std::string Prosody::keywordClass(std::string_view word) const {
  const std::string key = upperCase(word);
  const auto it =
      std::lower_bound(keywords_.begin(), keywords_.end(), key,
                       [](const KeywordEntry& e, const std::string& k) { return e.key < k; });
  if (it != keywords_.end() && it->key == key) return it->wordClass;
  return {};
}

int Prosody::phonemeDuration(std::string_view name) const {
  for (const auto& [n, ms] : durations_) {
    if (n == name) return ms;
  }
  return kUnknownDuration;
}

bool Prosody::hasDuration(std::string_view name) const {
  return std::any_of(durations_.begin(), durations_.end(),
                     [&](const auto& d) { return d.first == name; });
}

std::string DiphoneList::parseLine(std::string_view raw) {
  const std::string_view line = trimControls(raw);
  if (line.empty() || line.front() == '!' || line.front() == '*' || line.front() == ';') return {};
  std::size_t p = 0;
  while (p < line.size() && isNameChar(static_cast<unsigned char>(line[p]))) ++p;
  if (p == 0 || p + 1 >= line.size()) return {};
  const std::string_view first = line.substr(0, p);
  ++p;  // the separator
  while (p < line.size() && !isNameChar(static_cast<unsigned char>(line[p]))) ++p;
  if (p >= line.size()) return {};
  const std::size_t start = p++;
  while (p < line.size() && isNameChar(static_cast<unsigned char>(line[p]))) ++p;
  return std::string(first) + "-" + std::string(line.substr(start, p - start));
}

bool DiphoneList::loadDiphoneList(const std::filesystem::path& file) {
  entries_.clear();
  const auto content = readWholeFile(file);
  if (!content) return false;
  loadDiphoneListText(*content);
  return true;
}

void DiphoneList::loadDiphoneListText(std::string_view content) {
  entries_.clear();
  for (const std::string_view line : splitLines(content)) {
    std::string d = parseLine(line);
    if (!d.empty()) entries_.push_back(std::move(d));
  }
  std::sort(entries_.begin(), entries_.end());
  entries_.erase(std::unique(entries_.begin(), entries_.end()), entries_.end());
}

bool DiphoneList::contains(std::string_view first, std::string_view second) const {
  std::string key(first);
  key += '-';
  key += second;
  return std::binary_search(entries_.begin(), entries_.end(), key);
}

std::vector<std::string> phonemeSequence(const std::vector<std::string>& phonemes) {
  std::vector<std::string> names{"_"};
  for (const std::string& raw : phonemes) {
    std::string_view line = raw;
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '>') line.remove_prefix(1);
    if (!line.empty() && line.front() == '\xA8') line.remove_prefix(1);
    if (line.empty()) continue;
    names.emplace_back(line.front() == '_' ? std::string_view("_") : line);
  }
  return names;
}

std::vector<std::string> tokenizePhrase(std::string_view text, const Prosody& prosody) {
  std::vector<std::string> out{"[--]"};
  std::size_t p = 0;
  for (;;) {
    while (p < text.size() && text[p] == ' ') ++p;
    if (p >= text.size()) break;
    std::string wordClass;
    std::string token;
    const unsigned char c = static_cast<unsigned char>(text[p]);
    if (c == '.' && p + 1 < text.size() && text[p + 1] == '.') {
      while (p < text.size() && text[p] == '.') ++p;
      wordClass = ".-";
      token = ".";
    } else if (!isLetter(c)) {
      wordClass = std::string(2, static_cast<char>(c));
      token = std::string(1, static_cast<char>(c));
      ++p;
    } else {
      const std::size_t start = p;
      while (p < text.size() && isLetter(static_cast<unsigned char>(text[p]))) ++p;
      token = std::string(text.substr(start, p - start));
      wordClass = prosody.keywordClass(token);
      if (wordClass.empty()) wordClass = "XX";
    }
    out.push_back("[" + wordClass + "]" + token);
    if (token.front() == '!' || token.front() == '.' || token.front() == '?')
      out.emplace_back("[--]");
  }
  return out;
}

std::vector<std::string> markIntonation(const std::vector<std::string>& tokens,
                                        const Prosody& prosody) {
  std::vector<const std::string*> lines;
  for (const std::string& t : tokens) {
    if (!t.empty()) lines.push_back(&t);
  }
  const auto classOf = [](const std::string* line) {
    return line == nullptr ? std::string()
                           : line->substr(1, std::min<std::size_t>(2, line->size() - 1));
  };
  std::vector<std::string> out;
  char carried = '5';
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string k1 = classOf(i > 0 ? lines[i - 1] : nullptr);
    const std::string k2 = classOf(lines[i]);
    const std::string k3 = classOf(i + 1 < lines.size() ? lines[i + 1] : nullptr);
    std::string pattern = "555";
    for (const IntonationRule& rule : prosody.intonationRules()) {
      if ((rule.keys[0].empty() || rule.keys[0] == k1) &&
          (rule.keys[1].empty() || rule.keys[1] == k2) &&
          (rule.keys[2].empty() || rule.keys[2] == k3)) {
        pattern = rule.pattern;
        break;
      }
    }
    // Patterns are three characters; a short one is padded with the flat
    // level so that it never shifts the word that follows.
    pattern.resize(3, '5');
    if (pattern[0] == '?') pattern[0] = carried;
    carried = pattern[2];
    out.push_back(pattern + "|" + (lines[i]->size() > 4 ? lines[i]->substr(4) : std::string()));
  }
  return out;
}

namespace {

class LineBuilder {
 public:
  LineBuilder(const Prosody& prosody, const DiphoneList& diphones, double pitchFactor,
              double speedFactor)
      : prosody_(prosody),
        diphones_(diphones),
        pitchFactor_(pitchFactor),
        speedFactor_(speedFactor) {}

  void add(const std::vector<std::string>& lines, std::size_t i, std::vector<std::string>& out) {
    const bool lastOfWord = i + 1 >= lines.size() || lines[i + 1].empty();
    std::string line = lines[i];
    std::string output;
    if (line.empty()) {
      stress_ = 100;
      current_.clear();
    } else if (line.front() == ';' && line.size() >= 5 && line[4] == '|') {
      pattern_ = line.substr(1, 3);
      output = ";" + line.substr(5);
      wordLength_ = output.size();
      step_ = 0;
    } else if (line.front() == ';') {
      output = line;  // a comment the voice skips
    } else {
      if (line.front() == '>') {
        stress_ = 145;
        line.erase(0, 1);
        if (!line.empty() && line.front() == '\xA8') line.erase(0, 1);
        step_ = 2;
      } else if (line.front() == '\xA8') {
        line.erase(0, 1);
        stress_ = 100;
      }
      if (line.empty()) return;
      int base = 0;
      if (line.front() == '_') {
        if (line == "_") {
          base = 100;
        } else if (line.size() > 1 && line[1] == ' ') {
          const auto v = parseInteger(trimControls(std::string_view(line).substr(2)));
          base = v && *v > 0 && *v <= kMaxDuration ? *v : Prosody::kUnknownDuration;
        } else {
          base = prosody_.phonemeDuration(line);
        }
        line = "_";
      } else {
        base = prosody_.phonemeDuration(line);
        if (step_ < 2) {
          if (wordLength_ > 13)
            base = base * 80 / 100;
          else if (wordLength_ > 9)
            base = base * 90 / 100;
        }
      }
      current_ = line;
      const auto scaled =
          static_cast<long long>(static_cast<double>(base) * stress_ * speedFactor_);
      const long long ms = std::max<long long>(1, scaled / 100);
      output = line + " " + std::to_string(ms);
      const std::string pair = pitchTarget(lastOfWord);
      if (!pair.empty()) output += " " + pair;
    }
    if (!current_.empty()) {
      if (!diphones_.contains(previous_, current_)) {
        if (previous_ == "r2" && diphones_.contains("r2", "_"))
          out.emplace_back("_ 50");
        else if (diphones_.contains(previous_, "y"))
          out.emplace_back("y 50");
        else
          out.emplace_back("_ 50");
        // The bridge leaves a pause or "y" before the current phoneme.
      }
      if (!output.empty()) previous_ = current_;
    }
    out.push_back(std::move(output));
  }

 private:
  static constexpr int kMaxDuration = 10000;

  std::string pitchTarget(bool lastOfWord) {
    char level = 0;
    int position = 50;
    switch (step_) {
      case 0:
        level = pattern_[0];
        step_ = 1;
        break;
      case 2:
        level = pattern_[1];
        position = 80;
        step_ = 3;
        break;
      case 3:
        if (lastOfWord) level = pattern_[2];
        break;
      default:
        break;
    }
    if (level < '0' || level > '9') return {};
    const int percent = prosody_.pitchLevels()[static_cast<std::size_t>(level - '0')];
    if (percent == 0) return {};
    const auto hz = static_cast<long long>(percent * pitchFactor_ * prosody_.basePitch()) / 100;
    if (hz <= 0) return {};
    return std::to_string(position) + " " + std::to_string(hz);
  }

  const Prosody& prosody_;
  const DiphoneList& diphones_;
  double pitchFactor_;
  double speedFactor_;
  int stress_ = 100;
  std::string pattern_ = "555";
  int step_ = 0;
  std::size_t wordLength_ = 0;
  std::string current_;
  std::string previous_ = "_";
};

}  // namespace

std::vector<std::string> buildMbrolaLines(const std::vector<std::string>& phonemes,
                                          double pitchFactor, double speedFactor,
                                          const Prosody& prosody, const DiphoneList& diphones) {
  LineBuilder builder(prosody, diphones, clampFactor(pitchFactor), clampFactor(speedFactor));
  std::vector<std::string> out;
  out.reserve(phonemes.size() + phonemes.size() / 4);
  for (std::size_t i = 0; i < phonemes.size(); ++i) builder.add(phonemes, i, out);
  return out;
}

}  // namespace lamina::mbrola_tts
