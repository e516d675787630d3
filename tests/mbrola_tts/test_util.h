#pragma once
// Helpers of the front-end tests: UTF-8 literals in, cp1252 text out.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cp1252.h"
#include "tests/wave/wave_fixture.h"

namespace lamina::mbrola_tts::test {

inline std::string cp(std::string_view utf8) {
  return cp1252::fromUtf8(utf8);
}
inline std::string utf(std::string_view text) {
  return cp1252::toUtf8(text);
}

// A file of text in the temporary folder, under a name of its own (test
// processes run side by side), removed with the object.
class TempFile : public wave::testing::TempFile {
 public:
  explicit TempFile(std::string_view content, std::string_view name = "mbrola-test.txt")
      : wave::testing::TempFile(std::vector<std::uint8_t>(content.begin(), content.end()),
                                std::string(name)) {}
};

// Runs of blanks as one blank: the tokenizer reads them so.
inline std::string collapseBlanks(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == ' ' && !out.empty() && out.back() == ' ') continue;
    out += c;
  }
  return out;
}

inline std::string join(const std::vector<std::string>& lines, std::string_view sep = "\n") {
  std::string out;
  for (const std::string& l : lines) {
    if (!out.empty()) out += sep;
    out += l;
  }
  return out;
}

}  // namespace lamina::mbrola_tts::test
