#include "diphone/unit_cutter.h"

#include <utility>

namespace lamina::diphone {
namespace {

constexpr std::string_view kConsonants = "bcdfgjklmnpqrstvxz";
// The semivowels count as vowels: a run such as "aywy" is then spoken as
// the pairs "ay", "yw", "wy", so the units any text can ask for stay a small
// closed set, and a missing unit ending in a semivowel splits instead of
// silencing its whole syllable.
constexpr std::string_view kVowels = "AEIOUaeiouwy";

constexpr std::string_view kDashSound = "_TRACO";

bool isConsonant(char c) {
  return kConsonants.find(c) != std::string_view::npos;
}
bool isVowel(char c) {
  return kVowels.find(c) != std::string_view::npos;
}
bool isSemivowel(char c) {
  return c == 'w' || c == 'y';
}
bool isUpperVowel(char c) {
  return c == 'A' || c == 'E' || c == 'I' || c == 'O' || c == 'U';
}

}  // namespace

UnitCutter::UnitCutter(const SynthesisSettings& settings, UnitSink& sink)
    : settings_(settings), sink_(sink) {}

void UnitCutter::cutPhonetic(std::string_view text, bool noPauses) {
  stressed_ = false;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::string token = nextPhoneticToken(text, i, noPauses);
    speakChunk(token, 1.0);
    if (i < text.size() && text[i - 1] != ' ') sink_.addSilence(settings_.wordPause);
  }
}

std::string UnitCutter::nextPhoneticToken(std::string_view text, std::size_t& i, bool noPauses) {
  std::string token;
  auto add = [&token](char c) {
    if (token.size() < kMaxToken) token += c;
  };
  if (i < text.size() && text[i] == '[') {
    stressed_ = false;
    ++i;
  }
  while (i < text.size() && text[i] != ' ' && text[i] != ']') {
    const char c = text[i];
    if (c == '/') {
      if (token.size() >= 9) break;  // a long token ends at the slash
      ++i;
    } else if (c == '_') {
      add('_');
      ++i;
      if (i < text.size()) add(text[i++]);
    } else if (c == '|') {
      token = kDashSound;
      ++i;
    } else {
      add(c);
      ++i;
    }
  }
  if (i < text.size()) ++i;  // past the character that ended the token
  if (!noPauses && token.size() == 2 && token[0] == '_') {
    int pause = -1;
    switch (token[1]) {
      case ',':
        pause = settings_.commaPause;
        break;
      case '.':
        pause = settings_.fullStopPause;
        break;
      case ':':
        pause = settings_.colonPause;
        break;
      case ';':
        pause = settings_.semicolonPause;
        break;
      default:
        break;
    }
    if (pause >= 0) {
      sink_.addSilence(pause);
      token.clear();
    }
  }
  return token;
}

void UnitCutter::speakChunk(std::string_view t, double f) {
  const std::size_t n = t.size();
  if (n == 0) return;
  if (n == 1) {
    speakUnit(t, f);
    return;
  }
  // A recorded sound at the head of a token (a letter without a rule, or
  // the dash) is played on its own; the phonemes after it go on as usual.
  if (t[0] == '_' && n > 2) {
    const std::size_t head = t.starts_with(kDashSound) ? kDashSound.size() : 2;
    if (n > head) {
      speakUnit(t.substr(0, head), f);
      speakChunk(t.substr(head), f);
      return;
    }
  }
  const char last = t[n - 1];
  const std::string_view firstTwo = t.substr(0, 2);
  if (n > 2 && isConsonant(t[0]) && isConsonant(t[1]) && firstTwo != "dj" && firstTwo != "nh" &&
      firstTwo != "rr" && firstTwo != "ks" && !t.starts_with("tch")) {
    speakUnit(t.substr(0, 1), 1.0);
    speakChunk(t.substr(1), f);
    return;
  }
  if (n > 2 && t.ends_with("rr")) {
    speakChunk(t.substr(0, n - 2), f);
    speakUnit("rr", f);
    return;
  }
  if (n > 2 && isConsonant(last)) {
    speakChunk(t.substr(0, n - 1), f);
    speakChunk(t.substr(n - 1), f);
    return;
  }
  if (isSemivowel(last) && isVowel(t[n - 2]) && n > 2) {
    speakChunk(t.substr(0, n - 1), 0.6);
    speakUnit(t.substr(n - 2), f);
    return;
  }
  // A two-character token such as "~w" has no vowel for the mark: it is
  // left to the last step rather than read before its start.
  if (isSemivowel(last) && (t[n - 2] == '^' || t[n - 2] == '~') && n >= 3) {
    const std::string unit{t[n - 3], t[n - 1], t[n - 2]};
    if (n > 3) speakChunk(std::string(t.substr(0, n - 2)) + "^", 0.6);
    // n == 3: the token is just vowel, mark, semivowel.
    speakUnit(unit, f);
    return;
  }
  if (t != "_s" && last == 's') {
    speakChunk(t.substr(0, n - 1), 0.7);
    speakUnit("s", f);
    return;
  }
  speakUnit(t, f);
}

void UnitCutter::speakUnit(std::string_view u, double f) {
  u = u.substr(0, kMaxUnit);
  if (u.starts_with('_')) {
    if (u.size() == 1) return;
    // "_TRACO" and the like name their recorded sound; "_" + one character
    // is that character's sound, named by its code.
    const std::string name =
        u.size() > 2 ? std::string(u) : "_" + std::to_string(static_cast<unsigned char>(u[1]));
    sink_.speakDiphone(name, stressed_, f);
    return;
  }
  bool setHere = false;
  std::string name = "$";
  for (const char c : u) {
    if (c == '^' || c == '~') {
      sink_.speakDiphone(name + (c == '^' ? "CIRC" : "TIL"), stressed_, f);
      name = "$";
      continue;
    }
    if (isUpperVowel(c)) {
      stressed_ = true;
      setHere = true;
    }
    name += c;
  }
  if (name.size() > 1) sink_.speakDiphone(name, stressed_, f);
  if (setHere) stressed_ = false;
}

std::vector<FallbackUnit> fallbackUnits(std::string_view d, bool s, double f) {
  // Only database units have shorter units to stand in for them; a missing
  // recorded sound is left out.
  if (d.size() <= 2 || d.starts_with('_')) return {};
  const std::string name(d);
  const char last = d.back();
  if (isVowel(last)) {
    return {{name.substr(0, name.size() - 1), s, 0.9 * f}, {std::string("$") + last, s, f}};
  }
  if (d.ends_with("CIRC") && d.size() > 6) {
    return {{name.substr(0, name.size() - 5), s, 0.9 * f},
            {"$" + name.substr(name.size() - 5), s, f}};
  }
  if (d.ends_with("TIL")) {
    const std::string rest = name.substr(0, name.size() - 3);
    const char r = rest.empty() ? '\0' : rest.back();
    FallbackUnit first = (r == 'I' || r == 'U' || r == 'i' || r == 'u')
                             ? FallbackUnit{rest, s, 0.9 * f}
                             : FallbackUnit{rest + "CIRC", true, 0.9 * f};
    return {std::move(first), {"$nn", false, 0.9}};
  }
  return {};
}

}  // namespace lamina::diphone
