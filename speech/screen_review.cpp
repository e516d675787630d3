#include "speech/screen_review.h"

#include <algorithm>
#include <string_view>

namespace lamina::speech {

namespace {

constexpr int kLastColumn = console::kColumns;  // 80
constexpr int kAfterLine = kLastColumn + 1;     // 81
constexpr std::uint8_t kEsc = 27;
constexpr std::uint8_t kEnter = 13;
constexpr std::uint8_t kBackspace = 8;

constexpr std::string_view kAccentedWordChars =
    "\xC0\xC1\xC2\xC3\xC7\xC9\xCA\xCD\xD1\xD3\xD4\xD5\xDA"
    "\xE0\xE1\xE2\xE3\xE7\xE9\xEA\xED\xF1\xF3\xF4\xF5\xFA";

bool isAsciiLetter(std::uint8_t ch) {
  return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
}

bool isConsonant(std::uint8_t ch) {
  if (!isAsciiLetter(ch)) return false;
  const auto upper = static_cast<char>(ch & ~0x20);
  return std::string_view("AEIOU").find(upper) == std::string_view::npos;
}

std::uint8_t upperAscii(std::uint8_t ch) {
  return ch >= 'a' && ch <= 'z' ? static_cast<std::uint8_t>(ch - 32) : ch;
}

}  // namespace

bool isFieldStop(std::uint8_t ch) {
  return ch == '!' || ch == ':' || ch == '?' || ch == '|' || (ch >= 176 && ch <= 223);
}

bool isWordChar(std::uint8_t ch) {
  return (ch >= '0' && ch <= '9') || isAsciiLetter(ch) ||
         kAccentedWordChars.find(static_cast<char>(ch)) != std::string_view::npos;
}

ScreenReview::ScreenReview(ReviewConsole& console, RecordedSpeech& recorded, TextSpeaker& text)
    : console_(console), recorded_(recorded), text_(text) {}

std::uint8_t ScreenReview::charAt(int row, int column) {
  if (row < 1 || row > rows_ || column < 1 || column > kLastColumn) return ' ';
  return console_.screenCharAt(column, row);
}

std::uint8_t ScreenReview::attrAt(int row, int column) {
  if (row < 1 || row > rows_ || column < 1 || column > kLastColumn) return 0;
  return console_.screenAttrAt(column, row);
}

bool ScreenReview::keyPending() {
  return console_.keyPressed();
}

std::uint8_t ScreenReview::readKey() {
  return console_.readKey();
}

void ScreenReview::screenReview() {
  recorded_.beepTone();
  const int savedColumn = console_.cursorColumn();
  const int savedRow = console_.cursorRow();
  row_ = savedRow;
  column_ = savedColumn;
  for (;;) {
    console_.moveCursor(column_, row_);
    const std::uint8_t key = readKey();
    const std::uint8_t code = key == 0 ? readKey() : 0;
    if (key == kEsc) break;
    act(key, code);
    clamp();
  }
  recorded_.beepTone();
  recorded_.beepTone();
  console_.moveCursor(savedColumn, savedRow);
}

void ScreenReview::clamp() {
  auto fix = [this](int& value, int low, int high, int highTo) {
    if (value < low) {
      value = low;
    } else if (value > high) {
      value = highTo;
    } else {
      return;
    }
    recorded_.beepTone();
  };
  fix(column_, 1, kAfterLine, kLastColumn);
  fix(row_, 1, rows_, rows_);
}

void ScreenReview::refuse() {
  recorded_.beepTone();
  recorded_.clickSound();
  recorded_.beepTone();
}

void ScreenReview::speakCell(int row, int column) {
  const std::uint8_t ch = charAt(row, column);
  if (ch > 165) {
    recorded_.clickSound();
  } else {
    recorded_.speakChar(ch);
  }
}

void ScreenReview::act(std::uint8_t key, std::uint8_t code) {
  if (key == 0) {
    actExtended(code);
    return;
  }
  switch (key) {
    case kEnter:
      ++row_;
      column_ = 1;
      recorded_.clickSound();
      return;
    case kBackspace:
      actExtended(75);
      return;
    case 9: {
      const Field field = findField();
      column_ = field.end + 2;
      if (column_ <= kLastColumn) {
        recorded_.clickSound();
      } else {
        goLineEnd();
      }
      return;
    }
    case 11:
    case 12: {
      // The column is at most 81, so both numbers stay within three digits.
      text_.speakText(std::to_string(row_) + " " + std::to_string(column_));
      return;
    }
    case ' ':
      readLine();
      return;
    default:
      if (isAsciiLetter(key)) {
        regionCommand(key);
      } else {
        refuse();
      }
  }
}

void ScreenReview::actExtended(std::uint8_t code) {
  switch (code) {
    case 15: {
      const Field field = findField();
      column_ = field.start - 2;
      recorded_.clickSound();
      return;
    }
    case 75:  // Left
      if (column_ > 1) {
        speakCell(row_, column_ - 1);
      } else {
        recorded_.beepTone();
      }
      --column_;
      return;
    case 77:  // Right
      if (column_ <= kAfterLine) {
        speakCell(row_, column_);
      } else {
        recorded_.beepTone();
      }
      ++column_;
      return;
    case 59:  // F1
      if (!(recorded_.state().engineActive && keyPending())) readWord();
      if (column_ >= kLastColumn) {
        recorded_.clickSound();
        goLineEnd();
      }
      return;
    case 63:  // F5
      askSearch();
      return;
    case 64:  // F6
      goToRowColumn();
      return;
    case 71:  // Home
      column_ = 1;
      return;
    case 72:  // Up
      --row_;
      column_ = 1;
      if (row_ < 1) {
        recorded_.beepTone();
        row_ = 1;
      } else {
        readLine();
      }
      return;
    case 73:  // Page Up
      row_ = 1;
      column_ = 1;
      readLine();
      return;
    case 79:  // End
      goLineEnd();
      return;
    case 80:  // Down
      ++row_;
      column_ = 1;
      recorded_.clickSound();
      if (row_ > rows_) {
        recorded_.beepTone();
        row_ = rows_;
      } else {
        readLine();
      }
      return;
    case 81:  // Page Down
      row_ = rows_;
      column_ = 1;
      readLine();
      return;
    case 94: {  // Ctrl+F1
      const Field field = findField();
      readRegion(row_, field.start, row_, field.end, true);
      return;
    }
    case 98:  // Ctrl+F5
      searchAgain();
      return;
    case 115:  // Ctrl+Left
      previousWord();
      return;
    case 116:  // Ctrl+Right
      nextWord();
      return;
    case 118:  // Ctrl+Page Down
      goToLetter(true);
      return;
    case 132:  // Ctrl+Page Up
      goToLetter(false);
      return;
    default:
      refuse();
  }
}

void ScreenReview::goLineEnd() {
  int last = kLastColumn;
  while (last >= 1 && blank(last)) --last;
  column_ = last + 1;
}

ScreenReview::Field ScreenReview::findField() {
  const std::uint8_t attr = attrAt(row_, column_);
  auto same = [&](int column) {
    return attrAt(row_, column) == attr && !isFieldStop(charAt(row_, column));
  };
  Field field{column_, column_};
  while (field.start > 1 && same(field.start - 1)) --field.start;
  while (field.end < kLastColumn && same(field.end + 1)) ++field.end;
  return field;
}

bool ScreenReview::readWord() {
  while (column_ < kLastColumn && blank(column_)) ++column_;
  if (column_ >= kLastColumn) return false;
  word_.assign(1, static_cast<char>(charAt(row_, column_)));
  ++column_;
  while (column_ <= kLastColumn && isWordChar(charAt(row_, column_))) {
    console_.moveCursor(column_, row_);
    word_.push_back(static_cast<char>(charAt(row_, column_)));
    ++column_;
  }
  if (word_.size() == 1) {
    // A run of one symbol is consumed whole but told as at most three.
    const char run = word_[0];
    while (column_ <= kLastColumn && charAt(row_, column_) == static_cast<std::uint8_t>(run)) {
      if (word_.size() < 3) word_.push_back(run);
      ++column_;
    }
    text_.speakText(word_);
  } else if (std::all_of(word_.begin(), word_.end(),
                         [](char c) { return isConsonant(static_cast<std::uint8_t>(c)); })) {
    recorded_.spellText(word_);
  } else {
    text_.speakText(word_);
  }
  return true;
}

void ScreenReview::readRegion(int firstRow, int firstColumn, int lastRow, int lastColumn,
                              bool keepCursor) {
  if (firstRow == lastRow && lastColumn < firstColumn) {
    recorded_.beepTone();
    return;
  }
  const int keptRow = row_;
  const int keptColumn = column_;
  for (int row = firstRow; row <= lastRow; ++row) {
    const int endColumn = row == lastRow ? lastColumn : kLastColumn;
    row_ = row;
    column_ = row == firstRow ? firstColumn : 1;
    if (recorded_.state().engineActive) {
      std::string cells;
      for (int c = column_; c <= endColumn; ++c) cells.push_back(static_cast<char>(charAt(row, c)));
      text_.speakText(cells);
    } else {
      while (column_ <= endColumn && !keyPending()) {
        // A word that would start in the last column is never read; the
        // line is done then, or the loop would stand still.
        if (!readWord()) break;
        while (column_ <= kLastColumn && blank(column_)) ++column_;
      }
    }
    if (keyPending()) break;
    column_ = 1;
    recorded_.clickSound();
  }
  recorded_.isSpeaking();
  if (lastColumn >= kLastColumn) goLineEnd();
  if (keepCursor) {
    row_ = keptRow;
    column_ = keptColumn;
  }
}

void ScreenReview::regionCommand(std::uint8_t first) {
  first = upperAscii(first);
  if (first == 'L') first = 'T';
  if (first != 'I' && first != 'T' && first != 'F') {
    refuse();
    return;
  }
  const std::uint8_t key = readKey();
  if (key == 0) readKey();  // the code of an extended key is no letter either
  const std::uint8_t second = upperAscii(key);
  const int row = row_;
  const int column = column_;
  if (second == 'T') {
    if (first == 'I') readRegion(1, 1, row, column - 1, false);
    if (first == 'T') readRegion(1, 1, rows_, kLastColumn, false);
    if (first == 'F') readRegion(row, column, rows_, kLastColumn, false);
  } else if (second == 'L') {
    if (first == 'I') readRegion(row, 1, row, column - 1, true);
    if (first == 'T') readRegion(row, 1, row, kLastColumn, true);
    if (first == 'F') readRegion(row, column, row, kLastColumn, true);
  } else if (second == 'C') {
    const Field field = findField();
    if (first == 'I') readRegion(row, field.start, row, column, true);
    if (first == 'T') readRegion(row, field.start, row, field.end, true);
    if (first == 'F') readRegion(row, column, row, field.end, true);
  } else {
    refuse();
  }
}

void ScreenReview::previousWord() {
  int c = column_ - 1;
  while (c >= 1 && blank(c)) --c;
  if (c < 1) {
    recorded_.beepTone();
    column_ = 1;
    return;
  }
  while (c >= 1 && !blank(c)) --c;
  if (c >= 1) {
    recorded_.clickSound();
  } else {
    recorded_.beepTone();
  }
  column_ = c + 1;
}

void ScreenReview::nextWord() {
  int c = column_;
  while (c <= kLastColumn && !blank(c)) ++c;
  while (c <= kLastColumn && blank(c)) ++c;
  if (c >= kAfterLine) {
    recorded_.beepTone();
    goLineEnd();
  } else {
    recorded_.clickSound();
    column_ = c;
  }
}

void ScreenReview::goToRowColumn() {
  text_.speakText("Entre linha e coluna");
  int digits[4] = {};
  for (int& digit : digits) {
    const std::uint8_t key = readKey();
    if (key < '0' || key > '9') {
      if (key == 0) readKey();
      recorded_.beepTone();
      recorded_.beepTone();
      return;
    }
    recorded_.speakChar(key);
    digit = key - '0';
  }
  row_ = digits[0] * 10 + digits[1];
  column_ = digits[2] * 10 + digits[3];
}

void ScreenReview::askSearch() {
  text_.speakText("Qual texto");
  searchText_.clear();
  for (;;) {
    const std::uint8_t key = readKey();
    if (key == kEsc) return;
    if (key == kEnter) break;
    if (key == 0) {
      // Cursor and function keys have no character to look for.
      readKey();
      recorded_.beepTone();
    } else if (key == kBackspace) {
      if (searchText_.empty()) continue;
      const auto removed = static_cast<std::uint8_t>(searchText_.back());
      searchText_.pop_back();
      recorded_.speakMessage("_DEL");
      recorded_.speakChar(removed);
    } else {
      searchText_.push_back(static_cast<char>(key));
      recorded_.speakChar(key);
    }
  }
  searchAgain();
}

void ScreenReview::searchAgain() {
  if (!searchText_.empty()) {
    for (int row = row_; row <= rows_; ++row) {
      std::string line;
      for (int c = 1; c <= kLastColumn; ++c) {
        // Cells up to the cursor are hidden so that the search moves on.
        line.push_back(row == row_ && c <= column_ ? '\0' : static_cast<char>(charAt(row, c)));
      }
      const std::size_t found = line.find(searchText_);
      if (found != std::string::npos) {
        row_ = row;
        column_ = static_cast<int>(found) + 1;
        recorded_.clickSound();
        return;
      }
    }
  }
  recorded_.beepTone();
  recorded_.beepTone();
}

void ScreenReview::goToLetter(bool last) {
  for (int i = 0; i < rows_ * kLastColumn; ++i) {
    const int cell = last ? rows_ * kLastColumn - 1 - i : i;
    const int row = cell / kLastColumn + 1;
    const int column = cell % kLastColumn + 1;
    if (upperAscii(charAt(row, column)) >= 'A' && upperAscii(charAt(row, column)) <= 'Z') {
      row_ = row;
      column_ = column;
      readLine();
      return;
    }
  }
  recorded_.beepTone();
}

}  // namespace lamina::speech
