#include "wave/wave_player.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/recording_wave_out.h"
#include "tests/wave/wave_fixture.h"
#include "wave/simple_pump.h"

namespace lamina::wave {
namespace {

using platform::RecordingWaveOut;
using testing::appendChunk;
using testing::ramp;
using testing::TempFile;
using testing::waveImage;

class RecordingReporter : public DeviceErrorReporter {
 public:
  void showAndWaitEnter(std::string_view text) override { texts.emplace_back(text); }
  std::vector<std::string> texts;
};

class WavePlayerTest : public ::testing::Test {
 protected:
  // The device completes one block each time the player would block or
  // sleep, so waits end without real time passing.
  void completeWhenIdle() {
    pump.setIdleHook([this] {
      ASSERT_LT(++idleCalls, 100000) << "the player never stopped waiting";
      device.completeNext();
    });
  }
  std::vector<std::size_t> submittedSizes() const {
    std::vector<std::size_t> sizes;
    for (const auto& s : device.submissions()) sizes.push_back(s.bytes.size());
    return sizes;
  }

  RecordingWaveOut device;
  SimplePump pump;
  RecordingReporter reporter;
  WavePlayer player{device, pump, reporter};
  int idleCalls = 0;
};

TEST(MakeWaveHeader, WritesTheFortyFourByteLayout) {
  std::vector<std::uint8_t> image(50, 0xEE);
  ASSERT_TRUE(makeWaveHeader(image, 1000, 22050, 16, 2));
  const std::vector<std::uint8_t> expected = {
      'R', 'I', 'F', 'F', 0x0C, 0x04, 0,   0,   'W', 'A',  'V',  'E',  'f', 'm',  't',
      ' ', 16,  0,   0,   0,    1,    0,   2,   0,   0x22, 0x56, 0,    0,   0x88, 0x58,
      1,   0,   1,   0,   16,   0,    'd', 'a', 't', 'a',  0xE8, 0x03, 0,   0};
  EXPECT_EQ(std::vector<std::uint8_t>(image.begin(), image.begin() + 44), expected);
  EXPECT_EQ(image[44], 0xEE) << "the samples are not touched";

  std::vector<std::uint8_t> tooShort(43, 0);
  EXPECT_FALSE(makeWaveHeader(tooShort, 10, 11025, 8, 1));
  EXPECT_EQ(tooShort, std::vector<std::uint8_t>(43, 0));
}

TEST(FilePieceSize, NeverLeavesARestBelowTheMinimumBlock) {
  EXPECT_EQ(filePieceSize(100), 100u);
  EXPECT_EQ(filePieceSize(65534), 65534u);
  EXPECT_EQ(filePieceSize(65535), 65278u);
  EXPECT_EQ(filePieceSize(65600), 65278u);
  EXPECT_EQ(filePieceSize(65789), 65278u);
  EXPECT_EQ(filePieceSize(65790), 65534u);
  EXPECT_EQ(filePieceSize(1'000'000), 65534u);
}

TEST_F(WavePlayerTest, SameFormatSoundsShareTheOpenDevice) {
  ASSERT_EQ(player.playWaveMemory(waveImage(ramp(1000))), platform::WaveResult::ok);
  ASSERT_EQ(player.playWaveMemory(waveImage(ramp(2000))), platform::WaveResult::ok);
  EXPECT_EQ(device.opens().size(), 1u);
  EXPECT_EQ(device.closes(), 0);
  EXPECT_EQ(submittedSizes(), (std::vector<std::size_t>{1000, 2000}));
  EXPECT_EQ(player.queuedBlocks(), 2);
  EXPECT_EQ(device.opens()[0], platform::makePcmFormat(11025, 8, 1));

  device.completeAll();
  EXPECT_FALSE(player.wavePlaying());
  EXPECT_FALSE(device.isOpen());
  // Once polled to its end, the next sound opens the device afresh.
  ASSERT_EQ(player.playWaveMemory(waveImage(ramp(1000))), platform::WaveResult::ok);
  EXPECT_EQ(device.opens().size(), 2u);
}

TEST_F(WavePlayerTest, AnotherFormatWaitsForThePreviousSoundAndReopens) {
  completeWhenIdle();
  ASSERT_EQ(player.playWaveMemory(waveImage(ramp(1000))), platform::WaveResult::ok);
  ASSERT_EQ(player.playWaveMemory(waveImage(ramp(1000), 22050, 16, 2)), platform::WaveResult::ok);
  ASSERT_EQ(device.opens().size(), 2u);
  EXPECT_EQ(device.closes(), 1);
  EXPECT_EQ(device.opens()[1], platform::makePcmFormat(22050, 16, 2));
  EXPECT_EQ(device.submissions()[0].format.bitsPerSample, 8);
  EXPECT_EQ(device.submissions()[1].format.bitsPerSample, 16);
}

TEST_F(WavePlayerTest, ShortEightBitMonoBlockIsPaddedWithSilence) {
  const auto samples = ramp(100);
  ASSERT_EQ(player.playWaveMemory(waveImage(samples)), platform::WaveResult::ok);
  ASSERT_EQ(device.submissions().size(), 1u);
  const auto& bytes = device.submissions()[0].bytes;
  ASSERT_EQ(bytes.size(), 256u);
  EXPECT_TRUE(std::equal(samples.begin(), samples.begin() + 99, bytes.begin()));
  EXPECT_TRUE(std::all_of(bytes.begin() + 99, bytes.end(), [](auto b) { return b == 128; }));
}

TEST_F(WavePlayerTest, LastByteOfAPartialBlockIsSilencedOnlyForEightBitMono) {
  auto samples = ramp(65534 + 300);
  samples[65533] = 7;
  samples.back() = 9;
  ASSERT_EQ(player.playWaveMemory(waveImage(samples)), platform::WaveResult::ok);
  ASSERT_EQ(submittedSizes(), (std::vector<std::size_t>{65534, 300}));
  EXPECT_EQ(device.submissions()[0].bytes.back(), 7) << "a full block keeps its last byte";
  EXPECT_EQ(device.submissions()[1].bytes.back(), 128);

  device.completeAll();
  player.wavePlaying();
  device.clearSubmissions();
  std::vector<std::uint8_t> stereo(100, 0x55);
  ASSERT_EQ(player.playWaveMemory(waveImage(stereo, 11025, 16, 2)), platform::WaveResult::ok);
  const auto& bytes = device.submissions().at(0).bytes;
  ASSERT_EQ(bytes.size(), 256u);
  EXPECT_EQ(bytes[99], 0x55);
  EXPECT_TRUE(std::all_of(bytes.begin() + 100, bytes.end(), [](auto b) { return b == 0; }));
}

TEST_F(WavePlayerTest, SixteenBitMonoWithCompressionPlaysAsEightBit) {
  player.setWaveCompress(true);
  std::vector<std::uint8_t> samples;
  for (int i = 0; i < 300; ++i) {
    samples.push_back(0x34);
    samples.push_back(static_cast<std::uint8_t>(i));  // high byte
  }
  ASSERT_EQ(player.playWaveMemory(waveImage(samples, 11025, 16, 1)), platform::WaveResult::ok);
  ASSERT_EQ(device.opens().size(), 1u);
  EXPECT_EQ(device.opens()[0].bitsPerSample, 8);
  const auto& bytes = device.submissions().at(0).bytes;
  ASSERT_EQ(bytes.size(), 300u);
  for (std::size_t i = 0; i + 1 < 300; ++i) ASSERT_EQ(bytes[i], (i ^ 0x80) & 0xFF) << i;
  EXPECT_EQ(bytes[299], 128);
}

TEST_F(WavePlayerTest, CompressionOfOneSixteenBitByteGivesAnUntouchedEmptyBlock) {
  player.setWaveCompress(true);
  ASSERT_EQ(player.playWaveMemory(waveImage({0x7F}, 11025, 16, 1)), platform::WaveResult::ok);
  const auto& bytes = device.submissions().at(0).bytes;
  EXPECT_EQ(bytes, std::vector<std::uint8_t>(256, 128));
}

// Pulses of 255 every `period` samples over a silent line.
std::vector<std::uint8_t> pulses(std::size_t n, std::size_t period, std::size_t phase) {
  std::vector<std::uint8_t> v(n, 128);
  for (std::size_t i = phase; i < n; i += period) v[i] = 255;
  return v;
}

TEST(DropPeriods, KeepsEveryOtherPeriodWithNarrowWindows) {
  auto signal = pulses(2000, 100, 50);
  const auto original = signal;
  const std::size_t n = dropPeriods(signal, 8, 11025);
  // First peak at 250 (searched in 200..330); each step keeps the 101 bytes
  // from one pulse to the next one and skips the period before it.
  std::vector<std::uint8_t> expected(original.begin(), original.begin() + 250);
  for (std::size_t h = 350; h + 100 < 2000 && h - 100 + 260 < 2000; h += 200) {
    expected.insert(expected.end(), original.begin() + static_cast<std::ptrdiff_t>(h),
                    original.begin() + static_cast<std::ptrdiff_t>(h + 101));
  }
  ASSERT_EQ(n, expected.size());
  EXPECT_EQ(n, 250u + 8 * 101);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), signal.begin()));
}

