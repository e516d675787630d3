// lamina-play [--fast] [--compress] [--wav OUT] FILE...
// Plays wave files one after another through the wave player and returns when
// they have ended; with --wav, writes what the device was given to a wave
// file instead of sounding.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/recording_wave_out.h"
#include "platform/riff.h"
#include "platform/sdl_audio.h"
#include "wave/simple_pump.h"
#include "wave/wave_player.h"

namespace {

using lamina::platform::PcmFormat;
using lamina::platform::RecordingWaveOut;

int usage() {
  std::fprintf(stderr, "usage: lamina-play [--fast] [--compress] [--wav OUT] FILE...\n");
  return 2;
}

// The bytes of every block of the first format submitted; blocks of other
// formats cannot share one file and are left out (reported).
bool writeRecording(const RecordingWaveOut& device, const std::filesystem::path& out) {
  const auto& subs = device.submissions();
  std::vector<std::uint8_t> data;
  PcmFormat format = subs.empty() ? lamina::platform::makePcmFormat(11025, 8, 1) : subs[0].format;
  std::size_t skipped = 0;
  for (const auto& s : subs) {
    if (s.format == format) {
      data.insert(data.end(), s.bytes.begin(), s.bytes.end());
    } else {
      ++skipped;
    }
  }
  if (skipped > 0) {
    std::fprintf(stderr, "lamina-play: %zu blocks of another format left out of the recording\n",
                 skipped);
  }
  std::vector<std::uint8_t> header(lamina::wave::kWaveHeaderSize);
  lamina::wave::makeWaveHeader(header, static_cast<std::uint32_t>(data.size()),
                               format.samplesPerSecond, format.bitsPerSample, format.channels);
  // Other readers need the true frame size here.
  lamina::riff::put16(header, 32, format.blockAlign);
  std::ofstream file(out, std::ios::binary);
  file.write(reinterpret_cast<const char*>(header.data()),
             static_cast<std::streamsize>(header.size()));
  file.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
  bool fast = false;
  bool compress = false;
  std::filesystem::path wavOut;
  std::vector<std::filesystem::path> files;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--fast") {
      fast = true;
    } else if (arg == "--compress") {
      compress = true;
    } else if (arg == "--wav") {
      if (++i == argc) return usage();
      wavOut = argv[i];
    } else if (arg.starts_with("--")) {
      return usage();
    } else {
      files.emplace_back(arg);
    }
  }
  if (files.empty()) return usage();

  lamina::wave::SimplePump pump;
  RecordingWaveOut recorder;
  recorder.setAutoComplete(true);
  std::unique_ptr<lamina::platform::SdlWaveOut> speaker;
  lamina::platform::WaveOutDevice* device = &recorder;
  if (wavOut.empty()) {
    speaker = std::make_unique<lamina::platform::SdlWaveOut>();
    device = speaker.get();
  }
  int status = 0;
  {
    lamina::wave::WavePlayer player(*device, pump);
    player.setWaveFast(fast);
    player.setWaveCompress(compress);
    for (const auto& file : files) {
      const auto result = player.playWaveFile(file);
      if (result != lamina::platform::WaveResult::ok) {
        std::fprintf(stderr, "lamina-play: %s: %s (%d)\n", file.string().c_str(),
                     std::string(lamina::platform::resultText(result)).c_str(),
                     static_cast<int>(result));
        status = 1;
      }
    }
  }
  if (!wavOut.empty() && !writeRecording(recorder, wavOut)) {
    std::fprintf(stderr, "lamina-play: cannot write %s\n", wavOut.string().c_str());
    status = 1;
  }
  return status;
}
