#pragma once
// Sounds played apart from the wave player's queue: the console's looping
// tones (an in-memory wave image played asynchronously, looping) and the bell.
#include <cstdint>
#include <span>

namespace lamina::platform {

class ToneSound {
 public:
  virtual ~ToneSound() = default;
  // Plays a RIFF/WAVE image from memory, looping, until stopLoop. The image
  // is copied. Returns false when it could not be played.
  virtual bool playLoop(std::span<const std::uint8_t> waveImage) = 0;
  virtual void stopLoop() = 0;
  // The system's default beep.
  virtual void beep() = 0;
};

// A ToneSound that plays nothing; for tests and machines without sound.
class SilentToneSound final : public ToneSound {
 public:
  bool playLoop(std::span<const std::uint8_t>) override { return true; }
  void stopLoop() override {}
  void beep() override {}
};

}  // namespace lamina::platform
