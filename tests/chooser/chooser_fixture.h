#pragma once
// The file chooser on the headless console over a real temporary directory,
// with the sounds read back from the recording device of the real wave
// player. The tests run inside the directory "arquivos" of the fixture.
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "chooser/chooser.h"
#include "platform/headless_window.h"
#include "speech/line_editor.h"
#include "tests/console/console_fixture.h"
#include "tests/speech/speech_fixture.h"

namespace lamina::chooser::testing {

namespace fs = std::filesystem;

class ChooserFixture : public speech::testing::SpeechFixture {
 protected:
  void SetUp() override {
    SpeechFixture::SetUp();
    console::ConsoleOptions options;
    options.caption = "lamina";
    options.terminate = [](int code) { throw console::testing::Terminated{code}; };
    console_ = std::make_unique<console::Console>(window, tones, options);
    consolePump_ = std::make_unique<speech::testing::LoggingPump>(*console_, device);
    listPlayer_ = std::make_unique<wave::WavePlayer>(device, *consolePump_);
    keys_ = std::make_unique<speech::ConsoleKeys>(*console_);
    front_ = std::make_unique<speech::SpeechFront>(speech::SpeechParts{*listPlayer_,
                                                                       *consolePump_,
                                                                       *keys_,
                                                                       console,
                                                                       rules_,
                                                                       database,
                                                                       {root_, root_ / "start"},
                                                                       engines,
                                                                       [this] { return now; }});
    for (int c = 32; c < 127; ++c) record("_" + std::to_string(c));
    record("_DEL");
    ASSERT_TRUE(start());
    editor_ =
        std::make_unique<speech::LineEditor>(speech::LineEditorParts{*console_, *front_, {}, {}});
    chooser_ = std::make_unique<FileChooser>(*console_, *front_, *editor_);
    console_->ensureConsole();
    files_ = root_ / "arquivos";
    fs::create_directories(files_);
    previous_ = fs::current_path();
    fs::current_path(files_);
  }
  void TearDown() override {
    fs::current_path(previous_);
    SpeechFixture::TearDown();
  }

  void touch(const std::string& utf8Name, const std::string& content = "x") {
    std::ofstream(files_ / utf8Name) << content;
  }
  // Runs the chooser over `script` at (1, row); the script's end closes the
  // console, so a chooser waiting for more keys ends the test.
  ChosenFile choose(std::string_view script, std::string_view mask = kPresentationMask, int row = 3,
                    int rows = 10) {
    console_->moveCursor(1, row);
    window.appendScript(script);
    window.endScript();
    clearHeard();
    try {
      return chooser_->chooseFile(rows, mask);
    } catch (const console::testing::Terminated&) {
      ADD_FAILURE() << "the chooser wanted more keys";
      return {"<more keys>", ""};
    }
  }
  std::string row(int y) {
    std::string line;
    for (int x = 1; x <= console::kColumns; ++x)
      line.push_back(static_cast<char>(console_->screenCharAt(x, y)));
    return line;
  }
  std::string screen() {
    std::string all;
    for (int y = 1; y <= console::kRows; ++y) all += row(y) + "\n";
    return all;
  }

  platform::HeadlessWindow window;
  console::testing::RecordingTones tones;
  std::unique_ptr<console::Console> console_;
  std::unique_ptr<speech::testing::LoggingPump> consolePump_;
  std::unique_ptr<wave::WavePlayer> listPlayer_;
  std::unique_ptr<speech::ConsoleKeys> keys_;
  std::unique_ptr<speech::LineEditor> editor_;
  std::unique_ptr<FileChooser> chooser_;
  fs::path files_;
  fs::path previous_;
};

}  // namespace lamina::chooser::testing
