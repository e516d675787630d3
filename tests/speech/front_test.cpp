#include <gtest/gtest.h>

#include "speech/speech_front.h"
#include "tests/speech/speech_fixture.h"

namespace lamina::speech {
namespace {

using testing::SpeechFixture;
using List = std::vector<std::string>;
namespace fs = std::filesystem;

TEST(ExpandProgramDirectory, LeadingAndInnerMarksAndAlwaysEnds) {
  EXPECT_EQ(expandProgramDirectory("@\\som\\", "c:\\ecovis"), "c:\\ecovis\\som\\");
  EXPECT_EQ(expandProgramDirectory("x@\\a;@/b", "P"), "xP\\a;P/b");
  EXPECT_EQ(expandProgramDirectory("mail@host", "P"), "mail@host");
  EXPECT_EQ(expandProgramDirectory("@", "P"), "P");
  EXPECT_EQ(expandProgramDirectory("", "P"), "");
  // A program directory holding "@\" is put in once and never searched.
  EXPECT_EQ(expandProgramDirectory("@@\\x", "d@\\"), "d@\\d@\\\\x");
}

class ConfigTest : public SpeechFixture {
 protected:
  ConfigReader reader() const { return ConfigReader({root_, root_ / "start"}); }
  void writeStartIni(const std::string& text) {
    fs::create_directories(root_ / "start");
    diphone::testing::writeText(root_ / "start" / "oralis.ini", text);
  }
};

TEST_F(ConfigTest, AtStandsForTheProgramDirectoryOrTheStartDirectory) {
  writeIni("[ORALIS]\nPGMORALIS=c:\\ecovis\nSOM=@\\som\\\n");
  EXPECT_EQ(reader().readConfigValue("", "SOM"), "c:\\ecovis\\som\\");
  writeIni("[ORALIS]\nPGMORALIS=\nSOM=@\\som\\\n");
  EXPECT_EQ(reader().readConfigValue("oralis", "SOM"), (root_ / "start").string() + "\\som\\");
  writeIni("[ORALIS]\nPGMORALIS=@\\loop\nSOM=@\\som\\\n");
  EXPECT_EQ(reader().readConfigValue("", "SOM"), (root_ / "start").string() + "\\som\\");
  writeIni("[ORALIS]\nPGMORALIS=c:\\a@\\b\nSOM=@@\\x@\\y\n");
  EXPECT_EQ(reader().readConfigValue("", "SOM"), "c:\\a@\\bc:\\a@\\b\\xc:\\a@\\b\\y");
  EXPECT_EQ(reader().readConfigValue("", "MISSING"), "");
}

TEST_F(ConfigTest, WithoutTheWindowsFileLookupsUseTheStartDirectory) {
  fs::remove(root_ / "ORALIS.INI");
  writeStartIni("[TRADUTOR]\nVELOCIDADE=4\nDIRLETRAS=/elsewhere\n");
  EXPECT_EQ(reader().readConfigValue("TRADUTOR", "VELOCIDADE"), "4");
  EXPECT_EQ(reader().readWindowsValue("TRADUTOR", "DIRLETRAS", "default"), "default");
  // A configuration "file" that cannot be read counts as absent.
  fs::create_directories(root_ / "ORALIS.INI");
  EXPECT_EQ(reader().readConfigValue("TRADUTOR", "VELOCIDADE"), "4");
  EXPECT_EQ(reader().readWindowsValue("TRADUTOR", "DIRLETRAS", "default"), "default");
  ConfigReader nowhere({root_ / "none", root_ / "none"});
  EXPECT_EQ(nowhere.readConfigValue("TRADUTOR", "VELOCIDADE"), "");
}

class TestEngine final : public SpeechEngine {
 public:
  bool start(int v, int s, int p, std::string_view) override {
    log.push_back("start " + std::to_string(v) + " " + std::to_string(s) + " " + std::to_string(p));
    return startWorks;
  }
  void stop() override { log.push_back("stop"); }
  void speak(std::string_view text) override {
    log.push_back("speak " + std::string(text));
    busyPolls = 3;
  }
  bool busy(bool strict) override {
    ++busyCalls;
    if (strict) ++strictCalls;
    if (busyPolls > 0) --busyPolls;
    return busyPolls > 0 || forever;
  }
  void cut() override {
    log.push_back("cut");
    busyPolls = 0;
  }
  List log;
  bool startWorks = true;
  bool forever = false;
  int busyPolls = 0;
  int busyCalls = 0;
  int strictCalls = 0;
};

class FrontTest : public SpeechFixture {
 protected:
  TestEngine three, five, other;
  void SetUp() override {
    SpeechFixture::SetUp();
    engines = {&three, &five, &other};
  }
};

TEST_F(FrontTest, SpeedOutsideOneToFiveIsThreeAndItsKeysAreRead) {
  writeIni(
      "VELOCIDADE=7\n[SINTETIZADOR]\nCORTEFON3=123\nSOBRAFON3=x\nINTERPAL3=50\n"
      "PAUSAPONTO3=400\nPAUSAVIRG3=abc\nPAUSADOISPONTOS3=99999999\nRAPIDINHO3=Sim\n"
      "CORTAFALA3=nao\nDIFONES3=DIFONES2XYZ\nPAUSAPONTO5=10\n");
  ASSERT_TRUE(front().speechStart(0, ""));
  EXPECT_EQ(front().state().speed, 3);
  EXPECT_EQ(database.settings().cutLength, 123);
  EXPECT_EQ(database.settings().keepLength, 0) << "the synthesizer's own value";
  EXPECT_EQ(database.settings().wordPause, 50);
  EXPECT_EQ(database.settings().baseName, "DIFONES2");
  EXPECT_EQ(front().state().fullStopPause, 400);
  EXPECT_EQ(front().state().commaPause, 150);
  EXPECT_EQ(front().state().colonPause, 5000) << "an absurd pause is bounded";
  EXPECT_TRUE(player.waveFast());
  EXPECT_FALSE(player.waveCompress());
  EXPECT_EQ(front().state().lettersDir, (root_ / "letras").string() + "\\");
  EXPECT_TRUE(front().state().soundDir.empty());
  front().speechStop();
  ASSERT_TRUE(front().speechStart(5, "som"));
  EXPECT_EQ(front().state().fullStopPause, 10);
  EXPECT_EQ(front().state().soundDir, "som\\");
}

TEST_F(FrontTest, AFailedSynthesizerShowsTwoLinesWaitsForEnterAndEnds) {
  writeIni("[SINTETIZADOR]\nDIFONES3=NADA\n");
  EXPECT_FALSE(front().speechStart(3, ""));
  EXPECT_EQ(console.lines, (List{"Erro de inicializa\xE7\xE3o: 1", "Banco de dados de voz: NADA"}));
  EXPECT_EQ(console.linesRead, 1);
  EXPECT_TRUE(console.closed);
  EXPECT_FALSE(database.ready());
}

TEST_F(FrontTest, TheEngineIsChosenByTypeAndItsSpeedBounded) {
  writeIni("SAPI=Nao\n[SERVFALA]\nTIPOSAPI=5\n");
  ASSERT_TRUE(start());
  EXPECT_FALSE(front().state().engineActive);
  EXPECT_TRUE(five.log.empty());

  writeIni("SAPI=S\n[SERVFALA]\nVOZ=2\nVELOCIDADE=15\nTOM=4\nTIPOSAPI=5\n");
  five.busyPolls = 4;  // still busy after start: polled every 50 ms
  ASSERT_TRUE(start());
  EXPECT_TRUE(front().state().engineActive);
  EXPECT_EQ(front().state().engineType, 5);
  EXPECT_EQ(five.log, (List{"start 2 0 4"}));
  EXPECT_EQ(five.busyPolls, 0);
  EXPECT_GE(five.strictCalls, 4);

  writeIni("SAPI=S\n[SERVFALA]\nVELOCIDADE=15\nTIPOSAPI=4\n");
  ASSERT_TRUE(start());
  EXPECT_EQ(other.log, (List{"start 0 15 0"}));
  writeIni("SAPI=S\n[SERVFALA]\nVELOCIDADE=15\nTIPOSAPI=7\n");
  ASSERT_TRUE(start());
  EXPECT_EQ(other.log.back(), "start 0 0 0") << "7 is the other engine, not 4";
  EXPECT_EQ(front().engines().dispatcherType(), 7);

  writeIni("SAPI=S\n[SERVFALA]\nTIPOSAPI=3\n");
  three.startWorks = false;
  ASSERT_TRUE(start());
  EXPECT_FALSE(front().state().engineActive) << "a failed start leaves the own voice";
  EngineDispatcher none(logging);
  EXPECT_FALSE(none.engineStart(0, 0, 0, "", 5)) << "an absent engine fails to start";
  EXPECT_FALSE(none.engineBusy(false));
}

TEST_F(FrontTest, AnActiveEngineSpeaksWholeTextsIsCutAndStopped) {
  writeIni("SAPI=S\n[SERVFALA]\nTIPOSAPI=5\n");
  record("_DEL");
  ASSERT_TRUE(start());
  front().text().speakText("Bom dia, 42.");
  EXPECT_EQ(five.log.back(), "speak Bom dia, 42.");
  EXPECT_TRUE(front().recorded().speechPending());
  // The next recording waits for the engine to finish.
  front().recorded().speakMessage("_DEL");
  EXPECT_EQ(five.busyPolls, 0);
  EXPECT_EQ(heard(), (List{"_DEL"}));

  front().text().speakText("mais");
  pump.pushKey('q');
  EXPECT_FALSE(front().recorded().isSpeaking());
  EXPECT_EQ(five.log.back(), "cut");
  front().text().speakText("nada");
  EXPECT_NE(five.log.back(), "speak nada") << "a pending key: nothing spoken";
  EXPECT_EQ(pump.keyCount(), 1u);
  pump.takeKey();

  front().speechStop();
  EXPECT_EQ(five.log.back(), "stop");
  EXPECT_FALSE(front().state().engineActive);
  EXPECT_FALSE(database.ready());
}

TEST_F(FrontTest, MbrolaIsCutEvenWhenIdleAndAStuckEngineCannotHoldStartUp) {
  writeIni("SAPI=S\n[SERVFALA]\nTIPOSAPI=3\n");
  three.forever = true;
  ASSERT_TRUE(start());
  EXPECT_TRUE(front().state().engineActive);
  three.forever = false;
  front().recorded().stopSpeech();
  EXPECT_EQ(three.log.back(), "cut");
  EXPECT_GE(logging.wakes, 1) << "1123 posted";
}

}  // namespace
}  // namespace lamina::speech
