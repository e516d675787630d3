// The MBROLA engine through the real wave player into the recording device:
// the lines it writes for a speed and pitch, the blocks the device gets, the
// wave file, the stop cut by a key, errors of the synthesizer in the middle
// of a text, failed starts, and the MBROLA program (a stand-in) that dies,
// hangs or floods.
#include "mbrola_tts/mbrola_engine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "mbrola_tts/pho_synth.h"
#include "mbrola_tts/program_backend.h"
#include "platform/recording_wave_out.h"
#include "platform/riff.h"
#include "test_util.h"
#include "wave/simple_pump.h"
#include "wave/wave_player.h"

namespace lamina::mbrola_tts {
namespace {

namespace fs = std::filesystem;
using test::cp;
using Clock = std::chrono::steady_clock;

const char* kText = "Bom dia. A apresentação tem 12 slides, e o arquivo está pronto.";

// What a recording synthesizer saw and gave.
struct BackendLog {
  std::string database;
  std::vector<std::string> lines;
  std::vector<std::int16_t> produced;
  int resets = 0;
  int closes = 0;
};

// Each phoneme line gives its duration of a ramp, or `fixedSamples` when set;
// the line numbered `errorAt` is refused.
class RecordingBackend final : public MbrolaBackend {
 public:
  RecordingBackend(BackendLog& log, int errorAt, int fixedSamples)
      : log_(log), errorAt_(errorAt), fixed_(fixedSamples) {}
  int init(std::string_view database) override {
    log_.database = database;
    return 0;
  }
  void setNoError(int) override {}
  void reset() override {
    ++log_.resets;
    error_ = 0;
  }
  int write(std::string_view line) override {
    if (static_cast<int>(log_.lines.size()) == errorAt_) error_ = 1;
    log_.lines.emplace_back(line);
    const PhoLine p = parsePhoLine(line);
    if (p.kind != PhoLine::Kind::phoneme) return 0;
    const int n = fixed_ >= 0 ? fixed_ : static_cast<int>(p.durationMs * 16);
    for (int i = 0; i < n; ++i, ++counter_) {
      pending_.push_back(static_cast<std::int16_t>(counter_ * 37 % 20000 - 10000));
    }
    return 0;
  }
  int lastError() override { return error_; }
  void flush() override {}
  int read(std::span<std::int16_t> out) override {
    const std::size_t n = std::min(out.size(), pending_.size() - pos_);
    std::copy_n(pending_.begin() + static_cast<std::ptrdiff_t>(pos_), n, out.begin());
    log_.produced.insert(log_.produced.end(), out.begin(), out.begin() + n);
    pos_ += n;
    return static_cast<int>(n);
  }
  void close() override { ++log_.closes; }

 private:
  BackendLog& log_;
  int errorAt_;
  int fixed_;
  int error_ = 0;
  long counter_ = 1;
  std::vector<std::int16_t> pending_;
  std::size_t pos_ = 0;
};

fs::path tempPath(const std::string& name) {
  std::random_device random;
  return fs::temp_directory_path() /
         ("lamina-mbrola-" + std::to_string(random()) + std::to_string(random()) + "-" + name);
}

const MbrolaFrontEnd& frontEnd() {
  static const MbrolaFrontEnd f = [] {
    MbrolaFrontEnd e;
    SilentReporter reporter;
    e.load(LanguageFiles::inFolder(LAMINA_MBROLA_DATA_DIR), reporter);
    return e;
  }();
  return f;
}

// The lines as the engine must send them.
std::vector<std::string> sent(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!lines[i].empty() || i + 1 == lines.size()) out.push_back(lines[i] + "\r\n");
  }
  return out;
}

MbrolaSettings dataSettings() {
  MbrolaSettings s;
  s.directory = std::string(LAMINA_MBROLA_DATA_DIR) + "/";
  return s;
}

