#pragma once
// Recorded-sound speech: the speaking state that all speech shares (is
// anything still sounding, wait for the end, cut everything) and the playing
// of synthesized wave images through the wave player.
#include <cstdint>
#include <span>

#include "diphone/speech_output.h"
#include "platform/message_pump.h"
#include "wave/wave_player.h"

namespace lamina::speech {

class RecordedSpeech final : public diphone::SpeechOutput {
 public:
  RecordedSpeech(wave::WavePlayer& player, platform::MessagePump& pump);

  // A pending key cuts all sound and answers false; otherwise whether the
  // wave player still plays. The key stays queued for the program.
  bool isSpeaking() override;
  // Only when speech is pending: waits while anything sounds.
  void waitSpeech();
  void stopSpeech();
  // Plays a wave image and waits for its end (or a key).
  void playWaveImage(std::span<const std::uint8_t> image) override;

  bool interrupted() const { return interrupted_; }
  void setInterrupted(bool on) { interrupted_ = on; }
  bool speechPending() const { return speechPending_; }
  void setSpeechPending(bool on) { speechPending_ = on; }

 private:
  void waitWhileSpeaking();

  wave::WavePlayer& player_;
  platform::MessagePump& pump_;
  bool speechPending_ = true;
  bool interrupted_ = false;
};

}  // namespace lamina::speech
