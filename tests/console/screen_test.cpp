#include "console/screen.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

using lamina::console::kColumns;
using lamina::console::kRows;
using lamina::console::Screen;
using lamina::console::ScreenView;

namespace {

struct RecordingView : ScreenView {
  void repaintRow(int row, int first, int last) override {
    repaints.emplace_back(row, first, last);
  }
  void scrolled() override { ++scrolls; }
  void bell() override { ++bells; }
  std::vector<std::tuple<int, int, int>> repaints;
  int scrolls = 0;
  int bells = 0;
};

std::string row(const Screen& s, int y) {
  std::string line;
  for (int x = 1; x <= kColumns; ++x) line.push_back(static_cast<char>(s.screenCharAt(x, y)));
  return line;
}

}  // namespace

TEST(Screen, DeferredWrapKeepsTheCursorPastTheEdgeUntilTheNextCharacter) {
  Screen s(7);
  s.writeChars(std::string(80, 'x'));
  EXPECT_EQ(s.cursorColumn(), 81);
  EXPECT_EQ(s.cursorRow(), 1);
  s.writeChars("y");
  EXPECT_EQ(s.screenCharAt(1, 2), 'y');
  EXPECT_EQ(s.cursorRow(), 2);

  // A full line followed by CR LF advances one line, not two.
  Screen t(7);
  t.writeChars(std::string(80, 'x') + "\r\nz");
  EXPECT_EQ(t.screenCharAt(1, 2), 'z');
}

TEST(Screen, ControlBytesOtherThanBellBackspaceLineEndsAreDropped) {
  Screen s(7);
  RecordingView view;
  s.attach(&view);
  s.writeChars(
      "A\tB\x1b\x0c"
      "C\x07");
  EXPECT_EQ(row(s, 1).substr(0, 4), "ABC ");
  EXPECT_EQ(s.cursorColumn(), 4);
  EXPECT_EQ(view.bells, 1);
}

TEST(Screen, BackspaceBlanksThePreviousCellAndStopsAtColumnOne) {
  Screen s(7);
  RecordingView view;
  s.attach(&view);
  s.writeChars("\b");
  EXPECT_EQ(s.cursorColumn(), 1);
  s.writeChars("ab");
  s.setTextColor(4);
  view.repaints.clear();
  s.writeChars("\b");
  EXPECT_EQ(s.cursorColumn(), 2);
  EXPECT_EQ(s.screenCharAt(2, 1), ' ');
  EXPECT_EQ(s.screenAttrAt(2, 1), 4);
  EXPECT_EQ(s.screenCharAt(1, 1), 'a');
  // The blanked cell is repainted.
  ASSERT_EQ(view.repaints.size(), 1u);
  EXPECT_EQ(view.repaints[0], std::make_tuple(0, 1, 2));
  // No move to the previous line from column 1.
  s.writeChars("\r\n\b");
  EXPECT_EQ(s.cursorRow(), 2);
  EXPECT_EQ(s.cursorColumn(), 1);
}

TEST(Screen, LineFeedOnTheLastRowScrollsWithAttributes) {
  Screen s(0x1E);
  RecordingView view;
  s.attach(&view);
  s.writeChars("first");
  s.moveCursor(1, 2);
  s.setBackColor(2);
  s.writeChars("second");
  s.moveCursor(1, 25);
  s.setBackColor(4);
  s.writeChars("last\n");
  EXPECT_EQ(view.scrolls, 1);
  EXPECT_EQ(s.cursorRow(), 25);
  EXPECT_EQ(s.cursorColumn(), 1);
  EXPECT_EQ(row(s, 1).substr(0, 6), "second");
  EXPECT_EQ(s.screenAttrAt(1, 1), 0x2E);
  EXPECT_EQ(row(s, 24).substr(0, 4), "last");
  EXPECT_EQ(s.screenAttrAt(1, 24), 0x4E);
  // The new bottom row takes the current attribute.
  EXPECT_EQ(row(s, 25), std::string(80, ' '));
  EXPECT_EQ(s.screenAttrAt(80, 25), 0x4E);
}

TEST(Screen, MoveCursorClampsToTheWindow) {
  Screen s(7);
  s.moveCursor(0, 0);
  EXPECT_EQ(s.cursorColumn(), 1);
  EXPECT_EQ(s.cursorRow(), 1);
  s.moveCursor(200, 200);
  EXPECT_EQ(s.cursorColumn(), 80);
  EXPECT_EQ(s.cursorRow(), 25);
  s.moveCursor(-5, 3);
  EXPECT_EQ(s.cursorColumn(), 1);
  EXPECT_EQ(s.cursorRow(), 3);
}

TEST(Screen, FixedColoursIgnoreColourChanges) {
  Screen s(0x0F);
  s.setColoursChangeable(false);
  s.setTextColor(1);
  s.setBackColor(4);
  s.writeChars("x");
  EXPECT_EQ(s.screenAttrAt(1, 1), 0x0F);
}

TEST(Screen, ColourChangesKeepTheOtherHalf) {
  Screen s(0x0F);
  s.setBackColor(1);
  EXPECT_EQ(s.attribute(), 0x1F);
  s.setTextColor(14 + 16);  // only the low four bits count
  EXPECT_EQ(s.attribute(), 0x1E);
  s.setBackColor(17);  // 17 x 16 keeps its low byte
  EXPECT_EQ(s.attribute(), 0x1E);
}

TEST(Screen, OnlyTheChangedCellsOfARowAreRepainted) {
  Screen s(7);
  RecordingView view;
  s.attach(&view);
  s.moveCursor(10, 3);
  s.writeChars("abc");
  ASSERT_EQ(view.repaints.size(), 1u);
  EXPECT_EQ(view.repaints[0], std::make_tuple(2, 9, 12));
  view.repaints.clear();
  s.writeChars("d\r\ne");
  // Row 3 up to the line feed, then row 4 with the "e".
  ASSERT_EQ(view.repaints.size(), 2u);
  EXPECT_EQ(view.repaints[0], std::make_tuple(2, 12, 13));
  EXPECT_EQ(view.repaints[1], std::make_tuple(3, 0, 1));
}

TEST(Screen, CharactersAfterACarriageReturnInTheSameWriteAreRepainted) {
  Screen s(7);
  RecordingView view;
  s.attach(&view);
  s.writeChars("abcdef");
  view.repaints.clear();
  s.writeChars("\rXY");
  EXPECT_EQ(row(s, 1).substr(0, 6), "XYcdef");
  ASSERT_EQ(view.repaints.size(), 1u);
  const auto [r, first, last] = view.repaints[0];
  EXPECT_EQ(r, 0);
  EXPECT_EQ(first, 0);
  EXPECT_GE(last, 2);
}

TEST(Screen, ClearToLineEndFromTheCursor) {
  Screen s(7);
  s.writeChars("abcdef");
  s.moveCursor(3, 1);
  s.setTextColor(2);
  s.clearToLineEnd();
  EXPECT_EQ(row(s, 1).substr(0, 6), "ab    ");
  EXPECT_EQ(s.screenAttrAt(3, 1), 2);
  EXPECT_EQ(s.screenAttrAt(80, 1), 2);
  EXPECT_EQ(s.screenAttrAt(2, 1), 7);
}

TEST(Screen, CellsOutsideTheScreenReadAsBlank) {
  Screen s(7);
  EXPECT_EQ(s.screenCharAt(0, 1), ' ');
  EXPECT_EQ(s.screenCharAt(81, 1), ' ');
  EXPECT_EQ(s.screenAttrAt(1, 26), 0);
}