std::vector<std::int16_t> samplesOf(std::span<const std::uint8_t> bytes) {
  std::vector<std::int16_t> out;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    out.push_back(static_cast<std::int16_t>(riff::le16(bytes, i)));
  }
  return out;
}

class MbrolaEngineTest : public ::testing::Test {
 protected:
  void SetUp() override { device.setAutoComplete(true); }
  MbrolaEngine& engine(int errorAt = -1, int fixedSamples = -1,
                       MbrolaSettings settings = dataSettings()) {
    enginePtr = std::make_unique<MbrolaEngine>(
        player, pump, std::move(settings), reporter, [this, errorAt, fixedSamples](auto&) {
          return std::make_unique<RecordingBackend>(log, errorAt, fixedSamples);
        });
    return *enginePtr;
  }
  std::vector<std::uint8_t> heard() const {
    std::vector<std::uint8_t> all;
    for (const auto& s : device.submissions())
      all.insert(all.end(), s.bytes.begin(), s.bytes.end());
    return all;
  }

  platform::RecordingWaveOut device;
  wave::SimplePump pump;
  wave::WavePlayer player{device, pump};
  CollectingReporter reporter;
  BackendLog log;
  std::unique_ptr<MbrolaEngine> enginePtr;
};

TEST_F(MbrolaEngineTest, SpeedAndPitchScaleTheLinesWritten) {
  struct Case {
    int speed, pitch;
    double speedFactor, pitchFactor;
  };
  for (const Case c : {Case{3, 0, 0.6, 1.0}, Case{0, 11, 0.8, 2.0}, Case{0, 0, 0.8, 1.0}}) {
    log = {};
    MbrolaEngine& e = engine();
    ASSERT_TRUE(e.mbrolaStart(0, c.speed, c.pitch, ""));
    // No registry: the configured name reaches the synthesizer unchanged.
    EXPECT_EQ(log.database, "br4");
    EXPECT_DOUBLE_EQ(e.speedFactor(), c.speedFactor);
    EXPECT_DOUBLE_EQ(e.pitchFactor(), c.pitchFactor);
    EXPECT_TRUE(e.speakMbrola(cp(kText)));
    EXPECT_EQ(log.lines, sent(frontEnd().textToMbrola(cp(kText), c.pitchFactor, c.speedFactor)))
        << "speed " << c.speed << " pitch " << c.pitch;
    e.mbrolaStop();
  }
  // The factors are set also when the start fails.
  MbrolaEngine failing(player, pump, dataSettings(), reporter, [](auto&) { return nullptr; });
  EXPECT_FALSE(failing.mbrolaStart(0, 3, 11, ""));
  EXPECT_DOUBLE_EQ(failing.speedFactor(), 0.6);
  EXPECT_DOUBLE_EQ(failing.pitchFactor(), 2.0);
}

TEST_F(MbrolaEngineTest, BlankTextSendsNothing) {
  MbrolaEngine& e = engine();
  ASSERT_TRUE(e.mbrolaStart(0, 0, 0, ""));
  EXPECT_TRUE(e.speakMbrola(""));
  EXPECT_TRUE(e.speakMbrola(" \t\r\n "));
  EXPECT_TRUE(log.lines.empty());
  EXPECT_EQ(log.resets, 0);
  EXPECT_TRUE(device.submissions().empty());
}

