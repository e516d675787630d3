#pragma once
// The speech front-end: starts and stops speech with the settings of
// ORALIS.INI for a speed, opens the diphone synthesizer, fixes the two sound
// directories and, when configured, starts one outside engine; it holds the
// recorded speech, number speaking and text speaking that use them.
#include <functional>
#include <string>
#include <string_view>

#include "diphone/database.h"
#include "diphone/letter_rules.h"
#include "diphone/speaker.h"
#include "numbers/number_speaker.h"
#include "platform/message_pump.h"
#include "speech/config.h"
#include "speech/engine.h"
#include "speech/front_state.h"
#include "speech/recorded_speech.h"
#include "speech/text_speaker.h"
#include "wave/wave_player.h"

namespace lamina::speech {

// The console lines of a failed start: two lines written, a line read (the
// wait for Enter), then the program is ended.
class StartConsole {
 public:
  virtual ~StartConsole() = default;
  virtual void writeLine(std::string_view text) = 0;
  virtual void readLine() = 0;
  virtual void closeConsole() = 0;
};

// The settings of one speed, as read.
struct SpeedSettings {
  std::string databaseName;  // empty: the synthesizer keeps its own
  int cutLength = 0;
  int keepLength = 0;
  int wordPause = 0;
  bool cutLengthSet = false;
  bool keepLengthSet = false;
  bool wordPauseSet = false;
  bool compress = false;
  bool fast = false;
  int fullStopPause = 250;
  int commaPause = 150;
  int colonPause = 200;
};

SpeedSettings readSpeedSettings(const ConfigReader& config, int speed);

struct SpeechParts {
  wave::WavePlayer& player;
  platform::MessagePump& pump;
  KeyInput& keys;
  StartConsole& console;
  diphone::LetterRules& rules;
  diphone::DiphoneDatabase& database;
  ConfigPlaces places;
  EngineSet engines;
  numbers::NumberSpeaker::Clock clock;
};

class SpeechFront {
 public:
  explicit SpeechFront(SpeechParts parts);
  SpeechFront(const SpeechFront&) = delete;
  SpeechFront& operator=(const SpeechFront&) = delete;

  // False when the synthesizer could not be opened (the failure has been
  // shown and the console told to end the program).
  bool speechStart(int speed, std::string_view soundDirectory);
  void speechStop();
  std::string readConfigValue(std::string_view section, std::string_view key) const {
    return config_.readConfigValue(section, key);
  }

  void setTrace(std::function<void(std::string_view)> trace);

  FrontState& state() { return state_; }
  EngineDispatcher& engines() { return engines_; }
  RecordedSpeech& recorded() { return recorded_; }
  numbers::NumberSpeaker& numbers() { return numbers_; }
  diphone::DiphoneSpeaker& synthesizer() { return synthesizer_; }
  TextSpeaker& text() { return text_; }
  const ConfigReader& config() const { return config_; }

 private:
  void applySpeedSettings(int speed);

  wave::WavePlayer& player_;
  platform::MessagePump& pump_;
  StartConsole& console_;
  diphone::DiphoneDatabase& database_;
  ConfigReader config_;
  FrontState state_;
  EngineDispatcher engines_;
  RecordedSpeech recorded_;
  numbers::NumberSpeaker numbers_;
  diphone::DiphoneSpeaker synthesizer_;
  TextSpeaker text_;
};

}  // namespace lamina::speech
