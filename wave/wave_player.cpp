#include "wave/wave_player.h"

#include <algorithm>
#include <cstring>
#include <fstream>

namespace lamina::wave {

namespace {

using platform::waveresult::Allocated;
using platform::waveresult::Ok;

constexpr std::size_t kSplitPiece = 65278;
constexpr int kOpenAttempts = 100;
constexpr unsigned kBusyRetryMs = 100;
constexpr int kSlotWaitRounds = 40;
constexpr unsigned kSlotWaitMs = 50;
constexpr unsigned kFullWaitMs = 10;

std::uint32_t le32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

std::uint16_t le16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

void put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

// Chunk identifiers are compared without regard to letter case.
bool idIs(const std::uint8_t* p, std::string_view id) {
  for (std::size_t i = 0; i < 4; ++i) {
    const std::uint8_t c = p[i];
    const std::uint8_t lower = static_cast<std::uint8_t>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    if (lower != static_cast<std::uint8_t>(id[i])) return false;
  }
  return true;
}

// Reads up to n bytes; answers how many came.
std::size_t readSome(std::istream& in, std::uint8_t* to, std::size_t n) {
  in.read(reinterpret_cast<char*>(to), static_cast<std::streamsize>(n));
  const std::streamsize got = in.gcount();
  return got > 0 ? static_cast<std::size_t>(got) : 0;
}

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

constexpr std::uint8_t kTemplate[kWaveHeaderSize] = {
    'R', 'I', 'F', 'F', 0xFF, 0xFF, 0xFF, 0xFF, 'W', 'A',  'V',  'E',  'f',  'm',  't',
    ' ', 16,  0,   0,   0,    1,    0,    1,    0,   0x11, 0x2B, 0,    0,    0x11, 0x2B,
    0,   0,   1,   0,   8,    0,    'd',  'a',  't', 'a',  0xFF, 0xFF, 0xFF, 0xFF};

}  // namespace

bool makeWaveHeader(std::span<std::uint8_t> image, std::uint32_t dataLength, std::uint32_t rate,
                    std::uint16_t bits, std::uint16_t channels) {
  if (image.size() < kWaveHeaderSize) return false;
  std::uint8_t* h = image.data();
  std::memcpy(h, kTemplate, kWaveHeaderSize);
  put32(h + 40, dataLength);
  put32(h + 4, dataLength + 36);
  put16(h + 34, bits);
  put16(h + 22, channels);
  put32(h + 24, rate);
  put32(h + 28, rate * channels * (bits / 8u));
  return true;
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

std::string_view deviceErrorText(int result) {
  switch (result) {
    case platform::waveresult::InvalidHandle:
      return "Specified device handle is invalid.";
    case platform::waveresult::NoDriver:
      return "No device driver is present.";
    case platform::waveresult::NoMemory:
      return "Unable to allocate or lock memory.";
    case platform::waveresult::StillPlaying:
      return "The data block pointed to by the pwh parameter is still in queue";
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
  if (device_.close() != Ok) {
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
  const int result = device_.unprepare(slot->header);
  if (result != Ok && reporter_ != nullptr) reporter_->showAndWaitEnter(deviceErrorText(result));
  slot->submitted = false;
  if (queued_ > 0) --queued_;
}

int WavePlayer::openWaveDevice(std::uint32_t rate, std::uint16_t bits, std::uint16_t channels) {
  if (rate != rate_ || bits != bits_ || channels != channels_) {
    while (wavePlaying()) pump_.waitMessage();
  }
  rate_ = rate;
  bits_ = bits;
  channels_ = channels;
  if (deviceOpen_) return Ok;
  pump_.setWaveDoneHandler([this](std::uintptr_t, std::uintptr_t block) { waveBlockDone(block); });
  const platform::PcmFormat format = platform::makePcmFormat(rate, bits, channels);
  int result = device_.open(format, pump_);
  for (int attempt = 1; result == Allocated && attempt < kOpenAttempts; ++attempt) {
    pump_.sleepPumping(kBusyRetryMs);
    result = device_.open(format, pump_);
  }
  deviceOpen_ = result == Ok;
  return result;
}

bool WavePlayer::queueBlock(std::span<const std::uint8_t> source) {
  for (int round = 0; queued_ >= static_cast<int>(kSlotCount); ++round) {
    if (round == kSlotWaitRounds) return false;
    pump_.pumpMessages();
    pump_.sleepPumping(kSlotWaitMs);
  }
  if (!deviceOpen_) return false;
  const std::size_t length = std::min(source.size(), kBlockSize);
  ++queued_;
  currentSlot_ = currentSlot_ % kSlotCount + 1;
  Slot& slot = slots_[currentSlot_ - 1];

  const bool eightBitMono = bits_ == 8 && channels_ == 1;
  const std::size_t submitted = std::max(length, kMinBlock);
  if (length < kMinBlock) {
    // Silence after the block's own bytes: 128 for unsigned 8-bit samples.
    const std::uint8_t silence = bits_ == 8 ? 128 : 0;
    std::fill(slot.data.begin() + static_cast<std::ptrdiff_t>(length),
              slot.data.begin() + static_cast<std::ptrdiff_t>(kMinBlock), silence);
  }
  std::copy_n(source.begin(), length, slot.data.begin());
  if (eightBitMono && length != kBlockSize && length > 0) slot.data[length - 1] = 128;

  slot.header = platform::WaveBlock{};
  slot.header.data = slot.data.data();
  slot.header.length = static_cast<std::uint32_t>(submitted);
  slot.header.user = currentSlot_;
  if (device_.prepare(slot.header) != Ok) {
    --queued_;
    return false;
  }
  if (device_.write(slot.header) != Ok) {
    // Never written, so no completion will come for it.
    device_.unprepare(slot.header);
    --queued_;
    return false;
  }
  slot.submitted = true;
  return true;
}

int WavePlayer::playSamples(std::span<const std::uint8_t> data, std::uint32_t rate,
                            std::uint16_t bits, std::uint16_t channels) {
  if (fast_) rate = static_cast<std::uint32_t>(std::uint64_t{rate} * 3 / 2);
  const bool mono = channels == 1;
  // Only 8- and 16-bit samples can be cut at their pitch periods.
  const bool compress = compress_ && mono && (bits == 8 || bits == 16);
  const std::uint16_t deviceBits = compress && bits == 16 ? 8 : bits;
  if (const int result = openWaveDevice(rate, deviceBits, channels); result != Ok) return result;

  std::size_t done = 0;
  while (done < data.size()) {
    while (queued_ >= static_cast<int>(kSlotCount)) {
      if (keyStops()) {
        waveStop();
        return 0;
      }
      pump_.sleepPumping(kFullWaitMs);
    }
    if (keyStops()) {
      waveStop();
      return 0;
    }
    const std::size_t n = std::min(data.size() - done, kBlockSize);
    auto piece = data.subspan(done, n);
    if (compress) {
      std::copy(piece.begin(), piece.end(), compressBuffer_.begin());
      const std::size_t m = dropPeriods(std::span(compressBuffer_).first(n), bits, rate);
      piece = std::span<const std::uint8_t>(compressBuffer_).first(m);
    }
    queueBlock(piece);
    done += n;
  }
  return 0;
}

int WavePlayer::playWaveFile(const std::filesystem::path& path) {
  if (keyStops()) return 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) return -1;
  return playWaveStream(in);
}

int WavePlayer::playWaveStream(std::istream& in) {
  if (keyStops()) return 0;
  int result = -1;
  std::uint8_t head[12];
  std::uint8_t* buf = readBuffer_.data();
  if (readSome(in, head, 12) == 12 && idIs(head, "riff") && readSome(in, head, 8) == 8 &&
      idIs(head, "fmt ")) {
    const std::uint32_t fmtLength = le32(head + 4);
    // A fmt chunk bigger than the read buffer, or too small to hold the
    // format, is refused without reading it.
    if (fmtLength >= 16 && fmtLength <= kBlockSize && readSome(in, buf, fmtLength) == fmtLength) {
      const std::uint32_t rate = le32(buf + 4);
      const std::uint16_t bits = le16(buf + 14);
      const std::uint16_t channels = le16(buf + 2);
      while (readSome(in, head, 8) == 8) {
        const std::uint32_t length = le32(head + 4);
        if (!idIs(head, "data")) {
          if (length > kBlockSize || readSome(in, buf, length) != length) break;
          continue;
        }
        result = 0;
        std::uint64_t remaining = length;
        while (remaining > 0) {
          const std::size_t got = readSome(in, buf, filePieceSize(remaining));
          if (got == 0) {
            result = -1;
            break;
          }
          remaining -= got;
          const int played = playSamples(std::span(readBuffer_).first(got), rate, bits, channels);
          if (played != 0) {
            result = played;
            break;
          }
          if (keyStops()) break;
        }
        break;
      }
    }
  }
  while (wavePlaying()) pump_.waitMessage();
  return result;
}

int WavePlayer::playWaveMemory(std::span<const std::uint8_t> image) {
  const std::size_t size = image.size();
  const std::uint8_t* p = image.data();
  if (size < 20 || !idIs(p, "riff") || !idIs(p + 12, "fmt ")) return -1;
  const std::uint64_t fmtLength = le32(p + 16);
  if (fmtLength < 16 || 20 + fmtLength > size) return -1;
  const std::uint32_t rate = le32(p + 24);
  const std::uint16_t bits = le16(p + 34);
  const std::uint16_t channels = le16(p + 22);
  std::uint64_t pos = 20 + fmtLength;
  while (pos + 8 <= size) {
    const std::uint64_t length = le32(p + pos + 4);
    if (idIs(p + pos, "data")) {
      // A length past the end of the image plays what the image holds.
      const std::uint64_t avail = size - (pos + 8);
      const auto n = static_cast<std::size_t>(std::min(length, avail));
      return playSamples(image.subspan(static_cast<std::size_t>(pos + 8), n), rate, bits, channels);
    }
    pos += 8 + length;
  }
  return -1;
}

}  // namespace lamina::wave
