#include "console/screen.h"

#include <algorithm>
#include <cstring>

namespace lamina::console {

Screen::Screen(std::uint8_t attribute)
    : chars_(kColumns * kRows, ' '), attrs_(kColumns * kRows, attribute), attribute_(attribute) {}

void Screen::newLine(int& first, int& last) {
  if (view_ != nullptr && last > first) view_->repaintRow(cursorY_, first, last);
  first = last = 0;
  ++cursorY_;
  if (cursorY_ <= bottom_ - top_) return;
  cursorY_ = bottom_ - top_;
  const int width = right_ - left_ + 1;
  for (int row = top_ + 1; row <= bottom_; ++row) {
    std::memmove(&chars_[index(left_, row - 1)], &chars_[index(left_, row)],
                 static_cast<std::size_t>(width));
    std::memmove(&attrs_[index(left_, row - 1)], &attrs_[index(left_, row)],
                 static_cast<std::size_t>(width));
  }
  std::fill_n(chars_.begin() + static_cast<std::ptrdiff_t>(index(left_, bottom_)), width, ' ');
  std::fill_n(attrs_.begin() + static_cast<std::ptrdiff_t>(index(left_, bottom_)), width,
              attribute_);
  if (view_ != nullptr) view_->scrolled();
}

void Screen::writeChars(std::string_view bytes) {
  int first = cursorX_;
  int last = cursorX_;
  for (const char c : bytes) {
    const auto byte = static_cast<std::uint8_t>(c);
    switch (byte) {
      case 7:
        if (view_ != nullptr) view_->bell();
        break;
      case 8:
        if (cursorX_ > 0) {
          --cursorX_;
          chars_[index(left_ + cursorX_, top_ + cursorY_)] = ' ';
          attrs_[index(left_ + cursorX_, top_ + cursorY_)] = attribute_;
          first = std::min(first, cursorX_);
        }
        break;
      case 10:
        newLine(first, last);
        cursorX_ = 0;
        break;
      case 13:
        cursorX_ = 0;
        break;
      default:
        if (byte < 32) break;
        if (cursorX_ == right_ - left_ + 1) {
          cursorX_ = 0;
          newLine(first, last);
        }
        // A carriage return may have moved the cursor left of what was
        // already marked for repainting.
        first = std::min(first, cursorX_);
        chars_[index(left_ + cursorX_, top_ + cursorY_)] = byte;
        attrs_[index(left_ + cursorX_, top_ + cursorY_)] = attribute_;
        ++cursorX_;
        last = std::max(last, cursorX_);
        break;
    }
  }
  if (view_ != nullptr && last > first) view_->repaintRow(cursorY_, first, last);
}

void Screen::moveCursor(int x, int y) {
  cursorX_ = std::max(0, std::min(x - 1, right_ - left_));
  cursorY_ = std::max(0, std::min(y - 1, bottom_ - top_));
}

void Screen::clearToLineEnd() {
  const int width = right_ - left_ + 1;
  const int from = std::min(cursorX_, width);
  for (int column = from; column < width; ++column) {
    chars_[index(left_ + column, top_ + cursorY_)] = ' ';
    attrs_[index(left_ + column, top_ + cursorY_)] = attribute_;
  }
  if (view_ != nullptr && width > from) view_->repaintRow(cursorY_, from, width);
}

void Screen::clearScreen() {
  std::fill(chars_.begin(), chars_.end(), ' ');
  std::fill(attrs_.begin(), attrs_.end(), attribute_);
  cursorX_ = cursorY_ = 0;
  if (view_ != nullptr) {
    for (int row = 0; row <= bottom_ - top_; ++row) view_->repaintRow(row, 0, right_ - left_ + 1);
  }
}

void Screen::setTextColor(int k) {
  if (!coloursChangeable_) return;
  attribute_ = static_cast<std::uint8_t>((attribute_ & 0xF0) | (k & 15));
}

void Screen::setBackColor(int k) {
  if (!coloursChangeable_) return;
  attribute_ = static_cast<std::uint8_t>(((k * 16) & 0xFF) | (attribute_ & 15));
}

std::uint8_t Screen::screenCharAt(int x, int y) const {
  if (x < 1 || x > kColumns || y < 1 || y > kRows) return ' ';
  return chars_[index(x - 1, y - 1)];
}

std::uint8_t Screen::screenAttrAt(int x, int y) const {
  if (x < 1 || x > kColumns || y < 1 || y > kRows) return 0;
  return attrs_[index(x - 1, y - 1)];
}

}  // namespace lamina::console
