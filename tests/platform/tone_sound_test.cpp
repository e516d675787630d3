#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/sdl_tone_sound.h"
#include "tests/wave/wave_fixture.h"

namespace lamina::platform {
namespace {

// Without a choice of the caller's, SDL's dummy driver plays in real time.
[[maybe_unused]] const bool dummyAudio = SDL_setenv("SDL_AUDIODRIVER", "dummy", 0) == 0;

using wave::testing::appendChunk;
using wave::testing::ramp;
using wave::testing::waveImage;

TEST(ParseWaveImage, FindsFormatAndSamples) {
  const auto image = waveImage(ramp(11027), 11025, 8, 1);
  WaveImageData w;
  ASSERT_TRUE(parseWaveImage(image, w));
  EXPECT_EQ(w.samplesPerSecond, 11025u);
  EXPECT_EQ(w.bitsPerSample, 8);
  EXPECT_EQ(w.channels, 1);
  EXPECT_EQ(w.samples.size(), 11027u);
  EXPECT_EQ(w.samples.data(), image.data() + 44);
}

TEST(ParseWaveImage, SkipsPaddedChunksAndCutsPartialFrames) {
  const auto head = waveImage({}, 22050, 16, 2);
  std::vector<std::uint8_t> image = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  appendChunk(image, "fmt ", std::vector<std::uint8_t>(head.begin() + 20, head.begin() + 36));
  appendChunk(image, "LIST", ramp(3));
  image.push_back(0);  // pad byte of the odd chunk
  appendChunk(image, "data", ramp(4 * 10 + 3));
  WaveImageData w;
  ASSERT_TRUE(parseWaveImage(image, w));
  EXPECT_EQ(w.samples.size(), 40u);
  EXPECT_EQ(w.channels, 2);
}

TEST(ParseWaveImage, RefusesWhatIsNotPcmWave) {
  WaveImageData w;
  auto image = waveImage(ramp(100));
  auto bad = image;
  bad[8] = 'X';
  EXPECT_FALSE(parseWaveImage(bad, w));
  bad = image;
  bad[20] = 3;  // not PCM
  EXPECT_FALSE(parseWaveImage(bad, w));
  bad = image;
  bad[16] = 0xFF;  // fmt runs past the end
  EXPECT_FALSE(parseWaveImage(bad, w));
  EXPECT_FALSE(parseWaveImage(waveImage({}), w));
  EXPECT_FALSE(parseWaveImage(waveImage(ramp(10), 11025, 8, 0), w));
  EXPECT_FALSE(parseWaveImage(std::span(image).first(11), w));
}

TEST(SdlToneSound, LoopsTheImageUntilStopped) {
  SdlToneSound tones;
  // 100 ms of samples; looping shows as more bytes handed out than it holds.
  const auto image = waveImage(ramp(1102), 11025, 8, 1);
  ASSERT_TRUE(tones.playLoop(image));
  EXPECT_TRUE(tones.looping());
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (tones.loopBytesPlayed() < 3 * 1102 && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_GE(tones.loopBytesPlayed(), 3u * 1102);
  tones.stopLoop();
  EXPECT_FALSE(tones.looping());
  EXPECT_FALSE(tones.playLoop(std::vector<std::uint8_t>(60, 'x')));
  EXPECT_FALSE(tones.looping());
}

}  // namespace
}  // namespace lamina::platform
