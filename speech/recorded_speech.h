#pragma once
// Recorded-sound speech: the speaking state that all speech shares (is
// anything still sounding, wait for the end, cut everything), recorded
// messages, letters and telephone tones played from wave files, and the two
// synthesized signals, the beep and the click.
#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "diphone/speech_output.h"
#include "numbers/number_speaker.h"
#include "platform/message_pump.h"
#include "platform/messages.h"
#include "speech/engine.h"
#include "speech/front_state.h"
#include "wave/wave_player.h"

namespace lamina::speech {

inline constexpr std::size_t kBeepSamples = 512;
inline constexpr std::size_t kClickSamples = 256;

// The beep: 556 bytes, a header and 512 samples swinging below the midpoint.
std::array<std::uint8_t, wave::kWaveHeaderSize + kBeepSamples> beepImage();

class RecordedSpeech final : public diphone::SpeechOutput, public numbers::RecordedVoice {
 public:
  // Without keys, engines or settings (the diphone speaker's own tools).
  RecordedSpeech(wave::WavePlayer& player, platform::MessagePump& pump);
  RecordedSpeech(wave::WavePlayer& player, platform::MessagePump& pump, KeyInput& keys,
                 EngineDispatcher& engines, FrontState& state);
  RecordedSpeech(const RecordedSpeech&) = delete;
  RecordedSpeech& operator=(const RecordedSpeech&) = delete;

  // A pending key cuts all sound and answers false; otherwise whether the
  // wave player (or an active engine) still sounds. The key stays queued.
  bool isSpeaking() override;
  // Only when speech is pending: waits while anything sounds.
  void waitSpeech();
  void stopSpeech();
  // Plays a wave image and waits for its end (or a key).
  void playWaveImage(std::span<const std::uint8_t> image) override;

  void speakMessage(std::string_view key) override;
  bool messageExists(std::string_view key) const;
  void speakChar(std::uint8_t ch);
  // Stops before the next character once a key is pending.
  void spellText(std::string_view text);
  // Drops pending keys, then plays the beep to its end.
  void beepTone();
  void clickSound();
  std::uint8_t readKeySpoken();
  // Digits, "#" and "*" as telephone tones; "," waits one second.
  void playDtmf(std::string_view text);

  std::filesystem::path messageFile(std::string_view key) const;
  std::filesystem::path charFile(std::uint8_t ch) const;
  std::filesystem::path lettersDirectory() const override { return state_->synthLettersDir; }
  bool keyPending() override { return pump_.keyPressed(); }

  bool interrupted() const { return interrupted_; }
  void setInterrupted(bool on) { interrupted_ = on; }
  bool speechPending() const { return speechPending_; }
  void setSpeechPending(bool on) { speechPending_ = on; }
  std::span<const std::uint8_t> clickImage() const { return click_; }
  FrontState& state() { return *state_; }
  platform::MessagePump& pump() { return pump_; }

  void trace(std::string_view what) const;
  // Waits, pumping, while anything sounds (a key ends it).
  void waitWhileSpeaking();

 private:
  void playFile(const std::filesystem::path& file, std::string_view what);

  wave::WavePlayer& player_;
  platform::MessagePump& pump_;
  KeyInput* keys_ = nullptr;
  EngineDispatcher* engines_ = nullptr;
  FrontState ownState_;
  FrontState* state_ = &ownState_;
  std::array<std::uint8_t, wave::kWaveHeaderSize + kClickSamples> click_{};
  bool speechPending_ = true;
  bool interrupted_ = false;
};

}  // namespace lamina::speech
