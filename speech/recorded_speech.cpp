#include "speech/recorded_speech.h"

#include <random>
#include <system_error>

#include "platform/paths.h"
#include "speech/config.h"

namespace fs = std::filesystem;

namespace lamina::speech {
namespace {

fs::path inDirectory(std::string_view dir, const std::string& name) {
  return paths::findNoCase(dir.empty() ? fs::path(".") : configPath(dir), name);
}

}  // namespace

std::array<std::uint8_t, wave::kWaveHeaderSize + kBeepSamples> beepImage() {
  static constexpr std::array<std::uint8_t, 8> kCycle = {128, 112, 96, 80, 64, 80, 96, 112};
  std::array<std::uint8_t, wave::kWaveHeaderSize + kBeepSamples> image{};
  wave::makeWaveHeader(image, kBeepSamples, 11025, 8, 1);
  for (std::size_t i = 0; i < kBeepSamples; ++i) {
    image[wave::kWaveHeaderSize + i] = kCycle[i % kCycle.size()];
  }
  image.back() = 128;
  return image;
}

RecordedSpeech::RecordedSpeech(wave::WavePlayer& player, platform::MessagePump& pump)
    : player_(player), pump_(pump) {
  wave::makeWaveHeader(click_, kClickSamples, 11025, 8, 1);
  std::random_device seed;
  std::minstd_rand random(seed());
  std::uniform_int_distribution<int> value(0, 59);
  for (std::size_t i = 0; i < kClickSamples; ++i) {
    click_[wave::kWaveHeaderSize + i] =
        static_cast<std::uint8_t>(i < 64 ? 128 + value(random) : 128);
  }
}

RecordedSpeech::RecordedSpeech(wave::WavePlayer& player, platform::MessagePump& pump,
                               KeyInput& keys, EngineDispatcher& engines, FrontState& state)
    : RecordedSpeech(player, pump) {
  keys_ = &keys;
  engines_ = &engines;
  state_ = &state;
}

void RecordedSpeech::trace(std::string_view what) const {
  if (state_->trace) state_->trace(what);
}

bool RecordedSpeech::isSpeaking() {
  if (pump_.keyPressed()) {
    stopSpeech();
    return false;
  }
  if (state_->engineActive && engines_ != nullptr) {
    return player_.wavePlaying() || engines_->engineBusy(false);
  }
  return player_.wavePlaying();
}

void RecordedSpeech::waitSpeech() {
  if (!speechPending_) return;
  waitWhileSpeaking();
  speechPending_ = false;
}

void RecordedSpeech::stopSpeech() {
  player_.waveStop();
  interrupted_ = true;
  if (state_->engineActive && engines_ != nullptr &&
      (engines_->engineBusy(false) || state_->engineType == 3)) {
    engines_->engineCut();
  }
  pump_.postMessage(platform::kMsgSpeechWake, 0, 0);
}

void RecordedSpeech::playWaveImage(std::span<const std::uint8_t> image) {
  waitSpeech();
  player_.playWaveMemory(image);
  waitWhileSpeaking();
}

void RecordedSpeech::waitWhileSpeaking() {
  // Each completion of the device arrives as a message, so sleeping until
  // the next one misses nothing.
  while (isSpeaking()) pump_.waitMessage();
}

fs::path RecordedSpeech::messageFile(std::string_view key) const {
  const std::string name = std::string(key) + ".wav";
  if (key.starts_with('_')) return inDirectory(state_->lettersDir, name);
  return inDirectory(state_->soundDir, name);
}

fs::path RecordedSpeech::charFile(std::uint8_t ch) const {
  return paths::findNoCase(state_->synthLettersDir, "_" + std::to_string(ch) + ".wav");
}

void RecordedSpeech::playFile(const fs::path& file, std::string_view what) {
  trace(what);
  // A missing or damaged file plays nothing or a part; that is all.
  player_.playWaveFile(file);
}

void RecordedSpeech::speakMessage(std::string_view key) {
  waitSpeech();
  playFile(messageFile(key), "key " + std::string(key));
}

bool RecordedSpeech::messageExists(std::string_view key) const {
  std::error_code ec;
  return fs::is_regular_file(messageFile(key), ec);
}

void RecordedSpeech::speakChar(std::uint8_t ch) {
  waitSpeech();
  playFile(charFile(ch), "char " + std::to_string(ch));
}

void RecordedSpeech::spellText(std::string_view text) {
  for (const char c : text) {
    if (pump_.keyPressed()) return;
    speakChar(static_cast<std::uint8_t>(c));
  }
}

void RecordedSpeech::beepTone() {
  waitSpeech();
  // Keys typed ahead would cut the beep that tells they were refused.
  while (pump_.keyPressed() && keys_ != nullptr) keys_->readKey();
  trace("beep");
  static const auto kBeep = beepImage();
  player_.playWaveMemory(kBeep);
  waitWhileSpeaking();
}

void RecordedSpeech::clickSound() {
  waitSpeech();
  const bool compress = player_.waveCompress();
  player_.setWaveCompress(false);
  trace("click");
  player_.playWaveMemory(click_);
  waitWhileSpeaking();
  player_.setWaveCompress(compress);
}

std::uint8_t RecordedSpeech::readKeySpoken() {
  const std::uint8_t key = keys_ != nullptr ? keys_->readKey() : 0;
  stopSpeech();
  speakChar(key);
  return key;
}

void RecordedSpeech::playDtmf(std::string_view text) {
  const bool fast = player_.waveFast();
  player_.setWaveFast(false);
  for (const char raw : text) {
    const char c = (raw >= 'a' && raw <= 'z') ? static_cast<char>(raw - 32) : raw;
    if ((c >= '0' && c <= '9') || c == '#' || c == '*') {
      const std::string name = c == '*' ? "X" : std::string(1, c);
      playFile(paths::findNoCase(state_->synthLettersDir, "dtmf_" + name + ".wav"), "dtmf " + name);
      waitWhileSpeaking();
      trace("pause 100");
      pump_.sleepPumping(100);
    } else if (c == ',') {
      trace("pause 1000");
      pump_.sleepPumping(1000);
    }
  }
  player_.setWaveFast(fast);
}

}  // namespace lamina::speech
