#pragma once
// A whole speech front-end on a hand-made voice, playing through the real
// wave player into the recording device. Every recording holds a signature
// of its own, so the sound that reached the device can be read back as the
// list of recordings, beeps, clicks, synthesized stretches and pauses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/recording_wave_out.h"
#include "speech/speech_front.h"
#include "tests/diphone/database_fixture.h"
#include "wave/simple_pump.h"
#include "wave/wave_player.h"

namespace lamina::speech::testing {

using Bytes = std::vector<std::uint8_t>;

// Logs each sleep at the number of bytes the device has received so far,
// and lets a test act whenever the program pumps or waits.
class LoggingPump final : public platform::MessagePump {
 public:
  LoggingPump(platform::MessagePump& inner, const platform::RecordingWaveOut& device)
      : inner_(&inner), device_(device) {}
  // Another pump, such as a console's, takes over before anything plays.
  void setInner(platform::MessagePump& inner) { inner_ = &inner; }
  bool keyPressed() override {
    waited();
    return inner_->keyPressed();
  }
  void pumpMessages() override {
    waited();
    inner_->pumpMessages();
  }
  void waitMessage() override {
    waited();
    inner_->waitMessage();
  }
  void sleepPumping(unsigned ms) override {
    sleeps.emplace_back(bytesSoFar(), ms);
    waited();
    inner_->sleepPumping(ms);
  }
  void setWaveDoneHandler(WaveDoneHandler handler) override {
    inner_->setWaveDoneHandler(std::move(handler));
  }
  void postMessage(std::uint32_t id, std::uintptr_t p1, std::uintptr_t p2) override {
    if (id == platform::kMsgSpeechWake) ++wakes;
    inner_->postMessage(id, p1, p2);
  }
  std::size_t bytesSoFar() const {
    std::size_t n = 0;
    for (const auto& s : device_.submissions()) n += s.bytes.size();
    return n;
  }

  std::vector<std::pair<std::size_t, unsigned>> sleeps;
  std::function<void()> onWait;
  int wakes = 0;

 private:
  void waited() {
    ASSERT_LT(++waits_, 20000000) << "never stopped waiting";
    if (onWait) onWait();
  }

  platform::MessagePump* inner_;
  const platform::RecordingWaveOut& device_;
  int waits_ = 0;
};

class FakeConsole final : public StartConsole {
 public:
  void writeLine(std::string_view text) override { lines.emplace_back(text); }
  void readLine() override { ++linesRead; }
  void closeConsole() override { closed = true; }
  std::vector<std::string> lines;
  int linesRead = 0;
  bool closed = false;
};

class SpeechFixture : public diphone::testing::VoiceDir {
 protected:
  void SetUp() override {
    VoiceDir::SetUp();
    diphone::testing::fs::create_directories(root_ / "som");
    writeDatabase({{"$KA", {3000, 10}}, {"$SA", {3000, 20}}, {"$AK", {3000, 30}}});
    device.setAutoComplete(true);
    pump.setIdleHook([] {});
    writeIni("");
  }
  // The file always names the letters directory; `more` follows.
  void writeIni(const std::string& more) {
    diphone::testing::writeText(
        root_ / "ORALIS.INI", "[TRADUTOR]\nDIRLETRAS=" + (root_ / "letras").string() + "\n" + more);
  }

  // A recording with a signature: a marker, its number, then a pattern.
  Bytes signature(int id) const {
    Bytes s(40);
    s[0] = 250;
    s[1] = static_cast<std::uint8_t>(id);
    for (std::size_t j = 2; j < s.size(); ++j) {
      s[j] = static_cast<std::uint8_t>(140 + (id * 13 + static_cast<int>(j) * 7) % 100);
    }
    s.back() = 128;
    return s;
  }
  // Records `key` (a file name without ".wav") in the letters directory, or
  // in the sound directory when `dir` says so; the trace shows `key`.
  // `silence` bytes of the zero line follow the signature.
  void record(const std::string& key, const std::string& dir = "letras", std::size_t silence = 0) {
    const int id = static_cast<int>(names_.size()) + 1;
    names_[id] = key;
    Bytes samples = signature(id);
    samples.resize(samples.size() + silence, 128);
    diphone::testing::writeBytes(root_ / dir / (key + ".wav"), diphone::testing::waveFile(samples));
  }
  void recordAll(std::initializer_list<std::string> names) {
    for (const auto& k : names) record(k);
  }

