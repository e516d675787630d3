// The program's own wiring: its wave player reports a failing device on its
// console and waits for Enter there.
#include "app/program.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/recording_wave_out.h"
#include "tests/wave/wave_fixture.h"

namespace lamina::app {
namespace {

std::string row(console::Console& c, int y) {
  std::string text;
  for (int x = 0; x < 80; ++x) text.push_back(static_cast<char>(c.screenCharAt(x, y)));
  return text.substr(0, text.find_last_not_of(' ') + 1);
}

TEST(ProgramSound, DeviceErrorsAreShownOnTheConsoleUntilEnter) {
  auto owned = std::make_unique<platform::RecordingWaveOut>();
  platform::RecordingWaveOut& device = *owned;
  Options options;
  options.console = Options::ConsoleKind::Headless;
  options.keyScript = nullptr;
  Program program(options, std::move(owned));
  console::Console& c = program.console();
  c.ensureConsole();
  device.setAutoComplete(true);
  const int top = c.cursorRow();

  // Keys are typed only while the console waits for one, so each Enter
  // answers one wait and none cuts the sound short.
  program.headlessWindow()->appendScript("\n\n");
  device.setUnprepareResult(platform::WaveResult::noDriver);
  wave::testing::TempFile file(wave::testing::waveImage(wave::testing::ramp(1000)));
  EXPECT_EQ(program.player().playWaveFile(file.path()), platform::WaveResult::ok);
  EXPECT_EQ(row(c, top).find("No device driver is present."), row(c, top).size() - 28);
  EXPECT_EQ(c.cursorRow(), top + 1) << "the Enter ended the line";
  EXPECT_EQ(device.submissions().size(), 1u);

  // A failure without a text of its own still waits for Enter.
  device.setUnprepareResult(platform::WaveResult::error);
  EXPECT_EQ(program.player().playWaveFile(file.path()), platform::WaveResult::ok);
  EXPECT_EQ(row(c, top + 1), "");
  EXPECT_EQ(c.cursorRow(), top + 2);
  EXPECT_FALSE(c.keyPressed());
  EXPECT_EQ(program.player().queuedBlocks(), 0);
  EXPECT_EQ(device.submissions().size(), 2u);
}

TEST(ProgramOptions, OnePresentationNameRunsTheConversionAndTheDemoIsAsked) {
  char prog[] = "lamina", demo[] = "--demo-console", name[] = "aula.pptx", other[] = "b.ppt",
       dump[] = "--screen-dump", file[] = "tela.txt";
  char* plain[] = {prog, name, dump, file};
  Options options = parseOptions(4, plain);
  EXPECT_EQ(options.inputFile, "aula.pptx");
  EXPECT_FALSE(options.demo);
  EXPECT_EQ(options.screenDump, "tela.txt") << "an option's value is no presentation";
  EXPECT_TRUE(options.error.empty());

  char* withDemo[] = {prog, demo};
  options = parseOptions(2, withDemo);
  EXPECT_TRUE(options.demo);
  EXPECT_TRUE(options.inputFile.empty());

  char* two[] = {prog, name, other};
  EXPECT_FALSE(parseOptions(3, two).error.empty());
}

}  // namespace
}  // namespace lamina::app
