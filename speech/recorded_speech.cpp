#include "speech/recorded_speech.h"

namespace lamina::speech {

RecordedSpeech::RecordedSpeech(wave::WavePlayer& player, platform::MessagePump& pump)
    : player_(player), pump_(pump) {}

bool RecordedSpeech::isSpeaking() {
  if (pump_.keyPressed()) {
    stopSpeech();
    return false;
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

}  // namespace lamina::speech
