#pragma once
// Screen review: a review cursor of its own walks over what the console
// shows, and keys read the cell, word, line, field or region around it,
// until Esc puts the console cursor back where it was. Nothing is written to
// the screen.
#include <cstdint>
#include <string>
#include <string_view>

#include "console/console.h"
#include "speech/recorded_speech.h"
#include "speech/text_speaker.h"

namespace lamina::speech {

// Bytes that end a field besides a change of colour: "!", ":", "?", "|" and
// 176..223 (the box-drawing range).
bool isFieldStop(std::uint8_t ch);
// Digits, ASCII letters and the accented letters of Portuguese and Spanish.
bool isWordChar(std::uint8_t ch);

// What screen review needs of the console: its cells (1-based; outside the
// screen a blank and attribute 0), its cursor and its keys.
class ReviewConsole {
 public:
  virtual ~ReviewConsole() = default;
  virtual std::uint8_t screenCharAt(int x, int y) = 0;
  virtual std::uint8_t screenAttrAt(int x, int y) = 0;
  virtual int cursorColumn() = 0;
  virtual int cursorRow() = 0;
  virtual void moveCursor(int x, int y) = 0;
  virtual std::uint8_t readKey() = 0;
  virtual bool keyPressed() = 0;
};

// The talking console itself.
class ConsoleReview : public ReviewConsole {
 public:
  explicit ConsoleReview(console::Console& console) : console_(console) {}
  std::uint8_t screenCharAt(int x, int y) override { return console_.screenCharAt(x, y); }
  std::uint8_t screenAttrAt(int x, int y) override { return console_.screenAttrAt(x, y); }
  int cursorColumn() override { return console_.cursorColumn(); }
  int cursorRow() override { return console_.cursorRow(); }
  void moveCursor(int x, int y) override { console_.moveCursor(x, y); }
  std::uint8_t readKey() override { return console_.readKey(); }
  bool keyPressed() override { return console_.keyPressed(); }

 private:
  console::Console& console_;
};

class ScreenReview {
 public:
  ScreenReview(ReviewConsole& console, RecordedSpeech& recorded, TextSpeaker& text);
  ScreenReview(const ScreenReview&) = delete;
  ScreenReview& operator=(const ScreenReview&) = delete;

  // Runs until Esc.
  void screenReview();

  // The review cursor where the last run left it (1-based).
  int reviewRow() const { return row_; }
  int reviewColumn() const { return column_; }
  // Kept from one run to the next, for Ctrl+F5.
  const std::string& searchText() const { return searchText_; }

 private:
  struct Field {
    int start;
    int end;
  };

  std::uint8_t charAt(int row, int column);
  std::uint8_t attrAt(int row, int column);
  bool blank(int column) { return charAt(row_, column) == ' '; }
  bool keyPending();
  std::uint8_t readKey();

  void act(std::uint8_t key, std::uint8_t code);
  void actExtended(std::uint8_t code);
  void clamp();
  void refuse();
  void speakCell(int row, int column);
  void goLineEnd();
  Field findField();
  // False when nothing could be read (the cursor at column 80 or beyond).
  bool readWord();
  void readRegion(int firstRow, int firstColumn, int lastRow, int lastColumn, bool keepCursor);
  void readLine() { readRegion(row_, 1, row_, console::kColumns, true); }
  void regionCommand(std::uint8_t first);
  void previousWord();
  void nextWord();
  void goToRowColumn();
  void askSearch();
  void searchAgain();
  void goToLetter(bool last);

  ReviewConsole& console_;
  RecordedSpeech& recorded_;
  TextSpeaker& text_;
  int rows_ = console::kRows;
  int row_ = 1;
  int column_ = 1;
  std::string word_;
  std::string searchText_;
};

}  // namespace lamina::speech