TEST_F(MbrolaEngineTest, BlocksOfHalfASecondThenAPaddedTailWithPlayerOptionsOff) {
  MbrolaEngine& e = engine();
  ASSERT_TRUE(e.mbrolaStart(0, 0, 0, ""));
  player.setWaveFast(true);
  player.setWaveCompress(true);
  std::string text;
  for (int i = 0; i < 4; ++i) text += cp(kText) + " ";
  EXPECT_TRUE(e.speakMbrola(text));
  EXPECT_TRUE(player.waveFast());
  EXPECT_TRUE(player.waveCompress());
  const auto& blocks = device.submissions();
  ASSERT_GT(blocks.size(), 3u);
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    EXPECT_EQ(blocks[i].format, platform::makePcmFormat(16000, 16, 1));
    if (i + 1 < blocks.size()) {
      EXPECT_GE(blocks[i].bytes.size(), kPlayBlockBytes) << i;
    }
    EXPECT_LE(blocks[i].bytes.size(), kPlayRoomBytes) << i;
  }
  EXPECT_EQ(samplesOf(heard()), log.produced);

  // A tail shorter than 256 bytes is filled with silence.
  log = {};
  device.clearSubmissions();
  MbrolaEngine& tiny = engine(-1, 1);
  ASSERT_TRUE(tiny.mbrolaStart(0, 0, 0, ""));
  EXPECT_TRUE(tiny.speakMbrola(cp("sim")));
  ASSERT_EQ(device.submissions().size(), 1u);
  const auto got = samplesOf(heard());
  ASSERT_EQ(got.size(), kMinLastBlockBytes / 2);
  EXPECT_TRUE(std::equal(log.produced.begin(), log.produced.end(), got.begin()));
  EXPECT_TRUE(std::all_of(got.begin() + static_cast<std::ptrdiff_t>(log.produced.size()), got.end(),
                          [](std::int16_t s) { return s == 0; }));
}

TEST_F(MbrolaEngineTest, FileModeWritesTheSamplesAndTheFinalSizeAtStop) {
  const fs::path file = tempPath("out.wav");
  MbrolaEngine& e = engine();
  ASSERT_TRUE(e.mbrolaStart(0, 0, 0, file.string()));
  EXPECT_TRUE(e.fileMode());
  EXPECT_TRUE(e.speakMbrola(cp(kText)));
  EXPECT_TRUE(e.speakMbrola(cp("Fim.")));
  EXPECT_FALSE(e.mbrolaBusy());
  e.mbrolaStop();
  EXPECT_TRUE(device.submissions().empty());
  std::ifstream in(file, std::ios::binary);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  fs::remove(file);
  ASSERT_GT(bytes.size(), riff::kWaveHeaderSize);
  EXPECT_EQ(riff::le32(bytes, 24), 16000u);
  EXPECT_EQ(riff::le16(bytes, 34), 16u);
  EXPECT_EQ(riff::le16(bytes, 22), 1u);
  EXPECT_EQ(riff::le16(bytes, 32), 2u);
  EXPECT_EQ(riff::le32(bytes, 40), bytes.size() - riff::kWaveHeaderSize);
  EXPECT_EQ(riff::le32(bytes, 4), bytes.size() - 8);
  EXPECT_EQ(samplesOf(std::span(bytes).subspan(riff::kWaveHeaderSize)), log.produced);

  // An output file that cannot be created fails the start.
  MbrolaEngine& bad = engine();
  EXPECT_FALSE(bad.mbrolaStart(0, 0, 0, (file / "no" / "such.wav").string()));
}

TEST_F(MbrolaEngineTest, KeyDuringStopCutsAndTheStopGoesOn) {
  device.setAutoComplete(false);
  MbrolaEngine& e = engine();
  ASSERT_TRUE(e.mbrolaStart(0, 0, 0, ""));
  // Short enough for the device's four blocks, which nothing completes.
  e.mbrolaSpeak(cp("Bom dia."));
  ASSERT_GT(device.queuedBlocks(), 0u);
  pump.setIdleHook([this] {
    if (pump.keyCount() == 0) pump.pushKey(27);
  });
  e.mbrolaStop();
  EXPECT_GE(pump.virtualSleptMs(), 500u);
  EXPECT_EQ(device.queuedBlocks(), 0u);
  EXPECT_EQ(log.closes, 1);
  EXPECT_EQ(pump.keyCount(), 1u) << "the key stays for the program";
  EXPECT_EQ(e.backend(), nullptr);
}

