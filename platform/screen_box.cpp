// The screen box's geometry, shared by both back ends (portable code); the
// drawing itself is platform/win32/debug_sink.cpp.
#include "platform/debug_sink.h"

namespace plat {

ScreenRect ScreenBoxFill(const ScreenRect& clip, int32_t lines, int32_t charHeight) {
  ScreenRect box;
  box.left = 1;
  box.top = clip.top;
  box.right = clip.right - 80;
  box.bottom = clip.bottom;
  if (lines > 0) {
    // 64-bit, so that a huge line count from the profile cannot overflow.
    const int64_t top = static_cast<int64_t>(box.bottom) - static_cast<int64_t>(lines) * charHeight;
    box.top = top < INT32_MIN ? INT32_MIN : static_cast<int32_t>(top);
  }
  return box;
}

void AdvanceScreenBoxCursor(ScreenBox* box, int32_t textWidth, int32_t lineHeight, bool newLine) {
  const ScreenRect& a = box->area;
  // 64-bit, so that the step cannot overflow; a cursor inside the area fits 32 bits.
  int64_t x = box->x, y = box->y;
  if (newLine) {
    x = a.left;
    y += lineHeight;
  } else {
    x += textWidth;
  }
  const bool inside = x >= a.left && x < a.right && y >= a.top && y < a.bottom;
  if (!inside || y + lineHeight > a.bottom) {
    x = a.left;
    y = a.top;
  }
  box->x = static_cast<int32_t>(x);
  box->y = static_cast<int32_t>(y);
}

}  // namespace plat
