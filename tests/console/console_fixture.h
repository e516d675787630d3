#pragma once
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "console/console.h"
#include "platform/headless_window.h"

namespace lamina::console::testing {

// Thrown by the test's terminate function, so an ended program unwinds out
// of the console back to the test.
struct Terminated {
  int code;
};

class RecordingTones final : public platform::ToneSound {
 public:
  bool playLoop(std::span<const std::uint8_t> image) override {
    blocks.emplace_back(image.begin(), image.end());
    return true;
  }
  void stopLoop() override { ++stops; }
  void beep() override { ++beeps; }
  std::vector<std::vector<std::uint8_t>> blocks;
  int stops = 0;
  int beeps = 0;
};

// A console on the headless window, with its own ORALIS.INI text.
class ConsoleFixture {
 public:
  explicit ConsoleFixture(const std::string& ini = "", bool withIni = false) {
    static int counter = 0;
    dir_ = std::filesystem::temp_directory_path() /
           ("lamina-console-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(dir_);
    ConsoleOptions options;
    options.iniFile = dir_ / "ORALIS.INI";
    if (withIni) std::ofstream(options.iniFile, std::ios::binary) << ini;
    options.caption = "lamina";
    options.terminate = [](int code) { throw Terminated{code}; };
    console = std::make_unique<Console>(window, tones, options);
  }
  ~ConsoleFixture() {
    console.reset();
    std::filesystem::remove_all(dir_);
  }

  // Queues the messages of a key script without waiting for readKey.
  void type(std::string_view script) {
    for (const auto& step : platform::parseKeyScript(script)) {
      for (const auto& m : step.messages) window.postMessage(m);
    }
  }
  std::vector<int> drain() {
    std::vector<int> bytes;
    while (console->keyPressed()) bytes.push_back(console->readKey());
    return bytes;
  }
  std::string row(int y) {
    std::string line;
    for (int x = 1; x <= kColumns; ++x)
      line.push_back(static_cast<char>(console->screenCharAt(x, y)));
    return line;
  }

  platform::HeadlessWindow window;
  RecordingTones tones;
  std::unique_ptr<Console> console;

 private:
  std::filesystem::path dir_;
};

}  // namespace lamina::console::testing