TEST(DropPeriods, UsesWideWindowsAtOtherRates) {
  auto signal = pulses(6000, 400, 100);
  const auto original = signal;
  const std::size_t n = dropPeriods(signal, 8, 16537);
  // Wide windows: first peak in 800..1320 is 900; steps keep 900+400k..
  std::vector<std::uint8_t> expected(original.begin(), original.begin() + 900);
  std::size_t p = 900;
  while (p + 1040 < 6000) {
    const std::size_t h = p + 400;
    const std::size_t m = h + 400;
    expected.insert(expected.end(), original.begin() + static_cast<std::ptrdiff_t>(h),
                    original.begin() + static_cast<std::ptrdiff_t>(m + 1));
    p = m;
  }
  ASSERT_EQ(n, expected.size());
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), signal.begin()));

  auto narrow = original;
  EXPECT_NE(dropPeriods(narrow, 8, 11025), n);
}

TEST(DropPeriods, ShortBuffersAndSixteenBitConversion) {
  std::vector<std::uint8_t> small = pulses(999, 100, 3);
  const auto before = small;
  EXPECT_EQ(dropPeriods(small, 8, 11025), 999u);
  EXPECT_EQ(small, before);

  std::vector<std::uint8_t> wide = {0x00, 0x00, 0xFF, 0x7F, 0x00, 0x80, 0xAA};
  EXPECT_EQ(dropPeriods(wide, 16, 11025), 3u);
  EXPECT_EQ(wide[0], 0x80);
  EXPECT_EQ(wide[1], 0xFF);
  EXPECT_EQ(wide[2], 0x00);

  std::vector<std::uint8_t> one = {0x12};
  EXPECT_EQ(dropPeriods(one, 16, 11025), 0u);
}

