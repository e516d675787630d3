#pragma once
// An outside engine behind the real dispatcher, playing through the real
// wave player into the recording device.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/recording_wave_out.h"
#include "speech/engine.h"
#include "wave/simple_pump.h"
#include "wave/wave_player.h"

namespace lamina::sapi::testing {

class EngineFixture : public ::testing::Test {
 protected:
  void SetUp() override { device.setAutoComplete(true); }
  // Puts `engine` in the slot of TIPOSAPI 4 or 5 of the dispatcher.
  void use(speech::SpeechEngine& engine, int type) {
    speech::EngineSet set;
    (type == 5 ? set.typeFive : set.other) = &engine;
    dispatcherPtr = std::make_unique<speech::EngineDispatcher>(pump, set);
  }
  speech::EngineDispatcher& dispatcher() { return *dispatcherPtr; }

  std::size_t bytesHeard() const {
    std::size_t n = 0;
    for (const auto& s : device.submissions()) n += s.bytes.size();
    return n;
  }
  // Pumps until the dispatcher reports the engine idle; false when it is
  // still busy after `limit`.
  bool waitIdle(std::chrono::seconds limit = std::chrono::seconds(60)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (dispatcher().engineBusy(false)) {
      if (std::chrono::steady_clock::now() > end) return false;
      pump.sleepPumping(2);
    }
    return true;
  }
  // Pumps until `done` holds; false after `limit`.
  template <typename F>
  bool pumpUntil(F done, std::chrono::seconds limit = std::chrono::seconds(20)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      dispatcher().engineBusy(false);
      pump.sleepPumping(2);
    }
    return true;
  }

  platform::RecordingWaveOut device;
  wave::SimplePump pump;
  wave::WavePlayer player{device, pump};
  std::unique_ptr<speech::EngineDispatcher> dispatcherPtr;
};

}  // namespace lamina::sapi::testing
