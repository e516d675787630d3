#include "platform/sdl_tone_sound.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "platform/log.h"
#include "platform/riff.h"

namespace lamina::platform {

namespace {

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
  riff::WaveImage w;
  const riff::WaveReadResult read = riff::readWaveImage(image, {.formatFirst = false}, w);
  if (read != riff::WaveReadResult::ok && read != riff::WaveReadResult::shortData) return false;
  const riff::WaveFormat& f = w.chunks.format;
  if (!w.chunks.waveForm || w.chunks.formatLength < 16 || f.formatTag != 1) return false;
  out.channels = f.channels;
  out.samplesPerSecond = f.samplesPerSecond;
  out.bitsPerSample = f.bitsPerSample;
  const std::size_t frame = std::size_t{out.bitsPerSample / 8u} * out.channels;
  if (frame == 0) return false;
  out.samples = w.data.first(w.data.size() - w.data.size() % frame);
  return !out.samples.empty();
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
