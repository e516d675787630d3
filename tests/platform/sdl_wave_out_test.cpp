// The SDL device on SDL's dummy driver, which plays in real time.
#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/sdl_audio.h"
#include "tests/wave/wave_fixture.h"
#include "wave/simple_pump.h"
#include "wave/wave_player.h"

namespace lamina::platform {
namespace {

// Without a choice of the caller's, SDL's dummy driver plays in real time.
[[maybe_unused]] const bool dummyAudio = SDL_setenv("SDL_AUDIODRIVER", "dummy", 0) == 0;

using Clock = std::chrono::steady_clock;
using wave::testing::ramp;
using wave::testing::TempFile;
using wave::testing::waveImage;

TEST(SdlWaveOut, RefusesFormatsItCannotPlay) {
  SdlWaveOut device;
  wave::SimplePump pump;
  EXPECT_EQ(device.open(makePcmFormat(11025, 24, 1), pump), WaveResult::badFormat);
  EXPECT_EQ(device.open(makePcmFormat(11025, 8, 0), pump), WaveResult::badFormat);
  EXPECT_EQ(device.open(makePcmFormat(0, 8, 1), pump), WaveResult::badFormat);
  ASSERT_EQ(device.open(makePcmFormat(22050, 16, 2), pump), WaveResult::ok);
  EXPECT_EQ(device.open(makePcmFormat(22050, 16, 2), pump), WaveResult::allocated);
  const DeviceFormat got = device.obtainedFormat();
  EXPECT_EQ(got.samplesPerSecond, 22050u);
  EXPECT_EQ(got.channels, 2);
  EXPECT_EQ(got.bitsPerSample, 16);
  EXPECT_TRUE(got.isSigned);
  EXPECT_EQ(device.close(), WaveResult::ok);
  EXPECT_EQ(device.close(), WaveResult::invalidHandle);
}

TEST(SdlWaveOut, ResetReportsEveryQueuedBlockDone) {
  SdlWaveOut device;
  wave::SimplePump pump;
  std::vector<std::uintptr_t> done;
  pump.setWaveDoneHandler([&](std::uintptr_t, std::uintptr_t b) { done.push_back(b); });
  ASSERT_EQ(device.open(makePcmFormat(11025, 8, 1), pump), WaveResult::ok);
  const std::vector<std::uint8_t> samples(11025 * 2, 128);  // 2 s each
  WaveBlock a{samples.data(), static_cast<std::uint32_t>(samples.size()), 1, 0};
  WaveBlock b = a;
  ASSERT_EQ(device.prepare(a), WaveResult::ok);
  ASSERT_EQ(device.prepare(b), WaveResult::ok);
  ASSERT_EQ(device.write(a), WaveResult::ok);
  ASSERT_EQ(device.write(b), WaveResult::ok);
  EXPECT_EQ(device.unprepare(a), WaveResult::stillPlaying);
  EXPECT_EQ(device.close(), WaveResult::stillPlaying);
  EXPECT_EQ(device.reset(), WaveResult::ok);
  pump.pumpMessages();
  EXPECT_EQ(done, (std::vector<std::uintptr_t>{reinterpret_cast<std::uintptr_t>(&a),
                                               reinterpret_cast<std::uintptr_t>(&b)}));
  EXPECT_EQ(device.unprepare(a), WaveResult::ok);
  EXPECT_EQ(device.close(), WaveResult::ok);
}

TEST(SdlWaveOut, PlayerWaitsForTheSoundToEnd) {
  SdlWaveOut device;
  wave::SimplePump pump;
  wave::WavePlayer player(device, pump);
  TempFile file(waveImage(ramp(11025 / 4)));  // 250 ms
  const auto start = Clock::now();
  EXPECT_EQ(player.playWaveFile(file.path()), platform::WaveResult::ok);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(240));
  EXPECT_FALSE(device.isOpen());
  EXPECT_EQ(player.queuedBlocks(), 0);
}

TEST(SdlWaveOut, AKeyCutsALongSound) {
  SdlWaveOut device;
  wave::SimplePump pump;
  wave::WavePlayer player(device, pump);
  TempFile file(waveImage(ramp(11025 * 20)));  // 20 s
  std::thread typist([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    pump.pushKey(' ');
  });
  const auto start = Clock::now();
  EXPECT_EQ(player.playWaveFile(file.path()), platform::WaveResult::ok);
  typist.join();
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
  EXPECT_FALSE(device.isOpen());
  EXPECT_EQ(pump.takeKey(), ' ');
}

}  // namespace
}  // namespace lamina::platform
