// Any bytes as text, through the whole pipeline with the shipped language
// files; every voice line must have a positive duration.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "mbrola_tts/front_end.h"
#include "mbrola_tts/reporter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lamina::mbrola_tts;
  static const MbrolaFrontEnd frontEnd = [] {
    MbrolaFrontEnd f;
    SilentReporter reporter;
    if (f.load(LanguageFiles::inFolder("data/mbrola"), reporter) != LoadResult::ok) std::abort();
    return f;
  }();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const std::string& line : frontEnd.textToMbrola(text, 1.0, 1.0)) {
    if (line.empty() || line.front() == ';') continue;
    const std::size_t blank = line.find(' ');
    if (blank == 0 || blank == std::string::npos || std::atol(line.c_str() + blank + 1) <= 0)
      std::abort();
  }
  return 0;
}
