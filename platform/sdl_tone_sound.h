#pragma once
// Looping tones and the bell through SDL2 audio, apart from the wave
// player's device: each plays on an SDL audio device of its own.
#include <chrono>
#include <cstdint>
#include <deque>
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

// One device carries every tone: it is opened with the first tone and kept
// running (silent between tones) until the player goes, so that neither the
// time a device takes to open nor its closing cuts into a short tone. A tone
// lasts as long as its playLoop .. stopLoop span, counted from its first
// sample; a tone asked for while the previous one still owes samples follows
// it.
class SdlToneSound final : public ToneSound {
 public:
  SdlToneSound();
  ~SdlToneSound() override;
  SdlToneSound(const SdlToneSound&) = delete;
  SdlToneSound& operator=(const SdlToneSound&) = delete;

  bool playLoop(std::span<const std::uint8_t> waveImage) override;
  void stopLoop() override;
  void beep() override;

  // A tone was started and not yet stopped.
  bool looping() const { return looping_; }
  // Bytes of tone samples handed to SDL since the latest playLoop.
  std::uint64_t loopBytesPlayed();
  // Devices opened for tones so far.
  int devicesOpened() const { return devicesOpened_; }

 private:
  struct Tone {
    std::vector<std::uint8_t> samples;
    std::size_t pos = 0;
    std::uint64_t played = 0;
    // Bytes the tone is to last once stopped; none while it loops.
    bool stopped = false;
    std::uint64_t length = 0;
    std::chrono::steady_clock::time_point asked{};
  };
  static void loopCallback(void* self, std::uint8_t* stream, int length);
  bool openDevice(const WaveImageData& w);
  void closeDevice();

  bool initialised_ = false;
  std::uint32_t loopDevice_ = 0;
  std::uint32_t beepDevice_ = 0;
  int devicesOpened_ = 0;
  bool looping_ = false;
  // Format of the open tone device.
  std::uint32_t rate_ = 0;
  std::uint16_t bits_ = 0;
  std::uint16_t channels_ = 0;
  std::mutex mutex_;
  std::deque<Tone> tones_;
  std::uint64_t loopBytes_ = 0;
};

}  // namespace lamina::platform
