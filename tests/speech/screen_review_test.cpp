// Screen review on the headless console, keys typed from key scripts, every
// sound played through the real wave player into the recording device.
#include "speech/screen_review.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/console/console_fixture.h"
#include "tests/speech/speech_fixture.h"

namespace lamina::speech {
namespace {

using Heard = std::vector<std::string>;

class ConsoleKeys final : public KeyInput {
 public:
  explicit ConsoleKeys(console::Console*& console) : console_(console) {}
  std::uint8_t readKey() override { return console_->readKey(); }

 private:
  console::Console*& console_;
};

// The console, with a limit on how often the review may ask for a key: a
// review that loops without reading one fails instead of hanging.
struct Stuck {};
class GuardedConsole final : public ConsoleReview {
 public:
  using ConsoleReview::ConsoleReview;
  bool keyPressed() override {
    if (++polls_ > 100000) throw Stuck{};
    return ConsoleReview::keyPressed();
  }

 private:
  int polls_ = 0;
};

class ScreenReviewTest : public testing::SpeechFixture {
 protected:
  void SetUp() override {
    SpeechFixture::SetUp();
    for (int ch : {32, 45, 48, 49, 50, 52, 67, 70, 80, 97, 98, 120, 124, 165}) {
      record("_" + std::to_string(ch));
    }
    record("_DEL");
    newConsole();
    front_ = std::make_unique<SpeechFront>(SpeechParts{player,
                                                       logging,
                                                       keys_,
                                                       console,
                                                       rules_,
                                                       database,
                                                       {root_, root_ / "start"},
                                                       engines,
                                                       [this] { return now; }});
    ASSERT_TRUE(start());
    review_ = std::make_unique<ScreenReview>(*adapter_, front().recorded(), front().text());
  }
  // The speech goes before the console it pumps.
  ~ScreenReviewTest() override {
    review_.reset();
    front_.reset();
    logging.setInner(pump);
  }
  // A fresh headless console that the speech and the review now use.
  void newConsole() {
    con_ = std::make_unique<console::testing::ConsoleFixture>();
    screen_ = con_->console.get();
    screen_->ensureConsole();
    logging.setInner(*screen_);
    adapter_ = std::make_unique<GuardedConsole>(*screen_);
    if (review_)
      review_ = std::make_unique<ScreenReview>(*adapter_, front().recorded(), front().text());
  }
  void put(int x, int y, std::string_view text, int fg = 7, int bg = 0) {
    screen_->setTextColor(fg);
    screen_->setBackColor(bg);
    screen_->moveCursor(x, y);
    screen_->write(text);
  }
  // One run of the review from the console cursor at (x, y); the screen and
  // the cursor must come out as they went in. `last`: the script ends here,
  // so a review that does not leave at Esc ends the console instead.
  Heard run(int x, int y, std::string_view script, bool last = true) {
    screen_->moveCursor(x, y);
    const std::string before = screen_->screenDumpText();
    clearHeard();
    con_->window.appendScript(script);
    if (last) con_->window.endScript();
    try {
      review_->screenReview();
    } catch (const console::testing::Terminated&) {
      ADD_FAILURE() << "the review did not end at Esc: " << script;
    } catch (const Stuck&) {
      ADD_FAILURE() << "the review went round without reading a key: " << script;
    }
    EXPECT_EQ(screen_->screenDumpText(), before) << script;
    EXPECT_EQ(screen_->cursorColumn(), x) << script;
    EXPECT_EQ(screen_->cursorRow(), y) << script;
    return heard();
  }
  void expectAt(int row, int column) {
    EXPECT_EQ(review_->reviewRow(), row);
    EXPECT_EQ(review_->reviewColumn(), column);
  }

