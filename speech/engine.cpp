#include "speech/engine.h"

namespace lamina::speech {

EngineDispatcher::EngineDispatcher(platform::MessagePump& pump, EngineSet engines)
    : pump_(pump), engines_(engines) {}

SpeechEngine* EngineDispatcher::chosen() const {
  if (type_ == 3) return engines_.typeThree;
  if (type_ == 5) return engines_.typeFive;
  return engines_.other;
}

bool EngineDispatcher::engineStart(int voice, int speed, int pitch, std::string_view outputFile,
                                   int type) {
  type_ = type;
  SpeechEngine* engine = chosen();
  if (engine == nullptr || !engine->start(voice, speed, pitch, outputFile)) return false;
  for (unsigned waited = 0; waited < kMaxStartWaitMs && engineBusy(true); waited += kPollMs) {
    pump_.sleepPumping(kPollMs);
  }
  return true;
}

void EngineDispatcher::engineStop() {
  if (SpeechEngine* engine = chosen()) engine->stop();
}

void EngineDispatcher::engineSpeak(std::string_view text) {
  if (SpeechEngine* engine = chosen()) engine->speak(text);
}

bool EngineDispatcher::engineBusy(bool strict) {
  pump_.pumpMessages();
  SpeechEngine* engine = chosen();
  return engine != nullptr && engine->busy(strict);
}

void EngineDispatcher::engineCut() {
  if (SpeechEngine* engine = chosen()) engine->cut();
}

}  // namespace lamina::speech
