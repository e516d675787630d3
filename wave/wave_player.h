#pragma once
// The wave player: every recorded or synthesized sound reaches the output
// device through it. It cuts sample data into blocks and keeps at most four of
// them queued on the device; a key waiting in the console's queue stops it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <istream>
#include <span>
#include <string_view>
#include <vector>

#include "platform/message_pump.h"
#include "platform/riff.h"
#include "platform/wave_out.h"

namespace lamina::wave {

inline constexpr std::size_t kSlotCount = 4;
inline constexpr std::size_t kBlockSize = 65534;
inline constexpr std::size_t kMinBlock = 256;
using riff::kWaveHeaderSize;

// Shows a device error text (English; empty for an unknown failure) and waits
// for the user to press Enter. Nothing implements it yet: without one the
// player carries on silently; the program will give it the console.
class DeviceErrorReporter {
 public:
  virtual ~DeviceErrorReporter() = default;
  virtual void showAndWaitEnter(std::string_view text) = 0;
};

// Writes the 44-byte RIFF header at the start of image; the samples follow at
// offset 44. False (nothing written) when image is shorter than 44 bytes.
// The name is the one every caller of the wave player knows; the header
// itself is the shared RIFF writer's.
bool makeWaveHeader(std::span<std::uint8_t> image, std::uint32_t dataLength, std::uint32_t rate,
                    std::uint16_t bits, std::uint16_t channels);

// Drops every other pitch period of mono sound in place (16-bit sound is
// first turned into 8-bit); returns the new length.
std::size_t dropPeriods(std::span<std::uint8_t> buffer, unsigned bits, std::uint32_t rate);

// Size of the next piece to read from a data chunk with `remaining` bytes
// left: never leaves a rest shorter than the minimum block.
std::size_t filePieceSize(std::uint64_t remaining);

// Bytes of one frame (one sample of every channel); at least 1.
std::size_t frameBytes(std::uint16_t bits, std::uint16_t channels);
// bytes cut down to whole frames.
std::size_t wholeFrames(std::size_t bytes, std::size_t frame);

// The English text shown for a failed unprepare; empty for the codes that
// have none.
std::string_view deviceErrorText(platform::WaveResult result);

class WavePlayer {
 public:
  WavePlayer(platform::WaveOutDevice& device, platform::MessagePump& pump);
  WavePlayer(platform::WaveOutDevice& device, platform::MessagePump& pump,
             DeviceErrorReporter& reporter);
  ~WavePlayer();
  WavePlayer(const WavePlayer&) = delete;
  WavePlayer& operator=(const WavePlayer&) = delete;

  // ok played (or cut by a key, or empty), notPlayable (-1) not a playable
  // RIFF file or cut short, else the device's open result. Returns when the
  // sound has ended.
  platform::WaveResult playWaveFile(const std::filesystem::path& path);
  // The same for a RIFF file already opened as a stream.
  platform::WaveResult playWaveStream(std::istream& in);
  // Queues a RIFF image and returns at once (callers wait with wavePlaying):
  // ok queued, notPlayable not a RIFF image with "fmt " at offset 12, else
  // the device's open result.
  platform::WaveResult playWaveMemory(std::span<const std::uint8_t> image);
  // Pumps; ends playback when a key is pending or nothing is queued; answers
  // whether blocks are still queued.
  bool wavePlaying();
  void waveStop();
  // The completion handler for message 957; block is the header's address.
  void waveBlockDone(std::uintptr_t block);
  platform::WaveResult playSamples(std::span<const std::uint8_t> data, std::uint32_t rate,
                                   std::uint16_t bits, std::uint16_t channels);
  platform::WaveResult openWaveDevice(std::uint32_t rate, std::uint16_t bits,
                                      std::uint16_t channels);
  bool queueBlock(std::span<const std::uint8_t> source);

  bool waveStopOnKey() const { return stopOnKey_; }
  void setWaveStopOnKey(bool on) { stopOnKey_ = on; }
  bool waveFast() const { return fast_; }
  void setWaveFast(bool on) { fast_ = on; }
  bool waveCompress() const { return compress_; }
  void setWaveCompress(bool on) { compress_ = on; }

  bool deviceOpen() const { return deviceOpen_; }
  int queuedBlocks() const { return queued_; }
  platform::PcmFormat currentFormat() const {
    return platform::makePcmFormat(rate_, bits_, channels_);
  }

 private:
  struct Slot {
    std::vector<std::uint8_t> data;
    platform::WaveBlock header;
    bool submitted = false;
  };

  bool keyStops();
  void releaseAll();

  platform::WaveOutDevice& device_;
  platform::MessagePump& pump_;
  DeviceErrorReporter* reporter_ = nullptr;

  bool stopOnKey_ = true;
  bool fast_ = false;
  bool compress_ = false;

  bool deviceOpen_ = false;
  std::uint32_t rate_ = 0;
  std::uint16_t bits_ = 0;
  std::uint16_t channels_ = 0;
  std::size_t currentSlot_ = 0;  // 0 before the first block, then 1..4
  int queued_ = 0;
  std::vector<std::uint8_t> readBuffer_;
  std::vector<std::uint8_t> compressBuffer_;
  std::array<Slot, kSlotCount> slots_;
};

}  // namespace lamina::wave
