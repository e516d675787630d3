#pragma once
// Looping tones and the bell through SDL2 audio, apart from the wave
// player's device: each plays on an SDL audio device of its own.
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

#include "platform/sound.h"

namespace lamina::platform {

// Samples and format of a PCM RIFF/WAVE image.
struct WaveImageData {
  std::uint32_t samplesPerSecond = 0;
  std::uint16_t bitsPerSample = 0;
  std::uint16_t channels = 0;
  std::span<const std::uint8_t> samples;
};

// Finds the fmt and data chunks of a RIFF/WAVE image; false when it is not
// one (or holds no samples). A data length past the end is cut to the image.
bool parseWaveImage(std::span<const std::uint8_t> image, WaveImageData& out);

class SdlToneSound final : public ToneSound {
 public:
  SdlToneSound();
  ~SdlToneSound() override;
  SdlToneSound(const SdlToneSound&) = delete;
  SdlToneSound& operator=(const SdlToneSound&) = delete;

  bool playLoop(std::span<const std::uint8_t> waveImage) override;
  void stopLoop() override;
  void beep() override;

  bool looping() const { return loopDevice_ != 0; }
  // Bytes of the looped samples handed to SDL since playLoop.
  std::uint64_t loopBytesPlayed();

 private:
  static void loopCallback(void* self, std::uint8_t* stream, int length);

  bool initialised_ = false;
  std::uint32_t loopDevice_ = 0;
  std::uint32_t beepDevice_ = 0;
  std::mutex mutex_;
  std::vector<std::uint8_t> loop_;
  std::size_t loopPos_ = 0;
  std::uint64_t loopBytes_ = 0;
};

}  // namespace lamina::platform
