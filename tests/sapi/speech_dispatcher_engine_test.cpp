#include "sapi/speech_dispatcher_engine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "platform/messages.h"
#include "tests/sapi/sapi_fixture.h"

// libspeechd reads the daemon's voice list (thousands of lines) with one
// string search per line; the sanitizer's check of each search measures the
// whole rest of the reply, which turns a second into many minutes. The
// searches are libspeechd's own, so the sanitized run leaves them unchecked.
extern "C" const char* __asan_default_options() {
  return "intercept_strstr=0:fast_unwind_on_malloc=0";
}
// libspeechd keeps a copy of the address when a connection cannot be made
// (the full stacks above let the checker see that it is libspeechd's).
extern "C" const char* __lsan_default_suppressions() {
  return "leak:spd_open2\n";
}

namespace lamina::sapi {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

void writeText(const fs::path& path, const std::string& text) {
  std::ofstream(path) << text;
}

// A speech-dispatcher daemon of the test's own: a private runtime folder and
// configuration, the eSpeak NG module, and libao's null driver as the sound
// card. Stopped (and its folder removed) at the end.
class PrivateDaemon {
 public:
  PrivateDaemon() {
    dir_ = fs::temp_directory_path() / ("lamina-spd-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_ / "conf" / "modules");
    fs::create_directories(dir_ / "home");
    writeText(dir_ / "conf" / "speechd.conf",
              "LogLevel 2\nLogDir \"" + dir_.string() +
                  "\"\nAudioOutputMethod \"libao\"\n"
                  "AddModule \"espeak-ng\" \"sd_espeak-ng\" \"espeak-ng.conf\"\n"
                  "DefaultModule espeak-ng\n");
    writeText(dir_ / "conf" / "modules" / "espeak-ng.conf", "");
    writeText(dir_ / "home" / ".libao", "default_driver=null\n");
  }
  ~PrivateDaemon() {
    kill();
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  // False when the daemon cannot be started here; why is in `failure`.
  bool start() {
    const std::string d = dir_.string();
    const std::string command = "cd '" + d + "' && HOME='" + d + "/home' XDG_RUNTIME_DIR='" + d +
                                "' speech-dispatcher -s -t 0 -C '" + d + "/conf' -S '" + d +
                                "/sock' -P '" + d + "/pid' -L '" + d + "' >'" + d +
                                "/out.log' 2>&1 &";
    if (std::system(command.c_str()) != 0) {
      failure = "the shell could not run speech-dispatcher";
      return false;
    }
    for (int i = 0; i < 200; ++i) {
      if (fs::exists(dir_ / "sock") && fs::exists(dir_ / "pid")) return true;
      std::this_thread::sleep_for(50ms);
    }
    failure = "speech-dispatcher made no socket in 10 s (is it installed?)";
    return false;
  }
  void kill() {
    std::ifstream in(dir_ / "pid");
    long pid = 0;
    if (!(in >> pid) || pid <= 0) return;
    const std::string command = "kill -9 " + std::to_string(pid) + " 2>/dev/null";
    if (std::system(command.c_str()) != 0) return;
    fs::remove(dir_ / "pid");
    // The modules end when their daemon is gone.
    std::this_thread::sleep_for(100ms);
  }
  std::string address() const { return "unix_socket:" + (dir_ / "sock").string(); }
  std::string failure;

 private:
  fs::path dir_;
};

// Counts the busy messages the engine posts.
class CountingPump final : public platform::MessagePump {
 public:
  explicit CountingPump(wave::SimplePump& inner) : inner_(inner) {}
  bool keyPressed() override { return inner_.keyPressed(); }
  void pumpMessages() override { inner_.pumpMessages(); }
  void waitMessage() override { inner_.waitMessage(); }
  void sleepPumping(unsigned ms) override { inner_.sleepPumping(ms); }
  void setWaveDoneHandler(WaveDoneHandler h) override { inner_.setWaveDoneHandler(std::move(h)); }
  void postMessage(std::uint32_t id, std::uintptr_t a, std::uintptr_t b) override {
    if (id == platform::kMsgEngineBusy) ++busyMessages;
    inner_.postMessage(id, a, b);
  }
  int busyMessages = 0;

 private:
  wave::SimplePump& inner_;
};

TEST(VoiceChoiceTest, NumberInRangeElseRaquelElseBrazilianElsePortugueseElseFirst) {
  const std::vector<VoiceInfo> raquel{{"Felipe", "pt-BR"}, {"Raquel Premium", "pt-BR"}};
  EXPECT_EQ(chooseVoice(raquel, 0), 1);
  EXPECT_EQ(chooseVoice(raquel, 3), 1);
  EXPECT_EQ(chooseVoice(raquel, 1), 0);
  const std::vector<VoiceInfo> noRaquel{
      {"raquel", "en"}, {"Joana", "pt"}, {"Ana", "pt-BR"}, {"Zoe", "en-US"}};
  EXPECT_EQ(chooseVoice(noRaquel, 0), 2) << "the name test is case-sensitive";
  EXPECT_EQ(chooseVoice(noRaquel, 4), 3);
  EXPECT_EQ(chooseVoice(noRaquel, -1), 2);
  EXPECT_EQ(chooseVoice({{"A", "en"}, {"B", "pt-PT"}}, 0), 1);
  EXPECT_EQ(chooseVoice({{"A", "en"}, {"B", "fr"}}, 0), 0);
  EXPECT_EQ(chooseVoice({}, 1), -1);
  EXPECT_EQ(dispatcherRate(-10), -100);
  EXPECT_EQ(dispatcherRate(3), 30);
  EXPECT_EQ(dispatcherRate(-4000), -100);
}

TEST(SpeechDispatcherAbsentTest, NoDaemonFailsTheStartSoTheDispatcherFallsBack) {
  wave::SimplePump pump;
  SpeechDispatcherEngine engine(
      pump, "unix_socket:" + (fs::temp_directory_path() / "lamina-no-daemon").string());
  speech::EngineDispatcher dispatcher(pump, {nullptr, &engine, nullptr});
  EXPECT_FALSE(dispatcher.engineStart(0, 0, 0, "", 5));
  dispatcher.engineSpeak("nada");
  EXPECT_FALSE(dispatcher.engineBusy(false));
}

class SpeechDispatcherTest : public testing::EngineFixture {
 protected:
  void SetUp() override {
    EngineFixture::SetUp();
    if (!daemon.start()) GTEST_SKIP() << "speech-dispatcher cannot start here: " << daemon.failure;
    use(engine, 5);
  }
  bool start(int voice = 0, int rate = 0) {
    return dispatcher().engineStart(voice, rate, 0, "", 5);
  }

  PrivateDaemon daemon;
  CountingPump counting{pump};
  SpeechDispatcherEngine engine{counting, daemon.address()};
};

TEST_F(SpeechDispatcherTest, ChoosesTheBrazilianVoiceOrTheNumberedOne) {
  ASSERT_TRUE(start(0, -3));
  EXPECT_EQ(engine.rate(), -30);
  const auto voices = engine.voices();
  ASSERT_GE(voices.size(), 2u);
  const int chosen = chooseVoice(voices, 0);
  EXPECT_EQ(engine.voiceName(), voices[chosen].name);
  EXPECT_EQ(voices[chosen].language, "pt-BR");
  ASSERT_TRUE(start(2));
  EXPECT_EQ(engine.voiceName(), voices[1].name);
}

TEST_F(SpeechDispatcherTest, TwoTextsQueueAndBusyEndsWithTheEndNotices) {
  ASSERT_TRUE(start());
  dispatcher().engineSpeak(
      "Primeira frase, que deve ser dita inteira, com todas as suas palavras.");
  dispatcher().engineSpeak("Segunda frase.");
  EXPECT_TRUE(dispatcher().engineBusy(false));
  EXPECT_GT(counting.busyMessages, 0) << "message 2980 while speaking";
  ASSERT_TRUE(waitIdle(30s));
  EXPECT_EQ(engine.notices(false), 2) << "both texts ended";
  EXPECT_EQ(engine.notices(true), 0) << "the second must not cut the first";

  // An empty text is one blank: it too ends with a notice.
  dispatcher().engineSpeak("");
  ASSERT_TRUE(waitIdle(30s));
  EXPECT_EQ(engine.notices(false), 3);
}

TEST_F(SpeechDispatcherTest, CutPurgesEverythingAndLaterTextsSpeak) {
  ASSERT_TRUE(start());
  std::string text;
  for (int i = 0; i < 300; ++i) text += "Uma frase longa para ser cortada. ";
  dispatcher().engineSpeak(text);
  dispatcher().engineSpeak("Outra na fila.");
  dispatcher().engineCut();
  EXPECT_FALSE(dispatcher().engineBusy(false));
  ASSERT_TRUE(pumpUntil([&] { return engine.notices(true) >= 1; }));
  const int ended = engine.notices(false);
  dispatcher().engineSpeak("Depois do corte.");
  ASSERT_TRUE(waitIdle(30s));
  EXPECT_EQ(engine.notices(false), ended + 1);
}

TEST_F(SpeechDispatcherTest, BadTextsAndADaemonDyingInSpeechNeitherCrashNorHang) {
  ASSERT_TRUE(start(99999, 10));
  std::string every;
  for (int b = 0; b < 256; ++b) every += static_cast<char>(b);
  dispatcher().engineSpeak(every);
  ASSERT_TRUE(waitIdle(30s));

  std::string huge;
  std::mt19937 random(3);
  while (huge.size() < 1000000) huge += static_cast<char>(random() % 256);
  dispatcher().engineSpeak(huge);
  EXPECT_TRUE(dispatcher().engineBusy(false));
  daemon.kill();
  pump.pushKey('k');
  ASSERT_TRUE(waitIdle(20s)) << "a dead daemon must not keep the engine busy";
  EXPECT_TRUE(engine.connectionLost());
  dispatcher().engineSpeak("ninguem ouve");
  EXPECT_FALSE(dispatcher().engineBusy(false));
  EXPECT_EQ(pump.takeKey(), 'k');
  engine.stop();
  // The next start finds no daemon and the own voice goes on.
  EXPECT_FALSE(start());
}

}  // namespace
}  // namespace lamina::sapi