TEST(DropPeriods, AlwaysAdvancesAndStaysInsideTheBlock) {
  std::vector<std::uint8_t> zeros(5000, 0);
  const std::size_t n = dropPeriods(zeros, 8, 11025);
  EXPECT_LT(n, 5000u);
  // A wide-window block shorter than the first peak search (ends at 1320).
  std::vector<std::uint8_t> shortWide(1100, 200);
  EXPECT_LE(dropPeriods(shortWide, 8, 22050), 1100u);
  // The tail copy stops at a byte near silence.
  std::vector<std::uint8_t> loud(3000, 250);
  EXPECT_LE(dropPeriods(loud, 8, 11025), 3000u);
}

TEST_F(WavePlayerTest, FastPlayRaisesTheRateAndWidensTheWindows) {
  player.setWaveFast(true);
  player.setWaveCompress(true);
  const auto samples = pulses(6000, 400, 100);
  ASSERT_EQ(player.playWaveMemory(waveImage(samples)), platform::WaveResult::ok);
  EXPECT_EQ(device.opens().at(0).samplesPerSecond, 16537u);
  auto expected = samples;
  expected.resize(dropPeriods(expected, 8, 16537));
  expected.back() = 128;
  EXPECT_EQ(device.submissions().at(0).bytes, expected);
}

std::vector<std::uint8_t> waveFile(const std::vector<std::uint8_t>& samples,
                                   std::uint32_t rate = 11025, std::uint16_t bits = 8,
                                   std::uint16_t channels = 1) {
  return waveImage(samples, rate, bits, channels);
}

