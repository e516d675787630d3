#pragma once
// Outside speech engines and the dispatcher that every part of the speech
// front-end uses to reach the one chosen by TIPOSAPI (3, 5, any other).
#include <cstdint>
#include <string_view>

#include "platform/message_pump.h"

namespace lamina::speech {

class SpeechEngine {
 public:
  virtual ~SpeechEngine() = default;
  // True when the engine can speak.
  virtual bool start(int voice, int speed, int pitch, std::string_view outputFile) = 0;
  virtual void stop() = 0;
  // Returns while the sound may still be playing.
  virtual void speak(std::string_view text) = 0;
  // strict: only texts still waiting count, not audio still playing.
  virtual bool busy(bool strict) = 0;
  // Silences at once.
  virtual void cut() = 0;
};

// The engines that exist; an absent one behaves as one whose start fails.
struct EngineSet {
  SpeechEngine* typeThree = nullptr;  // TIPOSAPI 3
  SpeechEngine* typeFive = nullptr;   // TIPOSAPI 5
  SpeechEngine* other = nullptr;      // any other TIPOSAPI
};

class EngineDispatcher {
 public:
  static constexpr unsigned kPollMs = 50;
  // An engine still busy after this long is taken as idle, so a broken
  // engine cannot hold start-up for ever.
  static constexpr unsigned kMaxStartWaitMs = 30000;

  EngineDispatcher(platform::MessagePump& pump, EngineSet engines = {});

  // Stores the type, starts its engine and waits, pumping, until the engine
  // is idle.
  bool engineStart(int voice, int speed, int pitch, std::string_view outputFile, int type);
  void engineStop();
  void engineSpeak(std::string_view text);
  // Pumps the console's messages before asking.
  bool engineBusy(bool strict);
  void engineCut();

  int dispatcherType() const { return type_; }

 private:
  SpeechEngine* chosen() const;

  platform::MessagePump& pump_;
  EngineSet engines_;
  int type_ = 4;
};

}  // namespace lamina::speech
