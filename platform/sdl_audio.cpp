#include "platform/sdl_audio.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>

#include "platform/log.h"

namespace lamina::platform {

namespace {

bool sdlFormatFor(std::uint16_t bits, SDL_AudioFormat& out) {
  switch (bits) {
    case 8:
      out = AUDIO_U8;
      return true;
    case 16:
      out = AUDIO_S16LSB;
      return true;
    case 32:
      out = AUDIO_S32LSB;
      return true;
    default:
      return false;  // SDL has no 24-bit samples
  }
}

// The largest power of two not above the frames of bufferMs, at least 64.
std::uint16_t bufferFramesFor(std::uint32_t rate, unsigned bufferMs) {
  const std::uint64_t frames = std::uint64_t{rate} * bufferMs / 1000;
  std::uint32_t n = 64;
  while (n * 2 <= frames && n < 16384) n *= 2;
  return static_cast<std::uint16_t>(n);
}

}  // namespace

SdlWaveOut::SdlWaveOut(unsigned bufferMs) : bufferMs_(bufferMs) {
  initialised_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
  if (!initialised_) logError("sdl", std::string("no audio: ") + SDL_GetError());
}

SdlWaveOut::~SdlWaveOut() {
  if (device_ != 0) SDL_CloseAudioDevice(device_);
  if (initialised_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void SdlWaveOut::setFeedObserver(std::function<void(std::size_t)> observer) {
  std::lock_guard lock(mutex_);
  observer_ = std::move(observer);
}

WaveResult SdlWaveOut::open(const PcmFormat& format, MessagePump& notify) {
  if (!initialised_) return WaveResult::noDriver;
  if (device_ != 0) return WaveResult::allocated;
  SDL_AudioFormat sdlFormat = 0;
  if (checkPcmFormat(format) != WaveResult::ok || !sdlFormatFor(format.bitsPerSample, sdlFormat)) {
    return WaveResult::badFormat;
  }
  SDL_AudioSpec want{};
  want.freq = static_cast<int>(format.samplesPerSecond);
  want.format = sdlFormat;
  want.channels = static_cast<Uint8>(format.channels);
  want.samples = bufferFramesFor(format.samplesPerSecond, bufferMs_);
  want.callback = &SdlWaveOut::callback;
  want.userdata = this;
  SDL_AudioSpec have{};
  {
    std::lock_guard lock(mutex_);
    queue_.clear();
    handed_.clear();
    offset_ = 0;
    soundLogged_ = false;
  }
  notify_ = &notify;
  // No changes allowed: SDL converts to whatever the hardware wants, and the
  // callback always sees the format the blocks are in.
  const SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (id == 0) logError("sdl", std::string("cannot open the wave output: ") + SDL_GetError());
  if (id == 0) return WaveResult::error;
  device_ = id;
  silence_ = have.silence;
  obtained_.samplesPerSecond = static_cast<std::uint32_t>(have.freq);
  obtained_.channels = have.channels;
  obtained_.bitsPerSample = static_cast<std::uint16_t>(SDL_AUDIO_BITSIZE(have.format));
  obtained_.isSigned = SDL_AUDIO_ISSIGNED(have.format) != 0;
  obtained_.isFloat = SDL_AUDIO_ISFLOAT(have.format) != 0;
  obtained_.bigEndian = SDL_AUDIO_ISBIGENDIAN(have.format) != 0;
  obtained_.bufferFrames = have.samples;
  // Names the format the device plays, for whoever measures what reaches it.
  logInfo("sdl", "wave output open: " + std::to_string(have.freq) + " Hz, " +
                     std::to_string(obtained_.bitsPerSample) + " bits, " +
                     std::to_string(have.channels) + " channel(s), " +
                     std::to_string(have.samples) + " frames a buffer");
  SDL_PauseAudioDevice(device_, 0);
  return WaveResult::ok;
}

WaveResult SdlWaveOut::prepare(WaveBlock& block) {
  if (device_ == 0) return WaveResult::invalidHandle;
  block.flags = waveflags::Prepared;
  return WaveResult::ok;
}

WaveResult SdlWaveOut::write(WaveBlock& block) {
  if (device_ == 0) return WaveResult::invalidHandle;
  if ((block.flags & waveflags::Prepared) == 0) return WaveResult::error;
  block.flags = (block.flags | waveflags::InQueue) & ~waveflags::Done;
  std::lock_guard lock(mutex_);
  queue_.push_back(&block);
  return WaveResult::ok;
}

WaveResult SdlWaveOut::unprepare(WaveBlock& block) {
  if (device_ == 0) return WaveResult::invalidHandle;
  {
    std::lock_guard lock(mutex_);
    const bool queued = std::find(queue_.begin(), queue_.end(), &block) != queue_.end() ||
                        std::find(handed_.begin(), handed_.end(), &block) != handed_.end();
    if (queued) return WaveResult::stillPlaying;
  }
  block.flags &= ~(waveflags::Prepared | waveflags::InQueue);
  block.flags |= waveflags::Done;
  return WaveResult::ok;
}

WaveResult SdlWaveOut::reset() {
  if (device_ == 0) return WaveResult::invalidHandle;
  std::vector<WaveBlock*> done;
  {
    // The callback holds the lock while it copies, so once we have it no
    // block is being read any more.
    std::lock_guard lock(mutex_);
    done.assign(handed_.begin(), handed_.end());
    done.insert(done.end(), queue_.begin(), queue_.end());
    handed_.clear();
    queue_.clear();
    offset_ = 0;
  }
  for (WaveBlock* block : done) postDone(block);
  return WaveResult::ok;
}

WaveResult SdlWaveOut::close() {
  if (device_ == 0) return WaveResult::invalidHandle;
  {
    // Blocks handed over in the last buffer still await their notice.
    std::lock_guard lock(mutex_);
    if (!queue_.empty() || !handed_.empty()) return WaveResult::stillPlaying;
  }
  SDL_CloseAudioDevice(device_);
  device_ = 0;
  return WaveResult::ok;
}

void SdlWaveOut::postDone(WaveBlock* block) {
  if (notify_ == nullptr) return;
  notify_->postMessage(kMsgWaveDone, reinterpret_cast<std::uintptr_t>(this),
                       reinterpret_cast<std::uintptr_t>(block));
}

void SdlWaveOut::callback(void* self, std::uint8_t* stream, int length) {
  static_cast<SdlWaveOut*>(self)->fill(stream, length > 0 ? static_cast<std::size_t>(length) : 0);
}

void SdlWaveOut::fill(std::uint8_t* stream, std::size_t length) {
  std::lock_guard lock(mutex_);
  // The previous buffer has gone to the driver by the time SDL asks for the
  // next one, so the blocks it finished have now been played.
  for (WaveBlock* block : handed_) postDone(block);
  handed_.clear();
  std::size_t filled = 0;
  while (filled < length && !queue_.empty()) {
    WaveBlock* block = queue_.front();
    const std::size_t left = block->length - offset_;
    const std::size_t n = std::min(left, length - filled);
    if (n > 0) std::memcpy(stream + filled, block->data + offset_, n);
    filled += n;
    offset_ += n;
    if (offset_ >= block->length) {
      handed_.push_back(block);
      queue_.pop_front();
      offset_ = 0;
    }
  }
  if (filled < length) std::memset(stream + filled, silence_, length - filled);
  if (filled > 0 && !soundLogged_ && processLog().enabled(LogLevel::info)) {
    // On the steady clock (CLOCK_MONOTONIC), so that whoever started the
    // program can tell how long its first sound took to reach the device;
    // nothing is built on the audio thread when nobody logs it.
    soundLogged_ = true;
    const auto ms = std::chrono::duration<double, std::milli>(
        std::chrono::steady_clock::now().time_since_epoch());
    logInfo("sdl", "first sound to the device at " + std::to_string(ms.count()) + " ms");
  }
  if (observer_) observer_(filled);
}

}  // namespace lamina::platform