TEST_F(WavePlayerTest, FileIsReadInPiecesThatAvoidATinyRest) {
  completeWhenIdle();
  const auto samples = ramp(65600);
  TempFile file(waveFile(samples));
  EXPECT_EQ(player.playWaveFile(file.path()), platform::WaveResult::ok);
  EXPECT_EQ(submittedSizes(), (std::vector<std::size_t>{65278, 322}));
  EXPECT_TRUE(std::equal(device.submissions()[0].bytes.begin(),
                         device.submissions()[0].bytes.end() - 1, samples.begin()));
  EXPECT_EQ(device.submissions()[1].bytes[0], samples[65278]);
  EXPECT_FALSE(device.isOpen()) << "playWaveFile returns after the sound ended";
  EXPECT_EQ(player.queuedBlocks(), 0);
}

TEST_F(WavePlayerTest, PendingKeyReturnsAtOnceAndStaysQueued) {
  pump.pushKey('x');
  TempFile file(waveFile(ramp(1000)));
  EXPECT_EQ(player.playWaveFile(file.path()), platform::WaveResult::ok);
  EXPECT_EQ(device.openAttempts(), 0);
  EXPECT_EQ(pump.keyCount(), 1u);
  EXPECT_EQ(pump.takeKey(), 'x');
}

TEST_F(WavePlayerTest, KeyDuringPlaybackResetsTheDevice) {
  pump.setIdleHook([this] { pump.pushKey(27); });
  TempFile file(waveFile(ramp(6 * 65534)));
  EXPECT_EQ(player.playWaveFile(file.path()), platform::WaveResult::ok);
  EXPECT_EQ(device.submissions().size(), 4u);
  EXPECT_EQ(device.resets(), 1);
  EXPECT_FALSE(device.isOpen());
  EXPECT_EQ(player.queuedBlocks(), 0);
  EXPECT_EQ(pump.keyCount(), 1u);
}