  SpeechFront& front() {
    if (!front_) {
      front_ = std::make_unique<SpeechFront>(SpeechParts{player,
                                                         logging,
                                                         keys,
                                                         console,
                                                         rules_,
                                                         database,
                                                         {root_, root_ / "start"},
                                                         engines,
                                                         [this] { return now; }});
    }
    return *front_;
  }
  // Starts at speed 3 with the sound directory "som"; false on failure.
  bool start(int speed = 3) {
    if (database.ready()) front().speechStop();
    if (!front().speechStart(speed, (root_ / "som").string())) return false;
    logging.sleeps.clear();
    return true;
  }

  // What the device received, read back.
  std::vector<std::string> heard() const {
    Bytes all;
    for (const auto& s : device.submissions())
      all.insert(all.end(), s.bytes.begin(), s.bytes.end());
    std::vector<std::string> out;
    auto add = [&](const std::string& item) {
      if (item == "synth" && !out.empty() && out.back() == "synth") return;
      out.push_back(item);
    };
    const auto beep = beepImage();
    const Bytes beepSamples(beep.begin() + 44, beep.end());
    const auto clickImage =
        front_ ? front_->recorded().clickImage() : std::span<const std::uint8_t>{};
    const Bytes click(clickImage.begin() + (clickImage.empty() ? 0 : 44), clickImage.end());
    auto matches = [&](std::size_t at, const Bytes& what) {
      return !what.empty() && at + what.size() <= all.size() &&
             std::equal(what.begin(), what.end(), all.begin() + static_cast<std::ptrdiff_t>(at));
    };
    std::size_t sleep = 0;
    std::size_t at = 0;
    auto pauses = [&] {
      unsigned total = 0;
      while (sleep < logging.sleeps.size() && logging.sleeps[sleep].first <= at) {
        total += logging.sleeps[sleep++].second;
      }
      if (total > 0) out.push_back("pause " + std::to_string(total));
    };
    while (at < all.size()) {
      pauses();
      if (all[at] == 250 && at + 1 < all.size() && names_.count(all[at + 1]) != 0 &&
          matches(at, signature(all[at + 1]))) {
        add(names_.at(all[at + 1]));
        at += 40;
      } else if (matches(at, beepSamples)) {
        add("beep");
        at += beepSamples.size();
      } else if (matches(at, click)) {
        add("click");
        at += click.size();
      } else {
        if (all[at] != 128) add("synth");
        ++at;
      }
    }
    pauses();
    return out;
  }
  void clearHeard() {
    device.clearSubmissions();
    logging.sleeps.clear();
  }
  // Pushes a key once the device has received `count` submissions.
  void keyAfterSubmissions(std::size_t count, std::uint8_t key = 'k') {
    logging.onWait = [this, count, key] {
      if (device.submissions().size() >= count && !keyPushed_) {
        keyPushed_ = true;
        pump.pushKey(key);
      }
    };
  }

  platform::RecordingWaveOut device;
  wave::SimplePump pump;
  LoggingPump logging{pump, device};
  PumpKeys keys{pump};
  wave::WavePlayer player{device, logging};
  FakeConsole console;
  diphone::DiphoneDatabase database{rules_, locations()};
  EngineSet engines;
  platform::LocalTime now{2026, 12, 7, 1, 14, 30, 0, 0};
  std::unique_ptr<SpeechFront> front_;

 private:
  std::map<int, std::string> names_;
  bool keyPushed_ = false;
};

}  // namespace lamina::speech::testing
