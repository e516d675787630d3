#include "wave/wave_player.h"

#include <algorithm>
#include <cstring>
#include <fstream>

namespace lamina::wave {

namespace {

using platform::WaveResult;

constexpr std::size_t kSplitPiece = 65278;
constexpr int kOpenAttempts = 100;
constexpr unsigned kBusyRetryMs = 100;
constexpr int kSlotWaitRounds = 40;
constexpr unsigned kSlotWaitMs = 50;
constexpr unsigned kFullWaitMs = 10;

// Position of the largest byte in from..to (clipped to the buffer); the first
// of equals; `none` when no byte is above 0.
std::size_t peak(std::span<const std::uint8_t> b, std::size_t from, std::size_t to,
                 std::size_t none) {
  std::size_t best = none;
  std::uint8_t top = 0;
  const std::size_t end = std::min(to, b.size() - 1);
  for (std::size_t i = from; i <= end; ++i) {
    if (b[i] > top) {
      top = b[i];
      best = i;
    }
  }
  return best;
}

}  // namespace

std::size_t frameBytes(std::uint16_t bits, std::uint16_t channels) {
  return std::max<std::size_t>(1, std::size_t{(bits + 7u) / 8u} * channels);
}

std::size_t wholeFrames(std::size_t bytes, std::size_t frame) {
  return frame == 0 ? bytes : bytes - bytes % frame;
}

bool makeWaveHeader(std::span<std::uint8_t> image, std::uint32_t dataLength, std::uint32_t rate,
                    std::uint16_t bits, std::uint16_t channels) {
  return riff::writeWaveHeader(image, dataLength, rate, bits, channels);
}

std::size_t dropPeriods(std::span<std::uint8_t> buffer, unsigned bits, std::uint32_t rate) {
  std::size_t length = buffer.size();
  if (bits == 16) {
    length /= 2;
    for (std::size_t i = 0; i < length; ++i) buffer[i] = buffer[2 * i + 1] ^ 0x80;
  }
  if (length < 1000) return length;
  const auto b = buffer.first(length);
  const bool narrow = rate == 11025;
  const std::size_t S = narrow ? 200 : 800;
  const std::size_t A = narrow ? 80 : 320;
  const std::size_t B = narrow ? 50 : 200;

  std::size_t p = peak(b, S, S + A + B, 0);
  std::size_t w = p;
  while (p + 2 * (A + B) < length) {
    // A window without any byte above 0 gives its own start, so that every
    // step moves forward and the kept stretch never runs backwards.
    const std::size_t h = peak(b, p + A, p + A + B, p + A);
    const std::size_t m = peak(b, h + A, h + A + B, h + A);
    const std::size_t n = m - h + 1;
    std::memmove(b.data() + w, b.data() + h, n);
    w += n;
    p = m;
  }
  while (p < length && (b[w] > 128 + 20 || b[w] < 128 - 20)) {
    b[w++] = b[p++];
  }
  return w;
}

std::size_t filePieceSize(std::uint64_t remaining) {
  if (remaining >= 65535 && remaining <= 65789) return kSplitPiece;
  return static_cast<std::size_t>(std::min<std::uint64_t>(remaining, kBlockSize));
}

std::string_view deviceErrorText(WaveResult result) {
  switch (result) {
    case WaveResult::invalidHandle:
    case WaveResult::noDriver:
    case WaveResult::noMemory:
    case WaveResult::stillPlaying:
      return platform::resultText(result);
    default:
      return {};
  }
}

WavePlayer::WavePlayer(platform::WaveOutDevice& device, platform::MessagePump& pump)
    : device_(device), pump_(pump) {
  readBuffer_.resize(kBlockSize);
  compressBuffer_.resize(kBlockSize);
  for (Slot& s : slots_) s.data.resize(kBlockSize);
}

WavePlayer::WavePlayer(platform::WaveOutDevice& device, platform::MessagePump& pump,
                       DeviceErrorReporter& reporter)
    : WavePlayer(device, pump) {
  reporter_ = &reporter;
}

WavePlayer::~WavePlayer() {
  if (deviceOpen_) {
    // The device must not keep reading slots that are about to be freed.
    if (queued_ > 0) device_.reset();
    device_.close();
  }
  pump_.setWaveDoneHandler(nullptr);
}

bool WavePlayer::keyStops() {
  return stopOnKey_ && pump_.keyPressed();
}

bool WavePlayer::wavePlaying() {
  pump_.pumpMessages();
  if (keyStops() || queued_ == 0) waveStop();
  return queued_ > 0;
}

void WavePlayer::waveStop() {
  if (!deviceOpen_) return;
  if (queued_ > 0) device_.reset();
  pump_.pumpMessages();
  if (device_.close() != WaveResult::ok) {
    device_.reset();
    pump_.pumpMessages();
    device_.close();
  }
  pump_.pumpMessages();
  deviceOpen_ = false;
  // The device is gone: nothing it held can still come back.
  releaseAll();
}

void WavePlayer::releaseAll() {
  for (Slot& s : slots_) s.submitted = false;
  queued_ = 0;
}

void WavePlayer::waveBlockDone(std::uintptr_t block) {
  if (block == 0) return;
  Slot* slot = nullptr;
  for (Slot& s : slots_) {
    if (reinterpret_cast<std::uintptr_t>(&s.header) == block) slot = &s;
  }
  // A notice for a block that is not ours, or reported twice, changes nothing.
  if (slot == nullptr || !slot->submitted) return;
  const WaveResult result = device_.unprepare(slot->header);
  if (result != WaveResult::ok && reporter_ != nullptr)
    reporter_->showAndWaitEnter(deviceErrorText(result));
  // A notice that comes while the device still holds the block does not
  // free it: its own completion will.
  if (result == WaveResult::stillPlaying) return;
  slot->submitted = false;
  if (queued_ > 0) --queued_;
}

WaveResult WavePlayer::openWaveDevice(std::uint32_t rate, std::uint16_t bits,
                                      std::uint16_t channels) {
  if (rate != rate_ || bits != bits_ || channels != channels_) {
    while (wavePlaying()) pump_.waitMessage();
  }
  rate_ = rate;
  bits_ = bits;
  channels_ = channels;
  if (deviceOpen_) return WaveResult::ok;
  pump_.setWaveDoneHandler([this](std::uintptr_t, std::uintptr_t block) { waveBlockDone(block); });
  const platform::PcmFormat format = platform::makePcmFormat(rate, bits, channels);
  WaveResult result = device_.open(format, pump_);
  for (int attempt = 1; result == WaveResult::allocated && attempt < kOpenAttempts; ++attempt) {
    pump_.sleepPumping(kBusyRetryMs);
    result = device_.open(format, pump_);
  }
  deviceOpen_ = result == WaveResult::ok;
  return result;
}

bool WavePlayer::queueBlock(std::span<const std::uint8_t> source) {
  for (int round = 0; queued_ >= static_cast<int>(kSlotCount); ++round) {
    if (round == kSlotWaitRounds) return false;
    pump_.pumpMessages();
    pump_.sleepPumping(kSlotWaitMs);
  }
  if (!deviceOpen_) return false;
  // Slots are taken in turn, but only one the device has given back: a slot
  // still queued there may be read at any moment.
  std::size_t next = currentSlot_;
  for (std::size_t tried = 0;; ++tried) {
    if (tried == kSlotCount) return false;
    next = next % kSlotCount + 1;
    if (!slots_[next - 1].submitted) break;
  }
  // The device takes whole frames only: a cut frame would shift every
  // sample that follows it on the device, this sound's and the next one's.
  const std::size_t frame = frameBytes(bits_, channels_);
  const std::size_t minBlock = (kMinBlock + frame - 1) / frame * frame;
  if (minBlock > kBlockSize) return false;
  const std::size_t length = wholeFrames(std::min(source.size(), kBlockSize), frame);
  ++queued_;
  currentSlot_ = next;
  Slot& slot = slots_[currentSlot_ - 1];

  const bool eightBitMono = bits_ == 8 && channels_ == 1;
  const std::size_t submitted = std::max(length, minBlock);
  if (length < minBlock) {
    // Silence after the block's own bytes: 128 for unsigned 8-bit samples.
    const std::uint8_t silence = bits_ == 8 ? 128 : 0;
    std::fill(slot.data.begin() + static_cast<std::ptrdiff_t>(length),
              slot.data.begin() + static_cast<std::ptrdiff_t>(minBlock), silence);
  }
  std::copy_n(source.begin(), length, slot.data.begin());
  if (eightBitMono && length != kBlockSize && length > 0) slot.data[length - 1] = 128;

  slot.header = platform::WaveBlock{};
  slot.header.data = slot.data.data();
  slot.header.length = static_cast<std::uint32_t>(submitted);
  slot.header.user = currentSlot_;
  if (device_.prepare(slot.header) != WaveResult::ok) {
    --queued_;
    return false;
  }
  if (device_.write(slot.header) != WaveResult::ok) {
    // Never written, so no completion will come for it.
    device_.unprepare(slot.header);
    --queued_;
    return false;
  }
  slot.submitted = true;
  return true;
}

WaveResult WavePlayer::playSamples(std::span<const std::uint8_t> data, std::uint32_t rate,
                                   std::uint16_t bits, std::uint16_t channels) {
  if (fast_) rate = static_cast<std::uint32_t>(std::uint64_t{rate} * 3 / 2);
  const bool mono = channels == 1;
  // Only 8- and 16-bit samples can be cut at their pitch periods.
  const bool compress = compress_ && mono && (bits == 8 || bits == 16);
  const std::uint16_t deviceBits = compress && bits == 16 ? 8 : bits;
  if (const WaveResult result = openWaveDevice(rate, deviceBits, channels);
      result != WaveResult::ok)
    return result;

  // A partial frame at the end is not sound; it is left out. Compressed
  // sound reaches the device as 8-bit mono, whose frames are single bytes.
  const std::size_t frame = compress ? 1 : frameBytes(bits, channels);
  data = data.first(wholeFrames(data.size(), frame));
  const std::size_t blockBytes = wholeFrames(kBlockSize, frame);
  std::size_t done = 0;
  while (done < data.size()) {
    while (queued_ >= static_cast<int>(kSlotCount)) {
      if (keyStops()) {
        waveStop();
        return WaveResult::ok;
      }
      pump_.sleepPumping(kFullWaitMs);
    }
    if (keyStops()) {
      waveStop();
      return WaveResult::ok;
    }
    const std::size_t n = std::min(data.size() - done, blockBytes);
    auto piece = data.subspan(done, n);
    if (compress) {
      std::copy(piece.begin(), piece.end(), compressBuffer_.begin());
      const std::size_t m = dropPeriods(std::span(compressBuffer_).first(n), bits, rate);
      piece = std::span<const std::uint8_t>(compressBuffer_).first(m);
    }
    queueBlock(piece);
    done += n;
  }
  return WaveResult::ok;
}

WaveResult WavePlayer::playWaveFile(const std::filesystem::path& path) {
  if (keyStops()) return WaveResult::ok;
  std::ifstream in(path, std::ios::binary);
  if (!in) return WaveResult::notPlayable;
  return playWaveStream(in);
}

WaveResult WavePlayer::playWaveStream(std::istream& in) {
  if (keyStops()) return WaveResult::ok;
  WaveResult result = WaveResult::notPlayable;
  riff::StreamSource source(in);
  riff::WaveChunks chunks;
  // A fmt chunk bigger than the read buffer, or too small to hold the
  // format, is refused, and so is a skipped chunk the buffer cannot hold.
  const riff::WalkRules rules{.formatFirst = true, .maxChunk = kBlockSize};
  if (riff::walkWave(source, rules, chunks) == riff::WaveReadResult::ok &&
      chunks.formatLength >= 16) {
    const riff::WaveFormat& f = chunks.format;
    result = WaveResult::ok;
    const std::size_t frame = frameBytes(f.bitsPerSample, f.channels);
    // Pieces of whole frames, so that a read never splits one; the odd
    // bytes of a last partial frame are not sound and are not read.
    std::uint64_t remaining = wholeFrames(chunks.dataLength, frame);
    while (remaining > 0) {
      const std::size_t want = wholeFrames(filePieceSize(remaining), frame);
      const std::size_t got = source.read(std::span(readBuffer_).first(want));
      if (got == 0) {
        result = WaveResult::notPlayable;
        break;
      }
      remaining -= got;
      const WaveResult played = playSamples(std::span(readBuffer_).first(got), f.samplesPerSecond,
                                            f.bitsPerSample, f.channels);
      if (played != WaveResult::ok) {
        result = played;
        break;
      }
      if (keyStops()) break;
    }
  }
  while (wavePlaying()) pump_.waitMessage();
  return result;
}

WaveResult WavePlayer::playWaveMemory(std::span<const std::uint8_t> image) {
  riff::WaveImage w;
  const riff::WaveReadResult read = riff::readWaveImage(image, riff::WalkRules{}, w);
  // A length past the end of the image plays what the image holds.
  if ((read != riff::WaveReadResult::ok && read != riff::WaveReadResult::shortData) ||
      w.chunks.formatLength < 16) {
    return WaveResult::notPlayable;
  }
  const riff::WaveFormat& f = w.chunks.format;
  return playSamples(w.data, f.samplesPerSecond, f.bitsPerSample, f.channels);
}

}  // namespace lamina::wave
