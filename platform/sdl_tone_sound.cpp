#include "platform/sdl_tone_sound.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "platform/log.h"

namespace lamina::platform {

namespace {

std::uint32_t le32(std::span<const std::uint8_t> b, std::size_t at) {
  return std::uint32_t{b[at]} | std::uint32_t{b[at + 1]} << 8 | std::uint32_t{b[at + 2]} << 16 |
         std::uint32_t{b[at + 3]} << 24;
}

std::uint16_t le16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

bool idIs(std::span<const std::uint8_t> b, std::size_t at, std::string_view id) {
  for (std::size_t i = 0; i < 4; ++i) {
    const auto c = static_cast<unsigned char>(b[at + i]);
    const auto lower = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    if (lower != static_cast<unsigned char>(id[i])) return false;
  }
  return true;
}

SDL_AudioSpec specFor(const WaveImageData& w, bool& ok) {
  SDL_AudioSpec spec{};
  ok = w.channels >= 1 && w.channels <= 8 && w.samplesPerSecond >= 1000 &&
       w.samplesPerSecond <= 384000;
  switch (w.bitsPerSample) {
    case 8:
      spec.format = AUDIO_U8;
      break;
    case 16:
      spec.format = AUDIO_S16LSB;
      break;
    case 32:
      spec.format = AUDIO_S32LSB;
      break;
    default:
      ok = false;
  }
  spec.freq = static_cast<int>(w.samplesPerSecond);
  spec.channels = static_cast<Uint8>(w.channels);
  spec.samples = 256;
  return spec;
}

}  // namespace

bool parseWaveImage(std::span<const std::uint8_t> image, WaveImageData& out) {
  if (image.size() < 12 || !idIs(image, 0, "riff") || !idIs(image, 8, "wave")) return false;
  bool haveFmt = false;
  std::size_t pos = 12;
  while (image.size() - pos >= 8) {
    const std::uint64_t length = le32(image, pos + 4);
    const std::size_t body = pos + 8;
    const std::size_t avail = image.size() - body;
    if (idIs(image, pos, "fmt ")) {
      if (length < 16 || length > avail || le16(image, body) != 1) return false;
      out.channels = le16(image, body + 2);
      out.samplesPerSecond = le32(image, body + 4);
      out.bitsPerSample = le16(image, body + 14);
      haveFmt = true;
    } else if (idIs(image, pos, "data")) {
      if (!haveFmt) return false;
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(length, avail));
      const std::size_t frame = std::size_t{out.bitsPerSample / 8u} * out.channels;
      if (frame == 0) return false;
      out.samples = image.subspan(body, n - n % frame);
      return !out.samples.empty();
    }
    // Chunks are padded to an even length.
    const std::uint64_t next = body + length + (length & 1);
    if (next > image.size()) return false;
    pos = static_cast<std::size_t>(next);
  }
  return false;
}

SdlToneSound::SdlToneSound() {
  initialised_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
  if (!initialised_) logError("sdl", std::string("no audio for tones: ") + SDL_GetError());
}

SdlToneSound::~SdlToneSound() {
  stopLoop();
  if (beepDevice_ != 0) SDL_CloseAudioDevice(beepDevice_);
  if (initialised_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool SdlToneSound::playLoop(std::span<const std::uint8_t> waveImage) {
  stopLoop();
  WaveImageData w;
  if (!initialised_ || !parseWaveImage(waveImage, w)) return false;
  bool ok = false;
  SDL_AudioSpec want = specFor(w, ok);
  if (!ok) return false;
  want.callback = &SdlToneSound::loopCallback;
  want.userdata = this;
  {
    std::lock_guard lock(mutex_);
    loop_.assign(w.samples.begin(), w.samples.end());
    loopPos_ = 0;
    loopBytes_ = 0;
  }
  SDL_AudioSpec have{};
  loopDevice_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (loopDevice_ == 0)
    logError("sdl", std::string("cannot open a tone device: ") + SDL_GetError());
  if (loopDevice_ == 0) return false;
  SDL_PauseAudioDevice(loopDevice_, 0);
  return true;
}

void SdlToneSound::stopLoop() {
  if (loopDevice_ == 0) return;
  SDL_CloseAudioDevice(loopDevice_);
  loopDevice_ = 0;
}

std::uint64_t SdlToneSound::loopBytesPlayed() {
  std::lock_guard lock(mutex_);
  return loopBytes_;
}

void SdlToneSound::loopCallback(void* self, std::uint8_t* stream, int length) {
  auto& me = *static_cast<SdlToneSound*>(self);
  std::lock_guard lock(me.mutex_);
  const std::size_t total = length > 0 ? static_cast<std::size_t>(length) : 0;
  std::size_t filled = 0;
  while (filled < total) {
    const std::size_t n = std::min(total - filled, me.loop_.size() - me.loopPos_);
    std::memcpy(stream + filled, me.loop_.data() + me.loopPos_, n);
    filled += n;
    me.loopPos_ = (me.loopPos_ + n) % me.loop_.size();
  }
  me.loopBytes_ += total;
}

void SdlToneSound::beep() {
  if (!initialised_) return;
  if (beepDevice_ != 0) {
    SDL_CloseAudioDevice(beepDevice_);
    beepDevice_ = 0;
  }
  // A short 880 Hz ding that fades out, queued whole.
  constexpr int kRate = 22050;
  constexpr int kFrames = kRate / 8;
  std::vector<std::int16_t> samples(kFrames);
  for (int i = 0; i < kFrames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double fade = 1.0 - static_cast<double>(i) / kFrames;
    samples[static_cast<std::size_t>(i)] =
        static_cast<std::int16_t>(9000.0 * fade * std::sin(2.0 * 3.14159265358979 * 880.0 * t));
  }
  SDL_AudioSpec want{};
  want.freq = kRate;
  want.format = AUDIO_S16SYS;
  want.channels = 1;
  want.samples = 512;
  beepDevice_ = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
  if (beepDevice_ == 0) logError("sdl", std::string("cannot open the bell: ") + SDL_GetError());
  if (beepDevice_ == 0) return;
  SDL_QueueAudio(beepDevice_, samples.data(),
                 static_cast<Uint32>(samples.size() * sizeof(std::int16_t)));
  SDL_PauseAudioDevice(beepDevice_, 0);
}

}  // namespace lamina::platform
