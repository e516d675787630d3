// The line editor on the headless console, driven by key scripts: the text,
// the returned key, the screen and the sounds that reached the recording
// device through the real wave player.
#include "speech/line_editor.h"

#include <gtest/gtest.h>

#include "platform/key_script.h"
#include "speech/screen_review.h"
#include "tests/console/console_fixture.h"
#include "tests/speech/speech_fixture.h"

namespace lamina::speech {
namespace {

using console::testing::RecordingTones;
using console::testing::Terminated;
using testing::SpeechFixture;
using List = std::vector<std::string>;

class LineEditing : public SpeechFixture {
 protected:
  void SetUp() override {
    SpeechFixture::SetUp();
    console::ConsoleOptions options;
    options.caption = "lamina";
    options.terminate = [](int code) { throw Terminated{code}; };
    console_ = std::make_unique<console::Console>(window, tones, options);
    editorPlayer_ = std::make_unique<wave::WavePlayer>(device, *console_);
    keys_ = std::make_unique<ConsoleKeys>(*console_);
    front_ = std::make_unique<SpeechFront>(SpeechParts{*editorPlayer_,
                                                       *console_,
                                                       *keys_,
                                                       console,
                                                       rules_,
                                                       database,
                                                       {root_, root_ / "start"},
                                                       engines,
                                                       [this] { return now; }});
    for (const char* k :
         {"_DEL", "_APFCPO", "_APICPO", "_CPOAPA", "_FALACI", "_FALDLG", "_VELOC", "_FON98",
          "_MENOS", "_quatorz", "_um", "_cinco", "_horas", "_trinta", "_minutos", "dtmf_5"})
      record(k);
    for (int c = 32; c < 127; ++c) record("_" + std::to_string(c));
    ASSERT_TRUE(start());
    editor_ = std::make_unique<LineEditor>(
        LineEditorParts{*console_, *front_, [this](std::string_view t) { opened.emplace_back(t); },
                        [this] {
                          ++reviews;
                          if (onReview) onReview();
                        }});
    console_->ensureConsole();
  }

  // Runs the editor over `script`; the script's end closes the console, so
  // an editor that waits for more keys ends the test instead of hanging.
  int edit(std::string& text, std::string_view script, int x = 1, int y = 3, int length = 20,
           int width = 20, bool editable = true) {
    window.appendScript(script);
    window.endScript();
    clearHeard();
    try {
      return editor_->editLine(text, x, y, length, width, editable);
    } catch (const Terminated&) {
      return -1;  // the editor wanted more keys than the script held
    }
  }
  std::string row(int y) {
    std::string line;
    for (int x = 1; x <= console::kColumns; ++x)
      line.push_back(static_cast<char>(console_->screenCharAt(x, y)));
    return line;
  }

