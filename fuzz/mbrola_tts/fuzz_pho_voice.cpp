// Any bytes as a voice file: refused or loaded, never a crash; a voice that
// loads speaks a few lines of its own phonemes.
#include <cstddef>
#include <cstdint>
#include <span>

#include "mbrola_tts/pho_synth.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lamina::mbrola_tts;
  PhoVoice voice;
  if (voice.parse(std::span(data, size)) != VoiceLoadResult::ok || voice.empty()) return 0;
  const VoiceDiphone& d = voice.diphones().front();
  PhoSynth synth;
  synth.useVoice(voice);
  synth.write(d.first + " 80 50 120");
  synth.write(d.second + " 80 20 300 90 90");
  synth.write(d.first + " 30");
  synth.flush();
  std::int16_t buffer[1024];
  while (synth.read(buffer) > 0) {
  }
  return 0;
}
