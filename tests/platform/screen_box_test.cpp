// The debug log's screen box geometry: its place on the screen and the text
// cursor that wraps to the top when the box is full.
#include <gtest/gtest.h>

#include "platform/debug_sink.h"

namespace {

TEST(ScreenBox, FillsTheLowerLinesOfTheScreenLeftOfItsRightEdge) {
  struct Case {
    int32_t lines;
    plat::ScreenRect expected;
  } const cases[] = {
      {5, {1, 688, 944, 768}},
      {1, {1, 752, 944, 768}},
      {0, {1, 0, 944, 768}},  // no line count: the whole height
      {-3, {1, 0, 944, 768}},
  };
  for (const Case& c : cases) {
    const plat::ScreenRect r = plat::ScreenBoxFill({0, 0, 1024, 768}, c.lines, 16);
    EXPECT_EQ(r.left, c.expected.left);
    EXPECT_EQ(r.top, c.expected.top) << c.lines;
    EXPECT_EQ(r.right, c.expected.right);
    EXPECT_EQ(r.bottom, c.expected.bottom);
  }
  EXPECT_EQ(plat::ScreenBoxFill({0, 0, 1024, 768}, 0x7FFFFFFF, 0x7FFFFFFF).top, INT32_MIN);  // no overflow
}

TEST(ScreenBox, CursorAdvancesAndWrapsToTheTopLeftCorner) {
  // Four lines of 16 pixels: 100..164.
  struct Case {
    int32_t x, y, width;
    bool newLine;
    int32_t expectedX, expectedY;
  } const cases[] = {
      {10, 100, 50, false, 60, 100},
      {60, 100, 50, true, 10, 116},
      {10, 132, 0, true, 10, 148},   // the last line still fits
      {10, 148, 0, true, 10, 100},   // a fifth line would not: back to the top
      {150, 116, 60, false, 10, 100},  // past the right edge
      {150, 116, 49, false, 199, 116},
      {10, 150, 5, false, 10, 100},  // the next line would end below the box
  };
  for (const Case& c : cases) {
    plat::ScreenBox box;
    box.area = {10, 100, 200, 164};
    box.x = c.x;
    box.y = c.y;
    plat::AdvanceScreenBoxCursor(&box, c.width, 16, c.newLine);
    EXPECT_EQ(box.x, c.expectedX) << c.x << "," << c.y;
    EXPECT_EQ(box.y, c.expectedY) << c.x << "," << c.y;
  }
}

}  // namespace
