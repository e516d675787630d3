#pragma once
// What the diphone speaker needs of recorded speech: play a wave image to
// its end, and tell whether anything still sounds. Recorded speech (in the
// speech front-end) provides it; tests provide fakes.
#include <cstdint>
#include <span>

namespace lamina::diphone {

class SpeechOutput {
 public:
  virtual ~SpeechOutput() = default;
  // Plays a RIFF image (44-byte header and samples) and returns when it has
  // ended or a key cut it.
  virtual void playWaveImage(std::span<const std::uint8_t> image) = 0;
  virtual bool isSpeaking() = 0;
};

}  // namespace lamina::diphone
