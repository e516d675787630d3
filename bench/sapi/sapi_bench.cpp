// The outside engines: from the speak call to the first sample, the
// real-time factor, and from the cut to silence. eSpeak NG plays into the
// recording device through the real wave player; Speech Dispatcher runs as a
// private daemon with libao's null output (its first sample is the begin
// notice, its silence the cancel notice).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>

#include "platform/recording_wave_out.h"
#include "sapi/espeak_engine.h"
#include "sapi/speech_dispatcher_engine.h"
#include "speech/engine.h"
#include "wave/simple_pump.h"
#include "wave/wave_player.h"

namespace {

using namespace lamina;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double msSince(Clock::time_point t) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

const char* kSentence =
    "A apresenta\xe7\xe3o foi convertida em texto, slide por slide, e o arquivo est\xe1 pronto. ";

// Polls `done`; with `feed` the engine is asked whether it is busy between
// polls (eSpeak NG hands its sound to the player then; Speech Dispatcher's
// notices arrive on their own, and its busy test would wait 20 ms).
template <typename F>
bool pumpUntil(wave::SimplePump& pump, speech::EngineDispatcher& d, F done, double limitMs,
               bool feed = true) {
  const auto t = Clock::now();
  while (!done()) {
    if (msSince(t) > limitMs) return false;
    if (feed) d.engineBusy(false);
    pump.sleepPumping(1);
  }
  return true;
}

void espeakFigures() {
  platform::RecordingWaveOut device;
  device.setAutoComplete(true);
  wave::SimplePump pump;
  wave::WavePlayer player(device, pump);
  sapi::EspeakEngine engine(player, pump);
  speech::EngineDispatcher d(pump, {nullptr, nullptr, &engine});
  if (!d.engineStart(0, 0, 0, "", 4)) {
    std::puts("espeak-ng: no voice");
    return;
  }
  auto bytes = [&] {
    std::size_t n = 0;
    for (const auto& s : device.submissions()) n += s.bytes.size();
    return n;
  };
  double first = 0;
  const int rounds = 10;
  for (int i = 0; i < rounds; ++i) {
    device.clearSubmissions();
    const auto t = Clock::now();
    d.engineSpeak(kSentence);
    pumpUntil(
        pump, d, [&] { return !device.submissions().empty(); }, 5000);
    first += msSince(t);
    while (d.engineBusy(false)) pump.sleepPumping(1);
  }
  std::string text;
  for (int i = 0; i < 20; ++i) text += kSentence;
  device.clearSubmissions();
  const auto t = Clock::now();
  d.engineSpeak(text);
  while (d.engineBusy(false)) pump.sleepPumping(1);
  const double spent = msSince(t);
  const double audioMs = static_cast<double>(bytes()) / 2.0 / 22.050;

  device.setAutoComplete(false);
  double cut = 0;
  for (int i = 0; i < rounds; ++i) {
    d.engineSpeak(text);
    pumpUntil(
        pump, d, [&] { return device.queuedBlocks() > 0; }, 5000);
    const auto c = Clock::now();
    d.engineCut();
    pumpUntil(
        pump, d, [&] { return !d.engineBusy(false) && device.queuedBlocks() == 0; }, 5000);
    cut += msSince(c);
  }
  std::printf(
      "espeak-ng:          first sample %.2f ms, real-time factor %.4f (%.0f ms for %.0f ms "
      "of speech), cut %.3f ms\n",
      first / rounds, spent / audioMs, spent, audioMs, cut / rounds);
  engine.stop();
}

void dispatcherFigures() {
  const fs::path dir =
      fs::temp_directory_path() / ("lamina-bench-spd-" + std::to_string(std::random_device{}()));
  fs::create_directories(dir / "conf" / "modules");
  fs::create_directories(dir / "home");
  std::ofstream(dir / "conf" / "speechd.conf")
      << "LogDir \"" << dir.string()
      << "\"\nAudioOutputMethod \"libao\"\nAddModule \"espeak-ng\" \"sd_espeak-ng\" "
         "\"espeak-ng.conf\"\nDefaultModule espeak-ng\n";
  std::ofstream(dir / "conf" / "modules" / "espeak-ng.conf");
  std::ofstream(dir / "home" / ".libao") << "default_driver=null\n";
  const std::string d = dir.string();
  const std::string start = "HOME='" + d + "/home' XDG_RUNTIME_DIR='" + d +
                            "' speech-dispatcher -s -t 0 -C '" + d + "/conf' -S '" + d +
                            "/sock' -P '" + d + "/pid' -L '" + d + "' >/dev/null 2>&1 &";
  if (std::system(start.c_str()) != 0) return;
  for (int i = 0; i < 100 && !fs::exists(dir / "sock"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  {
    wave::SimplePump pump;
    sapi::SpeechDispatcherEngine engine(pump, "unix_socket:" + (dir / "sock").string());
    speech::EngineDispatcher disp(pump, {nullptr, &engine, nullptr});
    if (!disp.engineStart(0, 0, 0, "", 5)) {
      std::puts("speech-dispatcher: the daemon could not be started");
    } else {
      const int rounds = 10;
      double first = 0;
      double whole = 0;
      double cut = 0;
      for (int i = 0; i < rounds; ++i) {
        const int begun = engine.begun();
        const auto t = Clock::now();
        disp.engineSpeak(kSentence);
        pumpUntil(
            pump, disp, [&] { return engine.begun() > begun; }, 5000);
        first += msSince(t);
        while (disp.engineBusy(false)) pump.sleepPumping(1);
        whole += msSince(t);
      }
      std::string text;
      for (int i = 0; i < 20; ++i) text += kSentence;
      for (int i = 0; i < rounds; ++i) {
        const int begun = engine.begun();
        disp.engineSpeak(text);
        pumpUntil(
            pump, disp, [&] { return engine.begun() > begun; }, 5000);
        const int cancelled = engine.notices(true);
        const auto c = Clock::now();
        disp.engineCut();
        pumpUntil(
            pump, disp, [&] { return engine.notices(true) > cancelled; }, 5000);
        cut += msSince(c);
      }
      std::printf(
          "speech-dispatcher:  first sample (begin notice) %.2f ms, one sentence to its "
          "end notice %.1f ms (null output: no real-time pace), cut to cancel notice "
          "%.2f ms\n",
          first / rounds, whole / rounds, cut / rounds);
      engine.stop();
    }
  }
  std::ifstream pidFile(dir / "pid");
  long pid = 0;
  if (pidFile >> pid && pid > 0) {
    const std::string kill = "kill " + std::to_string(pid);
    if (std::system(kill.c_str()) != 0) std::puts("the daemon could not be stopped");
  }
  std::error_code ec;
  fs::remove_all(dir, ec);
}

}  // namespace

int main() {
  espeakFigures();
  dispatcherFigures();
  return 0;
}
