// Any bytes as MBROLA input lines to our synthesizer with a small voice:
// it never crashes, and the samples add up to the durations of the lines it
// accepted.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "mbrola_tts/pho_synth.h"
#include "tests/mbrola_tts/pho_test_voice.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lamina::mbrola_tts;
  static const PhoVoice voice = test::testVoice();
  PhoSynth synth;
  synth.useVoice(voice);
  synth.setNoError(1);
  std::string_view text(reinterpret_cast<const char*>(data), size);
  double ms = 0, expected = 0;
  std::int64_t produced = 0;
  std::int16_t buffer[2048];
  auto drain = [&] {
    for (int n; (n = synth.read(buffer)) > 0;) produced += n;
  };
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(text.size(), end + 1));
    const PhoLine parsed = parsePhoLine(line);
    if (parsed.kind == PhoLine::Kind::phoneme) {
      if (ms + parsed.durationMs > 10000) continue;  // ten seconds of sound are enough
      ms += parsed.durationMs;
    } else if (parsed.kind == PhoLine::Kind::flush) {
      expected += static_cast<double>(std::llround(ms * 16));
      ms = 0;
    }
    synth.write(line);
    drain();
  }
  synth.flush();
  drain();
  expected += static_cast<double>(std::llround(ms * 16));
  if (static_cast<double>(produced) != expected) std::abort();
  return 0;
}
