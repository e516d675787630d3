// Plays wave files through SDL's disk driver, which writes what it was given
// to a file, and compares the samples with sox's rendering of the same file
// in the device's format.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/sdl_audio.h"
#include "wave/simple_pump.h"
#include "wave/wave_player.h"

namespace lamina::wave {
namespace {

std::vector<std::uint8_t> readAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string soxEncoding(const platform::DeviceFormat& f) {
  if (f.isFloat) return "floating-point";
  return f.isSigned ? "signed-integer" : "unsigned-integer";
}

class DiskOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    // sox is installed with the build dependencies; its absence is a failure.
    ASSERT_EQ(std::system("sox --version > /dev/null 2>&1"), 0) << "sox is missing";
    dir_ = WAVE_TEST_DIR;
    disk_ = dir_ / "disk-audio.raw";
    SDL_setenv("SDL_AUDIODRIVER", "disk", 1);
    SDL_setenv("SDL_DISKAUDIOFILE", disk_.c_str(), 1);
  }

  // Plays `name` made by the sox arguments; answers the recorded samples and
  // sox's rendering of the file in the format the device was opened with.
  void playAndRender(const std::string& name, const std::string& format, const std::string& effect,
                     std::vector<std::uint8_t>& recorded, std::vector<std::uint8_t>& expected) {
    const auto input = dir_ / name;
    const auto reference = dir_ / (name + ".raw");
    ASSERT_EQ(std::system(("sox -n " + format + " '" + input.string() + "' " + effect).c_str()), 0);
    platform::SdlWaveOut device;
    SimplePump pump;
    WavePlayer player(device, pump);
    ASSERT_EQ(player.playWaveFile(input), platform::WaveResult::ok);
    const platform::DeviceFormat got = device.obtainedFormat();
    ASSERT_GT(got.samplesPerSecond, 0u);
    const std::string convert = "sox '" + input.string() + "' -t raw -r " +
                                std::to_string(got.samplesPerSecond) + " -e " + soxEncoding(got) +
                                " -b " + std::to_string(got.bitsPerSample) + " -c " +
                                std::to_string(got.channels) + (got.bigEndian ? " -B" : " -L") +
                                " '" + reference.string() + "'";
    ASSERT_EQ(std::system(convert.c_str()), 0);
    recorded = readAll(disk_);
    expected = readAll(reference);
  }

  std::filesystem::path dir_;
  std::filesystem::path disk_;
};

// One test, as both sounds go through the same recording file.
TEST_F(DiskOutput, SoundsComeOutSampleForSample) {
  std::vector<std::uint8_t> recorded, expected;
  ASSERT_NO_FATAL_FAILURE(playAndRender("stereo.wav", "-r 22050 -b 16 -c 2 -e signed-integer",
                                        "synth 0.4 sine 440 sine 660", recorded, expected));
  ASSERT_EQ(expected.size(), 22050u * 4 * 4 / 10);
  EXPECT_NE(std::search(recorded.begin(), recorded.end(), expected.begin(), expected.end()),
            recorded.end())
      << "recorded " << recorded.size() << " bytes";

  ASSERT_NO_FATAL_FAILURE(playAndRender("mono.wav", "-r 11025 -b 8 -c 1 -e unsigned-integer",
                                        "synth 0.3 sine 300", recorded, expected));
  ASSERT_GT(expected.size(), 3000u);
  // The player silences the last byte of the sound.
  const auto at =
      std::search(recorded.begin(), recorded.end(), expected.begin(), expected.end() - 1);
  ASSERT_NE(at, recorded.end());
  EXPECT_EQ(*(at + static_cast<std::ptrdiff_t>(expected.size()) - 1), 128);
}

}  // namespace
}  // namespace lamina::wave
