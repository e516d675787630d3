#pragma once
// The real wave-output device: an SDL2 audio device (PipeWire, PulseAudio,
// ALSA; the dummy driver plays in real time, the disk driver records). SDL's
// audio thread pulls bytes from the written blocks and only posts completion
// messages; all bookkeeping the program sees changes on the calling thread.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/wave_out.h"

namespace lamina::platform {

// What SDL actually opened (after its own format negotiation).
struct DeviceFormat {
  std::uint32_t samplesPerSecond = 0;
  std::uint16_t channels = 0;
  std::uint16_t bitsPerSample = 0;
  bool isSigned = false;
  bool isFloat = false;
  bool bigEndian = false;
  std::uint16_t bufferFrames = 0;
};

class SdlWaveOut final : public WaveOutDevice {
 public:
  // bufferMs: length of one device buffer; shorter means a quicker start and
  // stop, longer survives a busy machine better.
  explicit SdlWaveOut(unsigned bufferMs = 20);
  ~SdlWaveOut() override;
  SdlWaveOut(const SdlWaveOut&) = delete;
  SdlWaveOut& operator=(const SdlWaveOut&) = delete;

  WaveResult open(const PcmFormat& format, MessagePump& notify) override;
  WaveResult prepare(WaveBlock& block) override;
  WaveResult write(WaveBlock& block) override;
  WaveResult unprepare(WaveBlock& block) override;
  WaveResult reset() override;
  WaveResult close() override;

  bool isOpen() const { return device_ != 0; }
  DeviceFormat obtainedFormat() const { return obtained_; }
  // Called on the audio thread after each buffer is filled, with the number
  // of bytes that came from written blocks (the rest was silence). For
  // measuring latency; set it while the device is closed.
  void setFeedObserver(std::function<void(std::size_t blockBytes)> observer);

 private:
  static void callback(void* self, std::uint8_t* stream, int length);
  void fill(std::uint8_t* stream, std::size_t length);
  void postDone(WaveBlock* block);

  bool initialised_ = false;
  unsigned bufferMs_;
  std::uint32_t device_ = 0;
  DeviceFormat obtained_;
  std::uint8_t silence_ = 0;
  MessagePump* notify_ = nullptr;
  std::function<void(std::size_t)> observer_;

  // Shared with the audio thread.
  std::mutex mutex_;
  std::deque<WaveBlock*> queue_;    // written, not yet fully handed to SDL
  std::size_t offset_ = 0;          // bytes of queue_.front() already handed
  std::vector<WaveBlock*> handed_;  // fully handed in the previous buffer
  bool soundLogged_ = false;        // the first sound since open was logged
};

}  // namespace lamina::platform
