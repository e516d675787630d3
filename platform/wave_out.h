#pragma once
// The wave-output device as the wave player sees it: opened for one PCM
// format, fed with blocks that stay owned by the caller until the device
// reports them done. Completion notices are posted to the console's message
// queue as message 957 (param1 = device id, param2 = the block's address), so
// that the player's state changes only on the program thread while it pumps.
#include <cstdint>
#include <string_view>

#include "platform/message_pump.h"
#include "platform/riff.h"

namespace lamina::platform {

// Results of the device operations. The numbers are the system's wave output
// codes, which the player relies on: it retries on 4 and shows the texts of
// 5, 6, 7 and 33. The player passes the device's open result to its own
// callers and adds -1 for a sound it cannot play.
enum class WaveResult {
  notPlayable = -1,  // the wave player's: not a playable RIFF file, or cut short
  ok = 0,
  error = 1,
  allocated = 4,  // the device is busy; try again later
  invalidHandle = 5,
  noDriver = 6,
  noMemory = 7,
  badFormat = 32,
  stillPlaying = 33,
};

inline std::string_view resultText(WaveResult result) {
  switch (result) {
    case WaveResult::notPlayable:
      return "not a playable wave file";
    case WaveResult::ok:
      return "ok";
    case WaveResult::error:
      return "device error";
    case WaveResult::allocated:
      return "the device is busy";
    case WaveResult::invalidHandle:
      return "Specified device handle is invalid.";
    case WaveResult::noDriver:
      return "No device driver is present.";
    case WaveResult::noMemory:
      return "Unable to allocate or lock memory.";
    case WaveResult::badFormat:
      return "unsupported wave format";
    case WaveResult::stillPlaying:
      return "The data block pointed to by the pwh parameter is still in queue";
  }
  return "unknown device result";
}

// The 16-byte PCM format record handed to the device: the one of the RIFF
// files, so that a file's format passes to the device unchanged.
using PcmFormat = riff::WaveFormat;

inline PcmFormat makePcmFormat(std::uint32_t rate, std::uint16_t bits, std::uint16_t channels) {
  PcmFormat f;
  f.channels = channels;
  f.samplesPerSecond = rate;
  f.bitsPerSample = bits;
  f.blockAlign = static_cast<std::uint16_t>((bits / 8) * channels);
  f.averageBytesPerSecond = f.blockAlign * rate;
  return f;
}

// Formats any device of ours can take; the rest are refused with badFormat
// before a device is touched (0 Hz, no channels, odd bit depths).
inline WaveResult checkPcmFormat(const PcmFormat& f) {
  const bool bitsOk = f.bitsPerSample == 8 || f.bitsPerSample == 16 || f.bitsPerSample == 24 ||
                      f.bitsPerSample == 32;
  const bool ok = f.formatTag == 1 && bitsOk && f.channels >= 1 && f.channels <= 8 &&
                  f.samplesPerSecond >= 1000 && f.samplesPerSecond <= 384000;
  return ok ? WaveResult::ok : WaveResult::badFormat;
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
  virtual WaveResult open(const PcmFormat& format, MessagePump& notify) = 0;
  virtual WaveResult prepare(WaveBlock& block) = 0;
  // Queues a prepared block behind those already written.
  virtual WaveResult write(WaveBlock& block) = 0;
  // Fails with stillPlaying while the block is queued.
  virtual WaveResult unprepare(WaveBlock& block) = 0;
  // Stops playing; every queued block is reported done at once.
  virtual WaveResult reset() = 0;
  // Fails with stillPlaying while blocks are queued.
  virtual WaveResult close() = 0;
};

}  // namespace lamina::platform
