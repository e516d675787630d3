#include "platform/profile.h"

#include <fstream>
#include <iterator>

namespace lamina::profile {
namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool equalNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::string cut(std::string_view s, std::size_t size) {
  if (size == 0) return {};
  return std::string(s.substr(0, size - 1));
}

}  // namespace

std::string readStringFromText(std::string_view text, std::string_view section,
                               std::string_view key, std::string_view defaultText,
                               std::size_t size) {
  bool inSection = false;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const std::size_t close = line.find(']');
      const std::string_view name = trim(
          line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
      inSection = equalNoCase(name, section);
      continue;
    }
    if (!inSection) continue;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    if (!equalNoCase(trim(line.substr(0, eq)), key)) continue;
    std::string_view value = trim(line.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    return cut(value, size);
  }
  return cut(defaultText, size);
}

std::string readString(const std::filesystem::path& file, std::string_view section,
                       std::string_view key, std::string_view defaultText, std::size_t size) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return cut(defaultText, size);
  std::string text(kMaxFileBytes, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  return readStringFromText(text, section, key, defaultText, size);
}

bool parseInt(std::string_view text, long& value) {
  text = trim(text);
  if (text.empty()) return false;
  bool negative = false;
  if (text.front() == '+' || text.front() == '-') {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return false;
  long v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    if (v > 100000000L) return false;  // far beyond any setting; refuse rather than overflow
    v = v * 10 + (c - '0');
  }
  value = negative ? -v : v;
  return true;
}

}  // namespace lamina::profile
