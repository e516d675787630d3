// The wave player on the program's real pump: the console window's message
// queue carries the device's completions (message 957) and the keys.
#include <gtest/gtest.h>

#include <vector>

#include "console/console.h"
#include "platform/headless_window.h"
#include "platform/recording_wave_out.h"
#include "platform/sound.h"
#include "wave/wave_player.h"

namespace lamina::wave {
namespace {

class ConsolePumpTest : public ::testing::Test {
 protected:
  ConsolePumpTest() {
    console::ConsoleOptions options;
    options.iniFile = "absent-ORALIS.INI";
    options.terminate = [](int) { FAIL() << "the program ended"; };
    console_ = std::make_unique<console::Console>(window_, tones_, options);
    console_->ensureConsole();
  }
  std::vector<std::uint8_t> image(std::size_t samples) {
    std::vector<std::uint8_t> bytes(44 + samples, 100);
    makeWaveHeader(bytes, static_cast<std::uint32_t>(samples), 11025, 8, 1);
    return bytes;
  }

  platform::HeadlessWindow window_;
  platform::SilentToneSound tones_;
  std::unique_ptr<console::Console> console_;
  platform::RecordingWaveOut device_;
};

TEST_F(ConsolePumpTest, CompletionsTravelThroughTheConsoleQueue) {
  WavePlayer player(device_, *console_);
  ASSERT_EQ(player.playWaveMemory(image(70000)), platform::WaveResult::ok);
  EXPECT_TRUE(player.wavePlaying());
  ASSERT_EQ(device_.submissions().size(), 2u);
  // The device posts its notices to the window; they reach the player only
  // when the console pumps.
  device_.completeAll();
  EXPECT_EQ(player.queuedBlocks(), 2);
  console_->pumpMessages();
  EXPECT_EQ(player.queuedBlocks(), 0);
  EXPECT_FALSE(player.wavePlaying());
  EXPECT_FALSE(player.deviceOpen());
  EXPECT_FALSE(console_->keyPressed());
}

TEST_F(ConsolePumpTest, AKeyTypedDuringASoundCutsItAndStaysQueued) {
  WavePlayer player(device_, *console_);
  player.setWaveStopOnKey(true);
  ASSERT_EQ(player.playWaveMemory(image(30000)), platform::WaveResult::ok);
  ASSERT_TRUE(player.wavePlaying());
  platform::Message key;
  key.type = platform::MessageType::Char;
  key.code = 'x';
  window_.postMessage(key);
  // The player's wait sees the key, stops the device and returns.
  EXPECT_FALSE(player.wavePlaying());
  EXPECT_GE(device_.resets(), 1);
  EXPECT_EQ(console_->readKey(), 'x');
}

}  // namespace
}  // namespace lamina::wave
