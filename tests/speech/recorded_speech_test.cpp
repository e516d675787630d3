#include "speech/recorded_speech.h"

#include <gtest/gtest.h>

#include <vector>

#include "diphone/speaker.h"
#include "platform/recording_wave_out.h"
#include "tests/diphone/database_fixture.h"
#include "wave/simple_pump.h"
#include "wave/wave_player.h"

namespace lamina::speech {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes image(const Bytes& samples) {
  Bytes out(wave::kWaveHeaderSize);
  wave::makeWaveHeader(out, static_cast<std::uint32_t>(samples.size()), 11025, 8, 1);
  out.insert(out.end(), samples.begin(), samples.end());
  return out;
}

// Samples that end on the zero line, as the player silences a block's last
// byte.
Bytes tone(std::size_t n) {
  Bytes v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(100 + i % 50);
  v.back() = 128;
  return v;
}

class RecordedSpeechTest : public ::testing::Test {
 protected:
  // The device finishes one block whenever the program would sleep.
  void SetUp() override {
    pump.setIdleHook([this] {
      ASSERT_LT(++idle, 100000) << "never stopped waiting";
      if (device.completeNext() && ++completed == keyAfterBlocks) pump.pushKey('k');
    });
  }
  Bytes played() const {
    Bytes all;
    for (const auto& s : device.submissions())
      all.insert(all.end(), s.bytes.begin(), s.bytes.end());
    return all;
  }

  platform::RecordingWaveOut device;
  wave::SimplePump pump;
  wave::WavePlayer player{device, pump};
  RecordedSpeech speech{player, pump};
  int idle = 0;
  int completed = 0;
  int keyAfterBlocks = -1;
};

TEST_F(RecordedSpeechTest, PlayWaveImageWaitsUntilEverythingIsPlayed) {
  const Bytes samples = tone(150000);
  speech.playWaveImage(image(samples));
  EXPECT_EQ(played(), samples);
  EXPECT_EQ(device.queuedBlocks(), 0u);
  EXPECT_FALSE(speech.isSpeaking());
  EXPECT_FALSE(speech.speechPending());
  EXPECT_FALSE(speech.interrupted());
}

TEST_F(RecordedSpeechTest, PendingKeyCutsTheSoundAndStaysQueued) {
  ASSERT_EQ(player.playWaveMemory(image(tone(200000))), platform::WaveResult::ok);
  EXPECT_TRUE(speech.isSpeaking());
  pump.pushKey('x');
  EXPECT_FALSE(speech.isSpeaking());
  EXPECT_TRUE(speech.interrupted());
  EXPECT_FALSE(player.deviceOpen());
  EXPECT_EQ(pump.keyCount(), 1u);
}

TEST_F(RecordedSpeechTest, KeyPressedWhilePlayingEndsTheWait) {
  keyAfterBlocks = 2;
  // Four blocks fit the queue; the key comes after two are done, so the
  // rest of the image is never queued.
  const Bytes samples = tone(8 * wave::kBlockSize);
  speech.playWaveImage(image(samples));
  EXPECT_LT(played().size(), samples.size());
  EXPECT_TRUE(speech.interrupted());
  EXPECT_EQ(pump.keyCount(), 1u);
}

TEST_F(RecordedSpeechTest, WaitSpeechWaitsOnlyWhileSpeechIsPending) {
  speech.setSpeechPending(false);
  ASSERT_EQ(player.playWaveMemory(image(tone(1000))), platform::WaveResult::ok);
  speech.waitSpeech();
  EXPECT_TRUE(player.deviceOpen()) << "nothing pending: no wait";
  speech.setSpeechPending(true);
  speech.waitSpeech();
  EXPECT_FALSE(speech.speechPending());
  EXPECT_FALSE(player.deviceOpen());
}

class SpeakingThroughThePlayer : public diphone::testing::VoiceDir {};

TEST_F(SpeakingThroughThePlayer, DiphoneBuffersReachTheDeviceJoinedWithoutGaps) {
  writeDatabase({{"$KA", {30000, 10}}, {"$SA", {30000, 20}}});
  platform::RecordingWaveOut device;
  device.setAutoComplete(true);
  wave::SimplePump pump;
  wave::WavePlayer player{device, pump};
  RecordedSpeech speech{player, pump};
  diphone::DiphoneDatabase db(rules_, locations());
  ASSERT_EQ(db.diphoneStart(), diphone::StartResult::ready);
  diphone::DiphoneSpeaker speaker(db, speech);
  speaker.speakPhonetic("[kA sA kA]", false);
  Bytes all;
  for (const auto& s : device.submissions()) all.insert(all.end(), s.bytes.begin(), s.bytes.end());
  ASSERT_EQ(all.size(), 90000u);
  // Each buffer's last byte is set to the zero line by the player.
  EXPECT_EQ(std::count(all.begin(), all.end(), 10), 60000 - 1);
  EXPECT_EQ(std::count(all.begin(), all.end(), 20), 30000 - 1);
  EXPECT_EQ(device.submissions().size(), 2u) << "one block per buffer";
}

}  // namespace
}  // namespace lamina::speech
