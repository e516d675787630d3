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
  // Ctrl+C and SIGTERM are the program's to handle (QuitSignals); SDL would
  // turn them into a quit event that a console without a window never reads.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  initialised_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
  if (!initialised_) logError("sdl", std::string("no audio for tones: ") + SDL_GetError());
}

SdlToneSound::~SdlToneSound() {
  closeDevice();
  if (beepDevice_ != 0) SDL_CloseAudioDevice(beepDevice_);
  if (initialised_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool SdlToneSound::openDevice(const WaveImageData& w) {
  if (loopDevice_ != 0 && w.samplesPerSecond == rate_ && w.bitsPerSample == bits_ &&
      w.channels == channels_) {
    return true;
  }
  closeDevice();
  bool ok = false;
  SDL_AudioSpec want = specFor(w, ok);
  if (!ok) return false;
  want.callback = &SdlToneSound::loopCallback;
  want.userdata = this;
  loopDevice_ = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
  if (loopDevice_ == 0) {
    logError("sdl", std::string("cannot open a tone device: ") + SDL_GetError());
    return false;
  }
  ++devicesOpened_;
  rate_ = w.samplesPerSecond;
  bits_ = w.bitsPerSample;
  channels_ = w.channels;
  SDL_PauseAudioDevice(loopDevice_, 0);
  return true;
}

void SdlToneSound::closeDevice() {
  if (loopDevice_ != 0) SDL_CloseAudioDevice(loopDevice_);
  loopDevice_ = 0;
  std::lock_guard lock(mutex_);
  tones_.clear();
}

bool SdlToneSound::playLoop(std::span<const std::uint8_t> waveImage) {
  stopLoop();
  WaveImageData w;
  if (!initialised_ || !parseWaveImage(waveImage, w) || !openDevice(w)) return false;
  std::lock_guard lock(mutex_);
  Tone tone;
  tone.samples.assign(w.samples.begin(), w.samples.end());
  tone.asked = std::chrono::steady_clock::now();
  tones_.push_back(std::move(tone));
  loopBytes_ = 0;
  looping_ = true;
  return true;
}

void SdlToneSound::stopLoop() {
  if (!looping_) return;
  looping_ = false;
  std::lock_guard lock(mutex_);
  if (tones_.empty()) return;
  // The tone lasts as long as it was asked to, however late its first
  // sample reached the device.
  Tone& tone = tones_.back();
  const auto asked = std::chrono::steady_clock::now() - tone.asked;
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(asked).count();
  const std::uint64_t frame = std::uint64_t{bits_ / 8u} * channels_;
  tone.length = static_cast<std::uint64_t>(micros) * rate_ / 1000000 * frame;
  tone.stopped = true;
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
  while (filled < total && !me.tones_.empty()) {
    Tone& tone = me.tones_.front();
    if (tone.stopped && tone.played >= tone.length) {
      me.tones_.pop_front();
      continue;
    }
    std::size_t n = std::min(total - filled, tone.samples.size() - tone.pos);
    if (tone.stopped)
      n = static_cast<std::size_t>(std::min<std::uint64_t>(n, tone.length - tone.played));
    std::memcpy(stream + filled, tone.samples.data() + tone.pos, n);
    filled += n;
    tone.played += n;
    tone.pos = (tone.pos + n) % tone.samples.size();
    if (&tone == &me.tones_.back()) me.loopBytes_ += n;
  }
  // Silence between tones: the midline of the device's format.
  const std::uint8_t silence = me.bits_ == 8 ? 128 : 0;
  std::memset(stream + filled, silence, total - filled);
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
