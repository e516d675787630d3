// Latency of the wave player on the SDL device: from playWaveMemory to the
// first sample handed to SDL's callback, and from a key arriving to the moment
// no more sound is handed out (the device reset). Prints figures; usage: bench_wave_latency
// [bufferMs] (SDL_AUDIODRIVER chooses the driver; dummy when unset).
#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/sdl_audio.h"
#include "wave/simple_pump.h"
#include "wave/wave_player.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::uint8_t> image(std::size_t samples) {
  std::vector<std::uint8_t> v(lamina::wave::kWaveHeaderSize + samples);
  lamina::wave::makeWaveHeader(v, static_cast<std::uint32_t>(samples), 11025, 8, 1);
  for (std::size_t i = 0; i < samples; ++i) {
    v[lamina::wave::kWaveHeaderSize + i] = static_cast<std::uint8_t>(128 + (i % 50) - 25);
  }
  return v;
}

// Notes when the player resets the device: from then on no more sound is
// handed out, and what still sounds is at most the buffer being played.
class TimedDevice final : public lamina::platform::WaveOutDevice {
 public:
  explicit TimedDevice(lamina::platform::WaveOutDevice& inner) : inner_(inner) {}
  lamina::platform::WaveResult open(const lamina::platform::PcmFormat& f,
                                    lamina::platform::MessagePump& n) override {
    return inner_.open(f, n);
  }
  lamina::platform::WaveResult prepare(lamina::platform::WaveBlock& b) override {
    return inner_.prepare(b);
  }
  lamina::platform::WaveResult write(lamina::platform::WaveBlock& b) override {
    return inner_.write(b);
  }
  lamina::platform::WaveResult unprepare(lamina::platform::WaveBlock& b) override {
    return inner_.unprepare(b);
  }
  lamina::platform::WaveResult reset() override {
    const auto r = inner_.reset();
    resetAt = Clock::now();
    return r;
  }
  lamina::platform::WaveResult close() override { return inner_.close(); }
  Clock::time_point resetAt;

 private:
  lamina::platform::WaveOutDevice& inner_;
};

double ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

void report(const char* what, std::vector<double> v) {
  std::sort(v.begin(), v.end());
  double sum = 0;
  for (double x : v) sum += x;
  std::printf("%-34s n=%zu  median %6.2f ms  mean %6.2f ms  max %6.2f ms\n", what, v.size(),
              v[v.size() / 2], sum / static_cast<double>(v.size()), v.back());
}

}  // namespace

int main(int argc, char** argv) {
  SDL_setenv("SDL_AUDIODRIVER", "dummy", 0);
  const unsigned bufferMs = argc > 1 ? static_cast<unsigned>(std::atoi(argv[1])) : 20;
  lamina::platform::SdlWaveOut device(bufferMs);
  TimedDevice timed(device);
  lamina::wave::SimplePump pump;
  lamina::wave::WavePlayer player(timed, pump);

  std::atomic<std::int64_t> firstSound{0};
  device.setFeedObserver([&](std::size_t blockBytes) {
    const std::int64_t now = Clock::now().time_since_epoch().count();
    std::int64_t none = 0;
    if (blockBytes > 0) firstSound.compare_exchange_strong(none, now);
  });
  const auto at = [](std::int64_t ticks) { return Clock::time_point(Clock::duration(ticks)); };

  const auto shortSound = image(11025 / 10);
  std::vector<double> start;
  for (int i = 0; i < 20; ++i) {
    firstSound = 0;
    const auto t0 = Clock::now();
    player.playWaveMemory(shortSound);
    while (player.wavePlaying()) pump.waitMessage();
    if (firstSound != 0) start.push_back(ms(at(firstSound) - t0));
  }

  const auto longSound = image(11025 * 5);
  std::vector<double> stop;
  std::vector<double> closed;
  for (int i = 0; i < 10; ++i) {
    firstSound = 0;
    player.playWaveMemory(longSound);
    std::atomic<std::int64_t> keyAt{0};
    std::thread typist([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
      keyAt = Clock::now().time_since_epoch().count();
      pump.pushKey(' ');
    });
    while (player.wavePlaying()) pump.waitMessage();
    const auto end = Clock::now();
    typist.join();
    stop.push_back(ms(timed.resetAt - at(keyAt)));
    closed.push_back(ms(end - at(keyAt)));
    pump.takeKey();
  }

  const auto format = device.obtainedFormat();
  std::printf("driver %s, device buffer %u frames at %u Hz (%.1f ms)\n",
              SDL_GetCurrentAudioDriver() ? SDL_GetCurrentAudioDriver() : "?", format.bufferFrames,
              format.samplesPerSecond,
              1000.0 * format.bufferFrames / std::max(1u, format.samplesPerSecond));
  if (!start.empty()) report("playWaveMemory -> first sample", start);
  const double buffer = 1000.0 * format.bufferFrames / std::max(1u, format.samplesPerSecond);
  report("key -> no more sound handed out", stop);
  std::printf("%-34s = the above + at most one buffer (%.1f ms)\n", "key -> silence", buffer);
  report("key -> device closed", closed);
  return 0;
}
