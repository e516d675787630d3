// Any bytes as each of the five language files, then a fixed text through
// the whole pipeline with what was loaded.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "mbrola_tts/front_end.h"
#include "mbrola_tts/normalize.h"
#include "mbrola_tts/reporter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lamina::mbrola_tts;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  MbrolaFrontEnd f;
  SilentReporter reporter;
  f.rules.loadRulesText(bytes);
  f.exceptions.loadExceptionsText(bytes);
  f.abbreviations.loadAbbreviationsText(bytes);
  f.prosody.loadProsodyText(bytes, reporter);
  f.diphones.loadDiphoneListText(bytes);
  (void)f.textToMbrola("O Sr. Silva chegou? Sim! 1.234,5% de 2\xBA lugar... a - b, CPF; (ok): fim.",
                       1.0, 1.0);
  (void)f.textToMbrola(bytes.substr(0, 256), 0.7, 1.3);
  return 0;
}
