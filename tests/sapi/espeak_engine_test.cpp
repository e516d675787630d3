#include "sapi/espeak_engine.h"

#include <espeak-ng/speak_lib.h>
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <random>

#include "platform/riff.h"
#include "tests/sapi/sapi_fixture.h"

namespace lamina::sapi {
namespace {

using namespace std::chrono_literals;

std::size_t referenceSamples;

int countSamples(short*, int count, espeak_EVENT*) {
  if (count > 0) referenceSamples += static_cast<std::size_t>(count);
  return 0;
}

// What eSpeak NG itself makes of a UTF-8 text with a voice and rate, in
// samples. The library is one per process and stays started once an engine
// has started it; the engine must be stopped.
std::size_t samplesOf(const std::string& utf8, const std::string& voice, int rate) {
  referenceSamples = 0;
  espeak_SetSynthCallback(countSamples);
  espeak_SetVoiceByName(voice.c_str());
  espeak_SetParameter(espeakRATE, rate != 0 ? rate : espeak_GetParameter(espeakRATE, 0), 0);
  espeak_SetParameter(espeakPITCH, espeak_GetParameter(espeakPITCH, 0), 0);
  espeak_Synth(utf8.c_str(), utf8.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr,
               nullptr);
  return referenceSamples;
}

class EspeakEngineTest : public testing::EngineFixture {
 protected:
  void SetUp() override {
    EngineFixture::SetUp();
    use(engine, 4);
  }
  bool start(int voice = 0, int speed = 0, int pitch = 0, std::string_view file = "") {
    return dispatcher().engineStart(voice, speed, pitch, file, 4);
  }
  EspeakEngine engine{player, pump};
};

TEST(EspeakTextTest, TrimsGivesLoneDigitsAStopAndSplitsAtSentenceThenWordEnds) {
  EXPECT_EQ(prepareText("7"), "7.");
  EXPECT_EQ(prepareText("  7 "), "7.");
  EXPECT_EQ(prepareText("   "), "");
  EXPECT_EQ(prepareText(" 12 a "), "12 a");

  const auto sentences = splitText("Um dois. Tres quatro. Cinco", 22);
  EXPECT_EQ(sentences, (std::vector<std::string>{"Um dois. Tres quatro.", "Cinco"}));
  const auto words = splitText("abc def ghi", 9);
  EXPECT_EQ(words, (std::vector<std::string>{"abc def", "ghi"}));
  const auto hard = splitText("abcdefghij", 4);
  EXPECT_EQ(hard, (std::vector<std::string>{"abcd", "efgh", "ij"}));
  // A text far beyond the buffer keeps every word, in pieces that fit it.
  std::string longText;
  while (longText.size() < 200000) longText += "Frase " + std::to_string(longText.size()) + ". ";
  longText.pop_back();
  std::string joined;
  for (const auto& p : splitText(longText)) {
    EXPECT_LE(p.size(), kTextBuffer - 1);
    joined += (joined.empty() ? "" : " ") + p;
  }
  EXPECT_TRUE(joined == longText) << joined.size() << " of " << longText.size();
}

TEST(EspeakTextTest, RateAndPitchMapping) {
  EXPECT_EQ(espeakRate(0), 0);
  EXPECT_EQ(espeakRate(200), 200);
  EXPECT_EQ(espeakRate(15), 80);
  EXPECT_EQ(espeakRate(-3), 80);
  EXPECT_EQ(espeakRate(INT_MAX), 450);
  EXPECT_EQ(espeakPitch(0), 0);
  EXPECT_EQ(espeakPitch(175), 50);
  EXPECT_EQ(espeakPitch(10), 1);
  EXPECT_EQ(espeakPitch(-1), 100);  // 65535 Hz
}

TEST_F(EspeakEngineTest, VoicesArePortugueseBrazilianFirstAndNumbersBeyondTheListTakeTheLast) {
  ASSERT_TRUE(start(0));
  const auto voices = engine.voices();
  ASSERT_GE(voices.size(), 1u);
  EXPECT_EQ(engine.voiceName(), voices.front());
  EXPECT_NE(voices.front().find("Brazil"), std::string::npos) << voices.front();
  ASSERT_TRUE(start(999));
  EXPECT_EQ(engine.voiceName(), voices.back());
  ASSERT_TRUE(start(-4));
  EXPECT_EQ(engine.voiceName(), voices.front());
}

TEST_F(EspeakEngineTest, SpeaksThroughThePlayerWithTheSameSoundAsEspeakItself) {
  ASSERT_TRUE(start());
  const std::string voice = engine.voiceName();
  dispatcher().engineSpeak("Bom dia, a convers\xe3o terminou.");
  // No busy check here: with a recording device that completes at once, a
  // short text can be synthesized and played before the first poll.
  ASSERT_TRUE(waitIdle());
  ASSERT_FALSE(device.submissions().empty());
  EXPECT_EQ(device.submissions().front().format.bitsPerSample, 16);
  const std::size_t heard = bytesHeard() / 2;
  engine.stop();
  // Speed and pitch 0 leave eSpeak NG's own values: the same sound.
  const std::size_t own = samplesOf("Bom dia, a convers\xc3\xa3o terminou.", voice, 0);
  EXPECT_NEAR(static_cast<double>(heard), static_cast<double>(own),
              static_cast<double>(own) * 0.01);
}

TEST_F(EspeakEngineTest, BlanksSendNothingAndAKeyWaitingBlocksTheTextOnlyWhenStopOnKeyIsOn) {
  ASSERT_TRUE(start());
  dispatcher().engineSpeak("   ");
  dispatcher().engineSpeak("");
  EXPECT_EQ(engine.piecesSent(), 0u);
  EXPECT_FALSE(dispatcher().engineBusy(false));

  pump.pushKey('x');
  dispatcher().engineSpeak("texto");
  EXPECT_EQ(engine.piecesSent(), 0u);
  player.setWaveStopOnKey(false);
  dispatcher().engineSpeak("texto");
  EXPECT_EQ(engine.piecesSent(), 1u);
  ASSERT_TRUE(waitIdle());
  EXPECT_GT(bytesHeard(), 0u);
  EXPECT_EQ(pump.keyCount(), 1u);
}

TEST_F(EspeakEngineTest, BuffersCountUntilTheirEndAndAudioUntilThePlayerHasPlayedTheLast) {
  device.setAutoComplete(false);
  ASSERT_TRUE(start());
  dispatcher().engineSpeak("Um texto curto.");
  // The player holds its blocks: texts are done before the audio is.
  ASSERT_TRUE(pumpUntil([&] {
    return engine.pendingBuffers() == 0 && device.queuedBlocks() > 0 &&
           !dispatcher().engineBusy(true);
  }));
  EXPECT_TRUE(engine.audioActive());
  EXPECT_TRUE(dispatcher().engineBusy(false));
  while (device.queuedBlocks() > 0) {
    device.completeAll();
    dispatcher().engineBusy(false);
  }
  ASSERT_TRUE(pumpUntil([&] { return !dispatcher().engineBusy(false); }));
  EXPECT_FALSE(engine.audioActive());
}

TEST_F(EspeakEngineTest, CutSilencesAtOnceClearsTheCountersAndTheNextTextSpeaks) {
  device.setAutoComplete(false);
  ASSERT_TRUE(start());
  std::string text;
  for (int i = 0; i < 200; ++i) text += "Esta frase vai ser cortada. ";
  dispatcher().engineSpeak(text);
  ASSERT_TRUE(pumpUntil([&] { return device.queuedBlocks() > 0; }));
  const int resets = device.resets();
  dispatcher().engineCut();
  EXPECT_GT(device.resets(), resets);
  EXPECT_EQ(device.queuedBlocks(), 0u);
  EXPECT_FALSE(dispatcher().engineBusy(false));
  EXPECT_EQ(engine.pendingBuffers(), 0);
  const std::size_t after = bytesHeard();
  pump.sleepPumping(100);
  EXPECT_FALSE(dispatcher().engineBusy(false));
  EXPECT_EQ(bytesHeard(), after) << "sound after the cut";

  device.setAutoComplete(true);
  device.completeAll();
  dispatcher().engineSpeak("Outra.");
  ASSERT_TRUE(waitIdle());
  EXPECT_GT(bytesHeard(), after);
}

TEST_F(EspeakEngineTest, AKeyCutsTheVoiceAndStaysQueued) {
  device.setAutoComplete(false);
  ASSERT_TRUE(start());
  std::string text;
  for (int i = 0; i < 200; ++i) text += "Uma tecla corta esta voz. ";
  dispatcher().engineSpeak(text);
  ASSERT_TRUE(pumpUntil([&] { return device.queuedBlocks() > 0; }));
  pump.pushKey('q');
  EXPECT_FALSE(dispatcher().engineBusy(false));
  EXPECT_EQ(device.queuedBlocks(), 0u);
  const std::size_t after = bytesHeard();
  pump.sleepPumping(100);
  EXPECT_FALSE(dispatcher().engineBusy(false));
  EXPECT_EQ(bytesHeard(), after);
  EXPECT_EQ(pump.takeKey(), 'q');
}

TEST_F(EspeakEngineTest, ALongTextIsSpokenWhole) {
  ASSERT_TRUE(start(0, 450));
  const std::string voice = engine.voiceName();
  std::string text;
  for (int i = 0; text.size() < 60000; ++i) text += "O gato " + std::to_string(i % 10) + " dorme. ";
  text.resize(60000);
  dispatcher().engineSpeak(text);
  ASSERT_TRUE(waitIdle(300s));
  const std::size_t heard = bytesHeard() / 2;
  engine.stop();
  const std::size_t own = samplesOf(text, voice, 450);
  ASSERT_GT(own, 0u);
  EXPECT_NEAR(static_cast<double>(heard), static_cast<double>(own),
              static_cast<double>(own) * 0.05);
}

TEST_F(EspeakEngineTest, WritingToAFileGivesAValidWaveFile) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("lamina-espeak-" + std::to_string(std::random_device{}()) + ".wav");
  ASSERT_TRUE(start(0, 0, 0, path.string()));
  dispatcher().engineSpeak("Arquivo de som.");
  ASSERT_TRUE(waitIdle());
  engine.stop();
  EXPECT_EQ(bytesHeard(), 0u) << "a file engine must not play";
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> image((std::istreambuf_iterator<char>(in)), {});
  std::filesystem::remove(path);
  riff::WaveImage wave;
  ASSERT_EQ(riff::readWaveImage(image, riff::WalkRules{}, wave), riff::WaveReadResult::ok);
  EXPECT_EQ(wave.chunks.format.bitsPerSample, 16);
  EXPECT_EQ(wave.chunks.format.channels, 1);
  EXPECT_EQ(wave.data.size(), image.size() - riff::kWaveHeaderSize);
  EXPECT_GT(wave.data.size(), 10000u);
}

TEST_F(EspeakEngineTest, BadInputNeitherCrashesNorHangsNorLosesAKey) {
  // Absurd settings still give a working voice.
  ASSERT_TRUE(start(INT_MIN, INT_MAX, INT_MIN));
  std::string every;
  for (int b = 0; b < 256; ++b) every += static_cast<char>(b);
  dispatcher().engineSpeak(every);
  ASSERT_TRUE(waitIdle());
  EXPECT_GT(bytesHeard(), 0u);

  ASSERT_TRUE(start(1, -50, 65535));
  std::string huge;
  std::mt19937 random(7);
  while (huge.size() < 1000000) huge += static_cast<char>(random() % 256);
  dispatcher().engineSpeak(huge);
  EXPECT_GT(engine.piecesSent(), 15u);
  ASSERT_TRUE(pumpUntil([&] { return engine.audioActive(); }));
  pump.pushKey(0);
  pump.pushKey(59);
  EXPECT_FALSE(dispatcher().engineBusy(false));
  EXPECT_EQ(pump.takeKey(), 0);
  EXPECT_EQ(pump.takeKey(), 59);
  engine.stop();
  EXPECT_FALSE(dispatcher().engineBusy(false));
}

}  // namespace
}  // namespace lamina::sapi