  platform::HeadlessWindow window;
  RecordingTones tones;
  std::unique_ptr<console::Console> console_;
  std::unique_ptr<wave::WavePlayer> editorPlayer_;
  std::unique_ptr<ConsoleKeys> keys_;
  std::unique_ptr<LineEditor> editor_;
  std::vector<std::string> opened;
  int reviews = 0;
  std::function<void()> onReview;
};

TEST_F(LineEditing, FirstKeyRuleClearsAPrefilledFieldOnlyWhenTyping) {
  std::string text = "abc";
  EXPECT_EQ(edit(text, "x\n"), 13);
  EXPECT_EQ(text, "x");
  EXPECT_EQ(heard(), (List{"click", "click", "_120"}));
  EXPECT_EQ(row(3).substr(0, 21), "x" + std::string(20, ' '));

  text = "abc";
  EXPECT_EQ(edit(text, "{Right}y{Esc}"), 27);
  EXPECT_EQ(text, "aybc");
  EXPECT_EQ(heard(), (List{"_97", "_121"}));

  text = "    ";  // blanks only: no clicks, the empty text comes back
  EXPECT_EQ(edit(text, "{Tab}"), 9);
  EXPECT_EQ(text, "");
  EXPECT_TRUE(heard().empty());
}

TEST_F(LineEditing, DeletingAndMovingSpeakOrBeepAtTheEnds) {
  std::string text = "abc";
  EXPECT_EQ(edit(text, "{Backspace}{Left}{End}{Backspace}{Home}{Del}{Right}{Right}{Right}\n"), 13);
  EXPECT_EQ(text, "b");
  // Backspace and Left at position 1 beep; Right stops before the field's end.
  EXPECT_EQ(heard(), (List{"beep", "beep", "_DEL", "_99", "_DEL", "_97", "_98", "_32", "_32"}));

  text = "abc";
  EXPECT_EQ(edit(text, "{Ctrl+D}{End}{Ctrl+K}{Right}{Right}{Right}{Ctrl+S}\n", 1, 3, 3, 3), 13);
  EXPECT_EQ(text, "");
  // Ctrl+K says the position; Right at the last position beeps.
  EXPECT_EQ(heard(), (List{"_APFCPO", "_um", "_32", "_32", "beep", "_APICPO"}));

  text = "ab";
  EXPECT_EQ(edit(text, "{End}{Ctrl+U}z{Ctrl+Y}q\n", 1, 3, 3, 3), 13);
  EXPECT_EQ(text, "q");
}

TEST_F(LineEditing, TypingScrollsTheFieldAndStopsAtItsLength) {
  // Field length 300, width 80, on the last row of an 80-column window:
  // 79 cells shown, the last cell of the screen never written.
  console_->moveCursor(1, 24);
  console_->write("########");
  std::string text;
  std::string typed;
  for (int i = 0; i < 85; ++i) typed.push_back(static_cast<char>('a' + i % 26));
  EXPECT_EQ(edit(text, typed + "\n", 1, 25, 300, 80), 13);
  EXPECT_EQ(text, typed);
  EXPECT_EQ(row(25), typed.substr(0, 79) + " ");
  EXPECT_EQ(row(24).substr(0, 9), "######## ") << "the screen did not scroll";
  // While typing, the shown part follows the cursor.
  window.appendScript("{End}\n");
  EXPECT_EQ(editor_->editLine(text, 1, 24, 300, 10, true), 13);
  EXPECT_EQ(row(24).substr(0, 10), typed.substr(0, 10));

  text = "";
  EXPECT_EQ(edit(text, "abcd\n", 5, 3, 3, 3), 13);
  EXPECT_EQ(text, "abc");
  EXPECT_EQ(heard(), (List{"_97", "_98", "_99", "beep"}));
  EXPECT_EQ(row(3).substr(0, 8), "    abc ");
}

TEST_F(LineEditing, SelectionShowsGreyAndCopiesAndPastes) {
  std::string text = "abc def";
  std::string backgrounds;
  onReview = [&] {
    for (int x = 1; x <= 8; ++x) backgrounds += std::to_string(console_->screenAttrAt(x, 3) >> 4);
  };
  EXPECT_EQ(
      edit(text, "{End}{Shift+Left}{Shift+Left}{Shift+Left}{Ctrl+Shift+Alt+F9}{Ctrl+Ins}{Up}"), 72);
  EXPECT_EQ(window.clipboardText(), "def");
  EXPECT_EQ(backgrounds, "00008880");
  EXPECT_EQ(heard(), (List{"_102", "_101", "_100"}));

  // Without a selection the whole field is copied, with CR LF, even when full.
  text = "abcdefg";
  EXPECT_EQ(edit(text, "{Ctrl+C}\n", 1, 3, 7, 7), 13);
  EXPECT_EQ(window.clipboardText(), "abcdefg\r\n");

  // Ctrl+V replaces the selection, cut at the first line end; pasted
  // control characters become blanks.
  window.setClipboardState(true, true, "X\tY\r\nZ");
  text = "abc def";
  EXPECT_EQ(edit(text, "{Right}{Shift+Right}{Shift+Right}{Ctrl+V}\n"), 13);
  EXPECT_EQ(text, "aX Y def");
  // Shift+Insert as first key pastes into a cleared field.
  text = "old";
  EXPECT_EQ(edit(text, "{Shift+Ins}\n", 1, 3, 20, 20, false), 13);
  EXPECT_EQ(text, "X Y");
  EXPECT_EQ(heard(), (List{"click", "click"}));
}

TEST_F(LineEditing, WordMovesClickAndDeleteWords) {
  std::string text = "abc 123 de";
  // To "123", to "de", past the end (beep, after the last letter), back to
  // "de"; Ctrl+Backspace on a word's first letter takes that word.
  EXPECT_EQ(edit(text, "{Ctrl+Right}{Ctrl+Right}{Ctrl+Right}{Ctrl+Left}{Ctrl+Backspace}\n"), 13);
  EXPECT_EQ(text, "abc 123");
  EXPECT_EQ(heard(),
            (List{"click", "click", "beep", "click", "beep", "click", "_DEL", "_100", "_101"}));
  // Just after a word, the word and the blanks after it go.
  text = "abc 123 de";
  EXPECT_EQ(edit(text, "{Ctrl+Right}{Right}{Right}{Right}{Ctrl+Backspace}\n"), 13);
  EXPECT_EQ(text, "abc de");

  text = "abc";
  EXPECT_EQ(edit(text, "{Ctrl+Left}\n"), 13);
  EXPECT_EQ(heard(), (List{"beep"}));
}

TEST_F(LineEditing, NextItemSpellsConsonantGroupsAndReadsNumbers) {
  std::string text = "  CRT-14 e";
  EXPECT_EQ(edit(text, "{F1}{F1}{F1}{F1}\n"), 13);
  EXPECT_EQ(heard(), (List{"_67", "_82", "_84", "_MENOS", "_quatorz", "_69", "beep"}));
  EXPECT_EQ(text, "  CRT-14 e");

  text = "b5";
  EXPECT_EQ(edit(text, "{Alt+Right}{Alt+Right}\n"), 13);
  EXPECT_EQ(heard(), (List{"_FON98", "_53"}));
}

TEST_F(LineEditing, SpeakingKeysReadTheFieldTheTimeAndTones) {
  // Ctrl+\ (code 28) plays the field as telephone tones; F8 says the time;
  // Ctrl+F1 and the code 222 read the whole field; 223 does nothing.
  platform::Message dtmf;
  dtmf.type = platform::MessageType::Char;
  dtmf.code = 28;
  window.postMessage(dtmf);
  std::string text = "5";
  EXPECT_EQ(edit(text, "{F8}{Ctrl+F1}\xC3\x9E\xC3\x9F\n", 1, 3, 1, 1), 13);
  EXPECT_EQ(text, "5");
  EXPECT_EQ(heard(),
            (List{"dtmf_5", "_quatorz", "_horas", "_trinta", "_minutos", "_cinco", "_cinco"}));
}

TEST_F(LineEditing, ResultKeysAndOtherSubsystems) {
  std::string text = "ab";
  // F1 with Alt held (no script notation gives it: Alt+F1 is a system key).
  platform::Message f1;
  f1.type = platform::MessageType::KeyDown;
  f1.code = platform::vk::F1;
  f1.mods.alt = true;
  window.postMessage(f1);
  EXPECT_EQ(edit(text, ""), 104);
  EXPECT_EQ(edit(text, "{PgDn}"), 81);
  EXPECT_EQ(edit(text, "{Ctrl+F9}"), 102);
  EXPECT_EQ(edit(text, "{Ctrl+Alt+F9}{Ctrl+Alt+F9}{Ctrl+Enter}"), 10);
  EXPECT_EQ(reviews, 2);
  EXPECT_EQ(edit(text, "{Ctrl+Alt+Q}{Up}"), 16);
  EXPECT_FALSE(console_->keyPressed()) << "no half key left behind";
  EXPECT_EQ(edit(text, "{End}{Ctrl+Alt+E}x{Ctrl+Alt+1}\n"), 13);
  EXPECT_EQ(text, "abx");

  // F4 toggles the echo, for later calls too.
  EXPECT_EQ(edit(text, "{End}{F4}y{F4}\n"), 13);
  EXPECT_EQ(heard(), (List{"_FALDLG", "_FALACI"}));
  EXPECT_EQ(text, "abxy");

  // F12 opens the word under the cursor without its decoration.
  text = "ver (www.x.br). ok";
  EXPECT_EQ(edit(text, "{Right}{Right}{Right}{Right}{Right}{F12}{End}{F12}\n"), 13);
  EXPECT_EQ(opened, (List{"www.x.br)", "ok"}));
  text = "a --";
  EXPECT_EQ(edit(text, "{End}{F12}\n"), 13);
  EXPECT_EQ(heard(), (List{"beep"}));
  EXPECT_EQ(opened.size(), 2u);

  // Ctrl+F4 then 2 restarts speech at speed 2; Esc keeps the speed.
  EXPECT_EQ(edit(text, "{Ctrl+F4}2\n"), 13);
  EXPECT_EQ(front().state().speed, 2);
  EXPECT_EQ(heard(), (List{"_VELOC", "_50"}));
  EXPECT_EQ(edit(text, "{Ctrl+F4}{Esc}\n"), 13);
  EXPECT_EQ(front().state().speed, 2);
}

TEST_F(LineEditing, BadSizesAndClipboardsNeverWriteOutsideTheField) {
  auto fill = [&] {
    for (int y = 1; y <= console::kRows; ++y) {
      console_->moveCursor(1, y);
      console_->write(std::string(y == console::kRows ? 79 : 80, '#'));
    }
  };
  auto untouchedBut = [&](int fy) {
    for (int y = 1; y <= console::kRows; ++y) {
      if (y == fy) continue;
      EXPECT_EQ(row(y).substr(0, 79), std::string(79, '#')) << "row " << y;
    }
  };
  fill();
  std::string text = "abc";
  EXPECT_EQ(edit(text, "xy\n", 1, 2, 0, 80), 13);
  EXPECT_EQ(text, "");
  EXPECT_EQ(heard(), (List{"beep", "beep"}));
  untouchedBut(2);

  fill();
  text = "abc";
  EXPECT_EQ(edit(text, "{End}{Del}{Ctrl+Right}{F1}x\n", 80, 25, 1, 200), 13);
  EXPECT_EQ(text, "a");
  untouchedBut(25);
  EXPECT_EQ(row(25).substr(0, 79), std::string(79, '#'));

  // Every byte value: cut at the line feed, the control characters before
  // it pasted as blanks.
  std::string bytes;
  for (int c = 1; c < 256; ++c) bytes.push_back(static_cast<char>(c));
  window.setClipboardState(true, true, bytes);
  text = "";
  EXPECT_EQ(edit(text, "{Ctrl+V}{End}{Ctrl+Ins}\n"), 13);
  EXPECT_EQ(text, "");
  std::string big(1 << 20, 'q');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(32 + i % 224);
  window.setClipboardState(true, true, big);
  fill();
  text = std::string(3000, 'z');
  EXPECT_EQ(edit(text, "{End}{Ctrl+V}{Home}{Shift+Ins}\n", 70, 24, 5000, 500), 13);
  EXPECT_EQ(text, big.substr(0, 2048));
  untouchedBut(24);
  EXPECT_EQ(row(24).substr(0, 69), std::string(69, '#'));

  window.setClipboardState(true, false, "");
  text = "abc";
  EXPECT_EQ(edit(text, "{End}{Ctrl+V}{Ctrl+Ins}\n", 1, 24, 2048, 80), 13);
  EXPECT_EQ(text, "abc");
  EXPECT_EQ(window.clipboardText(), "abc\r\n");
}

TEST_F(LineEditing, CtrlAltF9ReviewsTheScreenAndGoesOnEditing) {
  ConsoleReview reviewConsole(*console_);
  ScreenReview review(reviewConsole, front_->recorded(), front_->text());
  onReview = [&] { review.screenReview(); };
  std::string text = "ab";
  // In the review, a refused Left at column 1 beeps twice and Esc beeps twice;
  // the next key belongs to the editor again.
  EXPECT_EQ(edit(text, "{Ctrl+Alt+F9}il{Left}{Esc}{End}c\n"), 13);
  EXPECT_EQ(text, "abc");
  const List sounds = heard();
  EXPECT_GE(std::count(sounds.begin(), sounds.end(), "beep"), 4);
  EXPECT_EQ(console_->cursorRow(), 3) << "the review gives the cursor back";
}

}  // namespace
}  // namespace lamina::speech