TEST_F(WavePlayerTest, ChunksBeforeDataAreSkippedAndIdsIgnoreCase) {
  completeWhenIdle();
  std::vector<std::uint8_t> file = {'r', 'i', 'f', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  const auto head = waveImage({});
  appendChunk(file, "FMT ", std::vector<std::uint8_t>(head.begin() + 20, head.begin() + 36));
  appendChunk(file, "LIST", ramp(30));
  appendChunk(file, "Data", ramp(500));
  TempFile f(file);
  EXPECT_EQ(player.playWaveFile(f.path()), platform::WaveResult::ok);
  EXPECT_EQ(submittedSizes(), (std::vector<std::size_t>{500}));
}

TEST_F(WavePlayerTest, OddChunksAreFollowedByAPadByteInFilesAndImages) {
  completeWhenIdle();
  std::vector<std::uint8_t> file = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  const auto head = waveImage({}, 11025, 16, 1);
  appendChunk(file, "fmt ", std::vector<std::uint8_t>(head.begin() + 20, head.begin() + 36));
  appendChunk(file, "LIST", ramp(31));
  file.push_back(0xEE);  // pad byte, not a sample and not part of a chunk head
  const auto samples = ramp(600);
  appendChunk(file, "data", samples);
  TempFile f(file);
  EXPECT_EQ(player.playWaveFile(f.path()), platform::WaveResult::ok);
  EXPECT_EQ(player.playWaveMemory(file), platform::WaveResult::ok);
  while (player.wavePlaying()) pump.waitMessage();
  ASSERT_EQ(device.submissions().size(), 2u);
  EXPECT_EQ(device.submissions()[0].bytes, samples);
  EXPECT_EQ(device.submissions()[1].bytes, samples);

  // An odd "fmt " chunk (a record with one byte more) is padded as well.
  std::vector<std::uint8_t> oddFormat = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  std::vector<std::uint8_t> record(head.begin() + 20, head.begin() + 36);
  record.push_back(0);
  appendChunk(oddFormat, "fmt ", record);
  oddFormat.push_back(0xEE);
  appendChunk(oddFormat, "data", samples);
  TempFile f2(oddFormat);
  EXPECT_EQ(player.playWaveFile(f2.path()), platform::WaveResult::ok);
  EXPECT_EQ(device.submissions().at(2).bytes, samples);
}

TEST_F(WavePlayerTest, FilesThatCannotPlayGiveMinusOne) {
  completeWhenIdle();
  std::vector<std::uint8_t> noData = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  const auto head = waveImage({});
  appendChunk(noData, "fmt ", std::vector<std::uint8_t>(head.begin() + 20, head.begin() + 36));
  appendChunk(noData, "LIST", ramp(30));
  TempFile f1(noData);
  EXPECT_EQ(player.playWaveFile(f1.path()), platform::WaveResult::notPlayable);

  auto truncated = waveFile(ramp(3000));
  truncated.resize(1000);
  TempFile f2(truncated);
  EXPECT_EQ(player.playWaveFile(f2.path()), platform::WaveResult::notPlayable);
  EXPECT_EQ(submittedSizes(), (std::vector<std::size_t>{956})) << "the part read is played";

  auto hugeSkip = noData;
  hugeSkip.resize(36);
  appendChunk(hugeSkip, "junk", {});
  hugeSkip[40] = 0xFF;  // length 65535 + ...: larger than the read buffer
  hugeSkip[41] = 0xFF;
  TempFile f3(hugeSkip);
  EXPECT_EQ(player.playWaveFile(f3.path()), platform::WaveResult::notPlayable);

  // A fmt chunk larger than the read buffer, or too small for the format.
  for (std::uint32_t fmtLength : {65536u, 12u}) {
    auto badFmt = waveFile(ramp(500));
    for (int i = 0; i < 4; ++i) badFmt[16 + i] = static_cast<std::uint8_t>(fmtLength >> (8 * i));
    TempFile f(badFmt);
    EXPECT_EQ(player.playWaveFile(f.path()), platform::WaveResult::notPlayable);
  }
  TempFile f4(std::vector<std::uint8_t>{'R', 'I', 'F', 'F', 1, 2});
  EXPECT_EQ(player.playWaveFile(f4.path()), platform::WaveResult::notPlayable);
  EXPECT_EQ(player.playWaveFile("no/such/file.wav"), platform::WaveResult::notPlayable);
  EXPECT_EQ(device.submissions().size(), 1u);
}

TEST_F(WavePlayerTest, FloatSamplesAreRefusedAsDamaged) {
  completeWhenIdle();
  auto image = waveImage(ramp(1600), 11025, 32, 1);
  image[20] = 3;  // IEEE float: as integers the samples would be loud noise
  TempFile f(image);
  EXPECT_EQ(player.playWaveFile(f.path()), platform::WaveResult::notPlayable);
  EXPECT_EQ(player.playWaveMemory(image), platform::WaveResult::notPlayable);
  EXPECT_EQ(device.openAttempts(), 0);
}

TEST_F(WavePlayerTest, UnplayableFormatsAreRefusedByTheDevice) {
  completeWhenIdle();
  for (auto [rate, bits, channels] : {std::tuple{11025u, 8, 0}, std::tuple{0u, 8, 1},
                                      std::tuple{11025u, 12, 1}, std::tuple{11025u, 0, 1}}) {
    TempFile f(waveFile(ramp(500), rate, static_cast<std::uint16_t>(bits),
                        static_cast<std::uint16_t>(channels)));
    EXPECT_EQ(player.playWaveFile(f.path()), platform::WaveResult::badFormat);
  }
  EXPECT_TRUE(device.submissions().empty());
}

TEST_F(WavePlayerTest, MemoryImagesMustBeRiffWithFmtAtTwelve) {
  auto image = waveImage(ramp(400));
  auto notRiff = image;
  notRiff[0] = 'X';
  EXPECT_EQ(player.playWaveMemory(notRiff), platform::WaveResult::notPlayable);
  auto fmtElsewhere = image;
  fmtElsewhere[12] = 'L';
  EXPECT_EQ(player.playWaveMemory(fmtElsewhere), platform::WaveResult::notPlayable);
  EXPECT_EQ(player.playWaveMemory(std::span(image).first(30)), platform::WaveResult::notPlayable);
  EXPECT_EQ(device.openAttempts(), 0);

  // A data length running past the image plays what is there.
  auto longer = image;
  longer[40] = 0xFF;
  longer[41] = 0xFF;
  EXPECT_EQ(player.playWaveMemory(longer), platform::WaveResult::ok);
  EXPECT_EQ(submittedSizes(), (std::vector<std::size_t>{400}));
}

TEST_F(WavePlayerTest, BusyDeviceIsRetriedEveryHundredMilliseconds) {
  pump.setIdleHook([] {});
  device.scriptOpenResults(
      {platform::WaveResult::allocated, platform::WaveResult::allocated, platform::WaveResult::ok});
  EXPECT_EQ(player.playWaveMemory(waveImage(ramp(300))), platform::WaveResult::ok);
  EXPECT_EQ(device.openAttempts(), 3);
  EXPECT_EQ(pump.virtualSleptMs(), 200u);

  RecordingWaveOut busy;
  WavePlayer other(busy, pump);
  busy.scriptOpenResults(std::vector(150, platform::WaveResult::allocated));
  EXPECT_EQ(other.playWaveMemory(waveImage(ramp(300))), platform::WaveResult::allocated);
  EXPECT_EQ(busy.openAttempts(), 100);

  RecordingWaveOut broken;
  WavePlayer third(broken, pump);
  broken.scriptOpenResults({platform::WaveResult::noDriver});
  EXPECT_EQ(third.playWaveMemory(waveImage(ramp(300))), platform::WaveResult::noDriver);
  EXPECT_EQ(broken.openAttempts(), 1);
}

TEST_F(WavePlayerTest, NoFreeSlotWithinTwoSecondsDropsTheBlock) {
  pump.setIdleHook([] {});
  ASSERT_EQ(player.openWaveDevice(11025, 8, 1), platform::WaveResult::ok);
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(player.queueBlock(ramp(300)));
  EXPECT_FALSE(player.queueBlock(ramp(300)));
  EXPECT_EQ(pump.virtualSleptMs(), 2000u);
  EXPECT_EQ(player.queuedBlocks(), 4);
  // Slots are used in turn 1, 2, 3, 4, 1.
  device.completeNext();
  ASSERT_TRUE(player.queueBlock(ramp(300)));
  std::vector<std::uintptr_t> users;
  for (const auto& s : device.submissions()) users.push_back(s.user);
  EXPECT_EQ(users, (std::vector<std::uintptr_t>{1, 2, 3, 4, 1}));
}

TEST_F(WavePlayerTest, EveryBlockIsWholeFramesSoTheNextSoundIsNotShifted) {
  completeWhenIdle();
  // An odd 16-bit data chunk, a file cut in the middle of a frame, a long
  // stereo image and a short 24-bit one, then a 16-bit sound that must
  // start on its own first sample.
  TempFile odd(waveFile(ramp(1001), 11025, 16, 1));
  EXPECT_EQ(player.playWaveFile(odd.path()), platform::WaveResult::ok);
  auto cut = waveFile(ramp(3000), 11025, 16, 1);
  cut.resize(44 + 999);
  TempFile cutFile(cut);
  EXPECT_EQ(player.playWaveFile(cutFile.path()), platform::WaveResult::notPlayable);
  EXPECT_EQ(player.playWaveMemory(waveImage(ramp(3 * 65534 + 7), 11025, 16, 2)),
            platform::WaveResult::ok);
  EXPECT_EQ(player.playWaveMemory(waveImage(ramp(100), 11025, 24, 1)), platform::WaveResult::ok);
  const auto next = ramp(512);
  TempFile nextFile(waveFile(next, 11025, 16, 1));
  EXPECT_EQ(player.playWaveFile(nextFile.path()), platform::WaveResult::ok);

  std::vector<std::size_t> sizes;
  for (const auto& sub : device.submissions()) {
    const std::size_t frame = sub.format.bitsPerSample / 8u * sub.format.channels;
    EXPECT_EQ(sub.bytes.size() % frame, 0u) << sub.bytes.size() << " bytes, frame " << frame;
    sizes.push_back(sub.bytes.size());
  }
  EXPECT_EQ(sizes, (std::vector<std::size_t>{1000, 998, 65532, 65532, 65532, 256, 258, 512}));
  EXPECT_EQ(device.submissions().back().bytes, next);
}

TEST_F(WavePlayerTest, ASlotIsReusedOnlyAfterItsOwnCompletion) {
  pump.setIdleHook([this] { device.completeNext(); });
  ASSERT_EQ(player.openWaveDevice(11025, 8, 1), platform::WaveResult::ok);
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(player.queueBlock(ramp(300)));
  device.completeNext();  // slot 1, really done
  pump.pumpMessages();
  device.noticeEarly();  // slot 2 reported while the device still plays it
  pump.pumpMessages();
  EXPECT_EQ(reporter.texts,
            (std::vector<std::string>{
                "The data block pointed to by the pwh parameter is still in queue"}));
  EXPECT_EQ(player.queuedBlocks(), 3) << "the early notice freed nothing";
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(player.queueBlock(std::vector<std::uint8_t>(300, 9)));
  device.completeAll();
  pump.pumpMessages();
  EXPECT_EQ(device.reusedWhileQueued(), 0);
  std::vector<std::uintptr_t> users;
  for (const auto& sub : device.submissions()) users.push_back(sub.user);
  EXPECT_EQ(users, (std::vector<std::uintptr_t>{1, 2, 3, 4, 1, 2, 3}));
  EXPECT_EQ(player.queuedBlocks(), 0);
}

TEST_F(WavePlayerTest, FailedSubmissionDoesNotStayCounted) {
  ASSERT_EQ(player.openWaveDevice(11025, 8, 1), platform::WaveResult::ok);
  device.setPrepareResult(platform::WaveResult::noMemory);
  EXPECT_FALSE(player.queueBlock(ramp(300)));
  device.setPrepareResult(platform::WaveResult::ok);
  device.setWriteResult(platform::WaveResult::error);
  EXPECT_FALSE(player.queueBlock(ramp(300)));
  EXPECT_EQ(player.queuedBlocks(), 0);
  EXPECT_FALSE(player.wavePlaying()) << "a lost block must not keep the player waiting";
}

TEST_F(WavePlayerTest, FailedUnprepareShowsTheEnglishTextAndFreesTheSlot) {
  ASSERT_EQ(player.playWaveMemory(waveImage(ramp(65534 * 2))), platform::WaveResult::ok);
  device.setUnprepareResult(platform::WaveResult::noMemory);
  device.completeNext();
  pump.pumpMessages();
  device.setUnprepareResult(platform::WaveResult::error);
  device.completeNext();
  pump.pumpMessages();
  EXPECT_EQ(reporter.texts, (std::vector<std::string>{"Unable to allocate or lock memory.", ""}));
  EXPECT_EQ(player.queuedBlocks(), 0);
  EXPECT_EQ(deviceErrorText(platform::WaveResult::stillPlaying),
            "The data block pointed to by the pwh parameter is still in queue");
  EXPECT_EQ(deviceErrorText(platform::WaveResult::invalidHandle),
            "Specified device handle is invalid.");
  EXPECT_EQ(deviceErrorText(platform::WaveResult::noDriver), "No device driver is present.");
}

TEST_F(WavePlayerTest, StrayOrRepeatedNoticesChangeNothing) {
  ASSERT_EQ(player.playWaveMemory(waveImage(ramp(65534 * 2))), platform::WaveResult::ok);
  player.waveBlockDone(0);
  player.waveBlockDone(12345);
  EXPECT_EQ(player.queuedBlocks(), 2);
  std::uintptr_t seen = 0;
  pump.setWaveDoneHandler([&](std::uintptr_t, std::uintptr_t block) {
    seen = block;
    player.waveBlockDone(block);
  });
  device.completeNext();
  pump.pumpMessages();
  EXPECT_EQ(player.queuedBlocks(), 1);
  ASSERT_NE(seen, 0u);
  player.waveBlockDone(seen);  // the same header again, its slot already free
  EXPECT_EQ(player.queuedBlocks(), 1);
}

TEST_F(WavePlayerTest, StopResetsOnlyWhenBlocksAreQueued) {
  player.waveStop();
  EXPECT_EQ(device.resets(), 0);
  ASSERT_EQ(player.playWaveMemory(waveImage(ramp(1000))), platform::WaveResult::ok);
  player.waveStop();
  EXPECT_EQ(device.resets(), 1);
  EXPECT_EQ(device.closes(), 1);
  EXPECT_EQ(player.queuedBlocks(), 0);
  ASSERT_EQ(player.playWaveMemory(waveImage(ramp(1000))), platform::WaveResult::ok);
  device.completeAll();
  pump.pumpMessages();
  player.waveStop();
  EXPECT_EQ(device.resets(), 1);
  EXPECT_EQ(device.closes(), 2);
}

TEST(WavePlayerLifetime, DestroyingAPlayingPlayerStopsTheDevice) {
  RecordingWaveOut device;
  SimplePump pump;
  {
    WavePlayer player(device, pump);
    ASSERT_EQ(player.playWaveMemory(waveImage(ramp(1000))), platform::WaveResult::ok);
  }
  EXPECT_EQ(device.resets(), 1);
  EXPECT_FALSE(device.isOpen());
  pump.pumpMessages();  // the notice finds no handler and is dropped
}

}  // namespace
}  // namespace lamina::wave
