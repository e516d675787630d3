#pragma once
// The speech front-end's state, one set per process, shared by recorded
// speech, text speaking and start/stop.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "platform/message_pump.h"
#include "wave/simple_pump.h"

namespace lamina::speech {

struct FrontState {
  int speed = 3;
  // The caller's directory of recorded messages; ends in a separator when
  // not empty. Empty means the current directory.
  std::string soundDir;
  // Letters directory of "_" message keys (DIRLETRAS).
  std::string lettersDir;
  // The diphone synthesizer's copy of the letters directory, used for
  // character sounds, telephone tones and number words.
  std::filesystem::path synthLettersDir;
  bool engineActive = false;
  int engineType = 4;
  int fullStopPause = 250;
  int commaPause = 150;
  int colonPause = 200;
  // When set, told of every sound in order: "key _DEL", "char 65",
  // "pause 150", "beep", "click", "units ..." (for lamina-say --trace).
  std::function<void(std::string_view)> trace;
};

// Where keys are read from: the console's queue.
class KeyInput {
 public:
  virtual ~KeyInput() = default;
  // Waits (pumping) for a key and takes it.
  virtual std::uint8_t readKey() = 0;
};

// Keys of a SimplePump, for tools and tests.
class PumpKeys final : public KeyInput {
 public:
  explicit PumpKeys(wave::SimplePump& pump) : pump_(pump) {}
  std::uint8_t readKey() override {
    while (!pump_.keyPressed()) pump_.waitMessage();
    return pump_.takeKey();
  }

 private:
  wave::SimplePump& pump_;
};

}  // namespace lamina::speech