  std::unique_ptr<console::testing::ConsoleFixture> con_;
  console::Console* screen_ = nullptr;
  ConsoleKeys keys_{screen_};
  std::unique_ptr<GuardedConsole> adapter_;
  std::unique_ptr<ScreenReview> review_;
};

TEST_F(ScreenReviewTest, RefusedMovesBeepAndClampTheCursor) {
  put(1, 3, "ab");
  // Entry beep; IL at column 1 is an empty region; Left at column 1 beeps
  // for the move and again for the clamping; F12 is no review key.
  EXPECT_EQ(run(1, 3, "il{Left}{F12}{Esc}", false),
            (Heard{"beep", "beep", "beep", "beep", "beep", "click", "beep", "beep", "beep"}));
  expectAt(3, 1);
  // Down on the last row clicks, beeps and stays; Up on the first beeps.
  EXPECT_EQ(run(5, 25, "{Down}{PgUp}{Up}{Esc}", false),
            (Heard{"beep", "click", "beep", "click", "beep", "beep", "beep"}));
  expectAt(1, 1);
  // Right reads the cell under the cursor: up to 165 its sound, above a
  // click; past column 81 the clamping brings it back to 80.
  put(80, 9, "x");
  // A word that starts in the last column is not read, but the line ends.
  EXPECT_EQ(run(1, 9, " {Esc}", false), (Heard{"beep", "click", "beep", "beep"}));
  put(79, 7, "\xA5\xA6");
  EXPECT_EQ(run(79, 7, "{Right}{Right}{Right}{Esc}"),
            (Heard{"beep", "_165", "click", "_32", "beep", "beep", "beep"}));
  expectAt(7, 80);
}

TEST_F(ScreenReviewTest, WordReadingConsumesRunsAndSpellsConsonants) {
  put(1, 5, "----KASA  CPF");
  const Heard heard = run(1, 5, "{F1}{F1}{F1}{Esc}");
  // At most three of a run of one symbol are told, then the word after it,
  // then the all-consonant word letter by letter.
  const auto synth = std::find(heard.begin(), heard.end(), "synth");
  ASSERT_NE(synth, heard.end());
  EXPECT_EQ(std::count(heard.begin(), synth, "_45"), 3);
  EXPECT_EQ(Heard(synth, heard.end()), (Heard{"synth", "_67", "_80", "_70", "beep", "beep"}));
  expectAt(5, 14);
}

TEST_F(ScreenReviewTest, GoToRowAndColumnTakesFourDigitsOrNothing) {
  Heard heard = run(3, 2, "{F6}1240{Esc}", false);
  EXPECT_EQ(Heard(heard.end() - 6, heard.end()),
            (Heard{"_49", "_50", "_52", "_48", "beep", "beep"}));
  expectAt(12, 40);
  heard = run(3, 2, "{F6}1x{Esc}");
  EXPECT_EQ(Heard(heard.end() - 5, heard.end()), (Heard{"_49", "beep", "beep", "beep", "beep"}));
  expectAt(2, 3);
}

TEST_F(ScreenReviewTest, SearchMovesOnlyForwardAndKeepsItsText) {
  put(1, 2, "ab");
  put(1, 4, "ab  ab");
  put(1, 6, "xab");
  // Typed "ax", corrected, "b": found after the cursor on its own row, then
  // on a later row, then nowhere (the earlier row does not count).
  Heard heard = run(1, 4, "{F5}ax{Backspace}b\n{Ctrl+F5}{Ctrl+F5}{Esc}", false);
  const Heard tail(heard.end() - 11, heard.end());
  EXPECT_EQ(tail, (Heard{"_97", "_120", "_DEL", "_120", "_98", "click", "click", "beep", "beep",
                         "beep", "beep"}));
  expectAt(6, 2);
  EXPECT_EQ(review_->searchText(), "ab");
  // The next run still knows the text; Esc while typing a new one leaves
  // the cursor where it was.
  EXPECT_EQ(run(1, 1, "{Ctrl+F5}{Esc}", false), (Heard{"beep", "click", "beep", "beep"}));
  expectAt(2, 1);
  heard = run(1, 1, "{F5}a{Esc}{Esc}");
  EXPECT_EQ(Heard(heard.end() - 3, heard.end()), (Heard{"_97", "beep", "beep"}));
  expectAt(1, 1);
}

TEST_F(ScreenReviewTest, FieldsStopAtMarksAndColours) {
  put(1, 10, "Nome: ");
  put(7, 10, "KASA", 14, 1);
  put(11, 10, "|SAKA|ASA");
  // From inside KASA, Tab passes the coloured field; FC then reads SAKA up
  // to the bar and keeps the cursor; IT reads from the top and leaves it
  // at the start of this row.
  Heard heard = run(8, 10, "{Tab}fc{Esc}", false);
  EXPECT_EQ(heard, (Heard{"beep", "click", "synth", "click", "beep", "beep"}));
  expectAt(10, 12);
  // Ctrl+Left clicks when a blank stands before the word and beeps when
  // the word starts the line; Ctrl+Right past the last word beeps at the
  // line end.
  heard = run(20, 10, "{Ctrl+Left}{Ctrl+Left}{Ctrl+Right}{End}{Ctrl+Right}{Esc}", false);
  EXPECT_EQ(heard, (Heard{"beep", "click", "beep", "click", "beep", "beep", "beep"}));
  expectAt(10, 20);
  run(3, 10, "it{Esc}");
  expectAt(10, 1);
}

TEST_F(ScreenReviewTest, FirstAndLastLetterSkipDigits) {
  put(1, 3, "12 ab");
  put(1, 20, "x 9");
  run(9, 9, "{Ctrl+PgDn}{Esc}", false);
  expectAt(20, 1);
  // Enter goes to the start of the next row with a click.
  EXPECT_EQ(run(9, 9, "{Ctrl+PgUp}\n{Esc}"),
            (Heard{"beep", "synth", "click", "click", "beep", "beep"}));
  expectAt(4, 1);
}

TEST_F(ScreenReviewTest, AKeyTypedWhileReadingStopsTheRegion) {
  for (int y = 1; y <= 3; ++y) put(1, y, "KASA");
  bool typed = false;
  logging.onWait = [&] {
    if (!typed && device.submissions().size() >= 2) {
      typed = true;
      con_->window.postMessage(platform::keyMessages(0, {}, 'x')[1]);
    }
  };
  // TT stops on the first row; the key then counts as the next command.
  const Heard heard = run(1, 1, "tt{Esc}");
  EXPECT_TRUE(typed);
  EXPECT_EQ(Heard(heard.end() - 5, heard.end()), (Heard{"beep", "click", "beep", "beep", "beep"}));
  EXPECT_EQ(std::count(heard.begin(), heard.end(), "click"), 1);
  expectAt(1, 5);
}

TEST_F(ScreenReviewTest, RandomScreensAndKeysNeverTouchTheScreen) {
  const char* scriptKeys[] = {
      "{Left}",      "{Right}",     "{Up}",      "{Down}",      "{Home}",
      "{End}",       "{PgUp}",      "{PgDn}",    "{Tab}",       "\n",
      " ",           "{F1}",        "{Ctrl+F1}", "{Ctrl+Left}", "{Ctrl+Right}",
      "{Ctrl+PgUp}", "{Ctrl+PgDn}", "{Ctrl+F5}", "{Backspace}", "{F6}",
      "{F5}",        "i",           "t",         "l",           "f",
      "c",           "9",           "\xC3\xA9",  "{Ctrl+K}",    "{F9}"};
  std::mt19937 random(13);
  for (int round = 0; round < 12; ++round) {
    newConsole();
    for (int i = 0; i < 400; ++i) {
      std::string cell(1, static_cast<char>(32 + random() % 224));
      if (random() % 3 != 0) cell = " ";
      put(static_cast<int>(random() % 80) + 1, static_cast<int>(random() % 24) + 1, cell,
          static_cast<int>(random() % 16), static_cast<int>(random() % 8));
    }
    std::string script;
    for (int i = 0; i < 60; ++i) script += scriptKeys[random() % std::size(scriptKeys)];
    const int x = static_cast<int>(random() % 80) + 1;
    const int y = random() % 2 == 0 ? 1 : 25;
    run(x, y, script + "{Esc}{Esc}{Esc}");
    EXPECT_GE(review_->reviewRow(), 1);
    EXPECT_LE(review_->reviewRow(), 25);
    EXPECT_GE(review_->reviewColumn(), 1);
    EXPECT_LE(review_->reviewColumn(), 81);
  }
}

}  // namespace
}  // namespace lamina::speech
