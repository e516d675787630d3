#pragma once
// The console's character model: an 80 x 25 buffer of cp1252 characters and
// colour attributes, a cursor with deferred wrap, and the interpretation of
// the bytes written to it. Drawing is left to a ScreenView.
#include <cstdint>
#include <string_view>
#include <vector>

namespace lamina::console {

inline constexpr int kColumns = 80;
inline constexpr int kRows = 25;

// What the screen asks of whoever shows it.
class ScreenView {
 public:
  virtual ~ScreenView() = default;
  // Cells first..last-1 of window row `row` changed.
  virtual void repaintRow(int row, int first, int last) = 0;
  // The window scrolled up by one row.
  virtual void scrolled() = 0;
  virtual void bell() = 0;
};

class Screen {
 public:
  explicit Screen(std::uint8_t attribute);

  void attach(ScreenView* view) { view_ = view; }

  // Interprets and shows the bytes: 7 bell, 8 backspace, 10 line feed,
  // 13 carriage return, 32..255 printable; every other byte is dropped.
  void writeChars(std::string_view bytes);

  // 1-based, clamped to the text window.
  void moveCursor(int x, int y);
  int cursorColumn() const { return cursorX_ + 1; }
  int cursorRow() const { return cursorY_ + 1; }
  // 0-based cursor inside the window (the column may be one past the edge).
  int cursorX() const { return cursorX_; }
  int cursorY() const { return cursorY_; }

  void clearToLineEnd();
  // Whole screen to spaces in the current attribute; cursor home.
  void clearScreen();

  void setTextColor(int k);
  void setBackColor(int k);
  void setColoursChangeable(bool changeable) { coloursChangeable_ = changeable; }
  std::uint8_t attribute() const { return attribute_; }
  void setAttribute(std::uint8_t attribute) { attribute_ = attribute; }

  // 1-based whole-screen coordinates; outside the screen gives a space / 0.
  std::uint8_t screenCharAt(int x, int y) const;
  std::uint8_t screenAttrAt(int x, int y) const;

  // 0-based cell access for painting.
  std::uint8_t charAt(int column, int row) const {
    return chars_[static_cast<std::size_t>(row * kColumns + column)];
  }
  std::uint8_t attrAt(int column, int row) const {
    return attrs_[static_cast<std::size_t>(row * kColumns + column)];
  }

 private:
  void newLine(int& first, int& last);
  std::size_t index(int column, int row) const {
    return static_cast<std::size_t>(row * kColumns + column);
  }

  ScreenView* view_ = nullptr;
  std::vector<std::uint8_t> chars_;
  std::vector<std::uint8_t> attrs_;
  // Text window, 0-based inclusive; always the whole screen.
  int left_ = 0, top_ = 0, right_ = kColumns - 1, bottom_ = kRows - 1;
  int cursorX_ = 0, cursorY_ = 0;
  std::uint8_t attribute_;
  bool coloursChangeable_ = true;
};

}  // namespace lamina::console
