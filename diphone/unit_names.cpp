#include "diphone/unit_names.h"

#include <cctype>

namespace lamina::diphone {
namespace {

constexpr std::size_t kMaxToken = 40;
constexpr std::size_t kMaxName = 8;

bool isConsonantPhoneme(char c) {
  return std::string_view("bcdfgjklmnpqrstvxz").find(c) != std::string_view::npos;
}

bool isVowelPhoneme(char c) {
  return std::string_view("AEIOUaeiouwy").find(c) != std::string_view::npos;
}

bool endsWith(std::string_view s, std::string_view end) {
  return s.size() >= end.size() && s.substr(s.size() - end.size()) == end;
}

class Collector {
 public:
  explicit Collector(std::vector<std::string>& out) : out_(out) {}

  void diphone(std::string_view d) {
    if (d.size() <= kMaxName) {
      std::string name(d);
      for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      out_.push_back(std::move(name));
      return;
    }
    const char last = d.back();
    if (isVowelPhoneme(last)) {
      diphone(d.substr(0, d.size() - 1));
      diphone(std::string("$") + last);
    } else if (endsWith(d, "CIRC") && d.size() > 6) {
      diphone(d.substr(0, d.size() - 5));
      diphone(std::string("$") + std::string(d.substr(d.size() - 5)));
    } else if (endsWith(d, "TIL")) {
      std::string_view rest = d.substr(0, d.size() - 3);
      const char r = rest.empty() ? '\0' : rest.back();
      if (r == 'I' || r == 'U' || r == 'i' || r == 'u') {
        diphone(rest);
      } else {
        diphone(std::string(rest) + "CIRC");
      }
      diphone("$nn");
    }
  }

  void unit(std::string_view u) {
    if (u.empty() || u[0] == '_') return;
    std::string name = "$";
    for (char c : u) {
      if (c == '^' || c == '~') {
        diphone(name + (c == '^' ? "CIRC" : "TIL"));
        name = "$";
      } else {
        name += c;
      }
    }
    if (name.size() > 1) diphone(name);
  }

  void chunk(std::string_view t) {
    const std::size_t n = t.size();
    if (n == 0) return;
    if (n == 1) return unit(t);
    const auto startsWithTwo = [&] {
      if (!isConsonantPhoneme(t[0]) || !isConsonantPhoneme(t[1])) return false;
      const std::string_view two = t.substr(0, 2);
      return two != "dj" && two != "nh" && two != "rr" && two != "ks" && !t.starts_with("tch");
    };
    const char last = t[n - 1];
    if (n > 2 && startsWithTwo()) {
      unit(t.substr(0, 1));
      return chunk(t.substr(1));
    }
    if (n > 2 && endsWith(t, "rr")) {
      chunk(t.substr(0, n - 2));
      return unit("rr");
    }
    if (n > 2 && isConsonantPhoneme(last)) {
      chunk(t.substr(0, n - 1));
      return chunk(t.substr(n - 1));
    }
    if ((last == 'w' || last == 'y') && n > 2 && isVowelPhoneme(t[n - 2])) {
      chunk(t.substr(0, n - 1));
      return unit(t.substr(n - 2));
    }
    if ((last == 'w' || last == 'y') && (t[n - 2] == '^' || t[n - 2] == '~')) {
      if (n > 3) {
        chunk(std::string(t.substr(0, n - 2)) + "^");
        return unit(std::string{t[n - 3], t[n - 1], t[n - 2]});
      }
      return unit(std::string{t[0], t[2], t[1]});
    }
    if (t != "_s" && last == 's') {
      chunk(t.substr(0, n - 1));
      return unit("s");
    }
    unit(t);
  }

 private:
  std::vector<std::string>& out_;
};

}  // namespace

std::vector<std::string> unitNames(std::string_view phonetic) {
  std::vector<std::string> out;
  Collector collect(out);
  std::size_t i = 0;
  while (i < phonetic.size()) {
    std::string token;
    if (phonetic[i] == '[') ++i;
    while (i < phonetic.size()) {
      const char c = phonetic[i];
      if (c == ' ' || c == ']') break;
      if (c == '/') {
        if (token.size() <= 8) {
          ++i;
          continue;
        }
        break;
      }
      if (c == '_') {
        token += '_';
        if (i + 1 < phonetic.size()) token += phonetic[i + 1];
        i += 2;
      } else if (c == '|') {
        token = "_TRACO";
        ++i;
      } else {
        token += c;
        ++i;
      }
      if (token.size() > kMaxToken) token.resize(kMaxToken);
    }
    ++i;
    collect.chunk(token);
  }
  return out;
}

}  // namespace lamina::diphone