TEST_F(MbrolaEngineTest, AnErrorMidTextResetsAndTheRestIsStillSent) {
  MbrolaEngine& e = engine(5);
  ASSERT_TRUE(e.mbrolaStart(0, 0, 0, ""));
  EXPECT_FALSE(e.speakMbrola(cp(kText)));
  EXPECT_EQ(log.lines, sent(frontEnd().textToMbrola(cp(kText), 1.0, 0.8)));
  EXPECT_EQ(log.resets, 2);
  EXPECT_FALSE(device.submissions().empty());
}

TEST_F(MbrolaEngineTest, FailedStartsSayWhy) {
  const fs::path dir = tempPath("lang");
  struct Case {
    const char* missing;
    const char* message;
  };
  for (const Case c :
       {Case{".nrl", "Erro na base de dados de português"},
        Case{".exc", "Erro na base de dados de português"},
        Case{".abr", "Erro no arquivo de abreviaturas"},
        Case{".pro", "Erro no arquivo de prosódia"}, Case{".dfn", "Erro no arquivo de prosódia"}}) {
    fs::create_directories(dir);
    for (const char* ext : {".nrl", ".exc", ".abr", ".pro", ".dfn"}) {
      if (std::string(ext) != c.missing) {
        fs::copy_file(fs::path(LAMINA_MBROLA_DATA_DIR) / (std::string("portug") + ext),
                      dir / (std::string("portug") + ext));
      }
    }
    MbrolaSettings s;
    s.directory = dir.string() + "/";
    MbrolaEngine& e = engine(-1, -1, s);
    EXPECT_FALSE(e.mbrolaStart(0, 0, 0, "")) << c.missing;
    EXPECT_EQ(e.lastErrorText(), cp(c.message)) << c.missing;
    e.mbrolaStop();
    fs::remove_all(dir);
  }

  // A damaged voice fails the start cleanly, with no text of the front-end.
  const fs::path voice = tempPath("voice.dip");
  std::ofstream(voice, std::ios::binary) << "LAMINA voice, but not really";
  MbrolaSettings s = dataSettings();
  s.database = voice.string();
  MbrolaEngine own(player, pump, s, reporter, [](auto&) { return std::make_unique<PhoSynth>(); });
  EXPECT_FALSE(own.mbrolaStart(0, 0, 0, ""));
  EXPECT_EQ(own.lastErrorText(), "");
  EXPECT_EQ(own.backend(), nullptr);
  fs::remove(voice);
}

TEST(MbrolaSettingsTest, DefaultsAndTheFolderEndsInASlash) {
  const fs::path dir = tempPath("ini");
  fs::create_directories(dir);
  std::ofstream(dir / "ORALIS.INI") << "[MARELTTS]\nDIR=voz\\pt\nBASE=\nMBROLA_PROG=mb\n";
  const MbrolaSettings s = mbrolaSettings(speech::ConfigReader({dir, dir}));
  EXPECT_EQ(s.database, "br4");
  EXPECT_EQ(s.directory, "voz\\pt/");
  EXPECT_EQ(s.base, "portug");
  EXPECT_EQ(s.program, "mb");
  EXPECT_EQ(s.files().prosody, fs::path("voz/pt/portug.pro"));
  fs::remove(dir / "ORALIS.INI");
  const MbrolaSettings none = mbrolaSettings(speech::ConfigReader({dir, dir}));
  EXPECT_EQ(none.directory.back(), '/');
  EXPECT_TRUE(fs::exists(none.files().rules)) << none.directory;
  fs::remove_all(dir);
}

// The stand-in for the MBROLA program, with LAMINA_STANDIN_MODE set.
class MbrolaProgramTest : public MbrolaEngineTest {
 protected:
  void SetUp() override {
    MbrolaEngineTest::SetUp();
    std::ofstream(database) << "db";
    settings.program = LAMINA_MBROLA_STANDIN;
    settings.database = database.string();
  }
  void TearDown() override {
    ::unsetenv("LAMINA_STANDIN_MODE");
    fs::remove(database);
  }
  fs::path database = tempPath("db");
  MbrolaSettings settings = dataSettings();
};

