#pragma once
// A small voice for the synthesizer's tests and fuzzers: the phonemes "_",
// "a" and "s", a periodic "a" at 160 Hz and a noisy "s", every diphone
// among them except "s-s".
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "mbrola_tts/pho_voice.h"

namespace lamina::mbrola_tts::test {

inline VoiceDiphone testDiphone(const char* first, const char* second) {
  VoiceDiphone d;
  d.first = first;
  d.second = second;
  constexpr std::uint32_t kHalf = 800, kPeriod = 100;
  d.samples.resize(2 * kHalf);
  d.boundary = kHalf;
  std::uint32_t noise = 12345;
  for (std::uint32_t i = 0; i < 2 * kHalf; ++i) {
    const std::string& p = i < kHalf ? d.first : d.second;
    double v = 0;
    if (p == "a") {
      v = 6000 * std::sin(2 * std::numbers::pi * (i % kPeriod) / kPeriod);
    } else if (p == "s") {
      noise = noise * 1103515245u + 12345u;
      v = static_cast<double>((noise >> 16) % 4001) - 2000;
    }
    d.samples[i] = static_cast<std::int16_t>(v);
  }
  for (std::uint32_t i = 0; i < 2 * kHalf;
       i += (i < kHalf ? d.first : d.second) == "a" ? kPeriod : 80)
    d.marks.push_back({i, (i < kHalf ? d.first : d.second) == "a"});
  return d;
}

inline PhoVoice testVoice() {
  std::vector<VoiceDiphone> list;
  for (const char* a : {"_", "a", "s"})
    for (const char* b : {"_", "a", "s"})
      if (!(std::string(a) == "s" && std::string(b) == "s")) list.push_back(testDiphone(a, b));
  PhoVoice voice;
  voice.pitch = 160;
  voice.setDiphones(std::move(list));
  return voice;
}

}  // namespace lamina::mbrola_tts::test
