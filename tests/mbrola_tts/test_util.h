#pragma once
// Helpers of the front-end tests: UTF-8 literals in, cp1252 text out.
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cp1252.h"

namespace lamina::mbrola_tts::test {

inline std::string cp(std::string_view utf8) {
  return cp1252::fromUtf8(utf8);
}
inline std::string utf(std::string_view text) {
  return cp1252::toUtf8(text);
}

// A file in the test's own temporary folder, removed with the object.
class TempFile {
 public:
  explicit TempFile(std::string_view content, std::string_view name = "lamina-mbrola-test.txt")
      : path_(std::filesystem::temp_directory_path() / name) {
    std::ofstream(path_, std::ios::binary) << content;
  }
  ~TempFile() {
    std::error_code ec;
    std::filesystem::remove(path_, ec);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
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