TEST_F(MbrolaProgramTest, ChosenWhenThereAndSpeaksTheLinesDurations) {
  EXPECT_NE(dynamic_cast<MbrolaProgram*>(chooseMbrolaBackend(settings).get()), nullptr);
  MbrolaSettings own = settings;
  own.database = (database / "none").string();
  EXPECT_NE(dynamic_cast<PhoSynth*>(chooseMbrolaBackend(own).get()), nullptr);
  own = settings;
  own.program = (database.parent_path() / "no-mbrola-here").string();
  EXPECT_NE(dynamic_cast<PhoSynth*>(chooseMbrolaBackend(own).get()), nullptr);

  MbrolaEngine e(player, pump, settings, reporter);
  ASSERT_TRUE(e.mbrolaStart(0, 0, 0, ""));
  EXPECT_TRUE(e.speakMbrola(cp(kText)));
  double ms = 0;
  for (const std::string& l : frontEnd().textToMbrola(cp(kText), 1.0, 0.8)) {
    if (const PhoLine p = parsePhoLine(l); p.kind == PhoLine::Kind::phoneme) ms += p.durationMs;
  }
  const auto got = samplesOf(heard());
  EXPECT_NEAR(static_cast<double>(got.size()), ms * 16, 200);
  EXPECT_GT(*std::max_element(got.begin(), got.end()), 4000);
  e.mbrolaStop();

  // A database the program refuses fails the start.
  MbrolaProgram refused(LAMINA_MBROLA_STANDIN);
  EXPECT_EQ(refused.init(database.parent_path().string()), -1);
  EXPECT_EQ(refused.starts(), 1);
}

TEST_F(MbrolaProgramTest, AProgramThatDiesHangsOrFloodsEndsTheTextAndSpeechGoesOn) {
  MbrolaEngine e(player, pump, settings, reporter);
  for (const char* mode : {"crash", "hang", "garbage", "odd"}) {
    // The child reads its mode when it starts.
    ::setenv("LAMINA_STANDIN_MODE", mode, 1);
    ASSERT_TRUE(e.mbrolaStart(0, 0, 0, ""));
    device.clearSubmissions();
    const auto t = Clock::now();
    EXPECT_FALSE(e.speakMbrola(cp("Um dois bomba. Três quatro cinco seis."))) << mode;
    EXPECT_LT(Clock::now() - t, std::chrono::seconds(10)) << mode;
    EXPECT_FALSE(device.submissions().empty()) << mode;
    const auto* program = dynamic_cast<MbrolaProgram*>(e.backend());
    ASSERT_NE(program, nullptr);
    EXPECT_GE(program->starts(), 2) << mode << ": the child was not replaced";
    ::setenv("LAMINA_STANDIN_MODE", "normal", 1);
    device.clearSubmissions();
    EXPECT_TRUE(e.speakMbrola(cp("Bom dia."))) << "after " << mode;
    EXPECT_GT(samplesOf(heard()).size(), 4000u) << "after " << mode;
  }
  e.mbrolaStop();

  // A child that falls silent late in a text is replaced before the next.
  ::setenv("LAMINA_STANDIN_MODE", "hang", 1);
  ASSERT_TRUE(e.mbrolaStart(0, 0, 0, ""));
  e.speakMbrola(cp("Um dois três quatro cinco seis sete oito nove bomba."));
  ::setenv("LAMINA_STANDIN_MODE", "normal", 1);
  device.clearSubmissions();
  const auto t = Clock::now();
  EXPECT_TRUE(e.speakMbrola(cp("Bom dia.")));
  EXPECT_LT(Clock::now() - t, std::chrono::seconds(2));
  EXPECT_GT(samplesOf(heard()).size(), 4000u);
  e.mbrolaStop();
}

}  // namespace
}  // namespace lamina::mbrola_tts
