// Feeds arbitrary bytes to the wave player's file and image parsers and to
// the period dropper, on the recording device.
#include <cstddef>
#include <cstdint>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "platform/recording_wave_out.h"
#include "wave/simple_pump.h"
#include "wave/wave_player.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t mode = data[0];
  const std::span<const std::uint8_t> body(data + 1, size - 1);

  lamina::platform::RecordingWaveOut device;
  device.setAutoComplete(true);
  lamina::wave::SimplePump pump;
  // Never block: a wait that no message can end shows up as a timeout.
  pump.setIdleHook([] {});
  lamina::wave::WavePlayer player(device, pump);
  player.setWaveFast((mode & 1) != 0);
  player.setWaveCompress((mode & 2) != 0);

  if ((mode & 4) != 0) {
    player.playWaveMemory(body);
    while (player.wavePlaying()) pump.waitMessage();
  } else {
    std::istringstream in(std::string(body.begin(), body.end()));
    player.playWaveStream(in);
  }

  // What the device was given: whole frames only, and no block touched
  // while the device held it.
  for (const auto& sub : device.submissions()) {
    const std::size_t frame =
        lamina::wave::frameBytes(sub.format.bitsPerSample, sub.format.channels);
    if (sub.bytes.size() % frame != 0) __builtin_trap();
  }
  if (device.reusedWhileQueued() != 0) __builtin_trap();

  std::vector<std::uint8_t> buffer(body.begin(), body.end());
  static constexpr std::uint32_t kRates[] = {11025, 16537, 22050, 8000};
  lamina::wave::dropPeriods(buffer, (mode & 8) != 0 ? 16 : 8, kRates[(mode >> 4) & 3]);
  return 0;
}
