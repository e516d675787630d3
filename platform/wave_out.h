#pragma once
// The wave-output device as the wave player sees it: opened for one PCM
// format, fed with blocks that stay owned by the caller until the device
// reports them done. Completion notices are posted to the console's message
// queue as message 957 (param1 = device id, param2 = the block's address), so
// that the player's state changes only on the program thread while it pumps.
#include <cstdint>

#include "platform/message_pump.h"

namespace lamina::platform {

// Result codes of the device operations.
namespace waveresult {
inline constexpr int Ok = 0;
inline constexpr int Error = 1;
inline constexpr int Allocated = 4;  // the device is busy; try again later
inline constexpr int InvalidHandle = 5;
inline constexpr int NoDriver = 6;
inline constexpr int NoMemory = 7;
inline constexpr int BadFormat = 32;
inline constexpr int StillPlaying = 33;
}  // namespace waveresult

// A 16-byte PCM format record: tag 1, channels, rate, average bytes per
// second, block align, bits per sample.
struct PcmFormat {
  std::uint16_t formatTag = 1;
  std::uint16_t channels = 0;
  std::uint32_t samplesPerSecond = 0;
  std::uint32_t averageBytesPerSecond = 0;
  std::uint16_t blockAlign = 0;
  std::uint16_t bitsPerSample = 0;

  friend bool operator==(const PcmFormat&, const PcmFormat&) = default;
};

inline PcmFormat makePcmFormat(std::uint32_t rate, std::uint16_t bits, std::uint16_t channels) {
  PcmFormat f;
  f.channels = channels;
  f.samplesPerSecond = rate;
  f.bitsPerSample = bits;
  f.blockAlign = static_cast<std::uint16_t>((bits / 8) * channels);
  f.averageBytesPerSecond = f.blockAlign * rate;
  return f;
}

// Formats any device of ours can take; the rest are refused with BadFormat
// before a device is touched (0 Hz, no channels, odd bit depths).
inline int checkPcmFormat(const PcmFormat& f) {
  const bool bitsOk = f.bitsPerSample == 8 || f.bitsPerSample == 16 || f.bitsPerSample == 24 ||
                      f.bitsPerSample == 32;
  const bool ok = f.formatTag == 1 && bitsOk && f.channels >= 1 && f.channels <= 8 &&
                  f.samplesPerSecond >= 1000 && f.samplesPerSecond <= 384000;
  return ok ? waveresult::Ok : waveresult::BadFormat;
}

// The block header handed to the device. The caller fills data, length and
// user; the device keeps the flag bits.
struct WaveBlock {
  const std::uint8_t* data = nullptr;
  std::uint32_t length = 0;
  std::uintptr_t user = 0;
  std::uint32_t flags = 0;
};

namespace waveflags {
inline constexpr std::uint32_t Done = 1;
inline constexpr std::uint32_t Prepared = 2;
inline constexpr std::uint32_t InQueue = 16;
}  // namespace waveflags

class WaveOutDevice {
 public:
  virtual ~WaveOutDevice() = default;
  // Opens the default output for the format; completions go to notify.
  virtual int open(const PcmFormat& format, MessagePump& notify) = 0;
  virtual int prepare(WaveBlock& block) = 0;
  // Queues a prepared block behind those already written.
  virtual int write(WaveBlock& block) = 0;
  // Fails with StillPlaying while the block is queued.
  virtual int unprepare(WaveBlock& block) = 0;
  // Stops playing; every queued block is reported done at once.
  virtual int reset() = 0;
  // Fails with StillPlaying while blocks are queued.
  virtual int close() = 0;
};

}  // namespace lamina::platform
