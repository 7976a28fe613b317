// Window geometry over rectangles: centring modes, the desktop clamp, the
// single-monitor fallbacks.
#include <gtest/gtest.h>

#include "platform/text.h"
#include "runtime/window_geometry.h"
#include "runtime/zo_window.h"

namespace {

using plat::Point;
using plat::Rect;

void ExpectRect(const Rect& r, const Rect& want, const char* what) {
  EXPECT_EQ(r.left, want.left) << what;
  EXPECT_EQ(r.top, want.top) << what;
  EXPECT_EQ(r.right, want.right) << what;
  EXPECT_EQ(r.bottom, want.bottom) << what;
}

TEST(WindowGeometry, CenteredRectByMode) {
  const Rect reference{100, 50, 901, 651};  // 801 x 601: odd sizes show the truncation
  const Rect window{0, 0, 300, 200};
  struct Case {
    const char* what;
    uint32_t mode;
    Point anchor;
    Rect want;
  } cases[] = {
      {"centre", 0, {}, {350, 250, 650, 450}},            // 100 + 501/2, 50 + 401/2
      {"unknown modes centre too", 7, {}, {350, 250, 650, 450}},
      {"upper third", 1, {}, {350, 184, 650, 384}},        // 50 + 601/3 - 200/3 = 50 + 200 - 66
      {"on the cursor", 2, {10, 20}, {-140, -80, 160, 120}},
      {"on a point", 3, {1001, 701}, {851, 601, 1151, 801}},
      {"flags above the mode are ignored", 0x8001, {}, {350, 184, 650, 384}},
  };
  for (const Case& c : cases) ExpectRect(ZoCenteredRect(window, reference, c.mode, c.anchor), c.want, c.what);
  // Negative halves truncate toward zero: a window larger than the reference.
  ExpectRect(ZoCenteredRect(Rect{0, 0, 301, 101}, Rect{0, 0, 100, 100}, 0, {}), {-100, 0, 201, 101}, "larger");
  ExpectRect(ZoCenteredRect(Rect{0, 0, 5, 5}, Rect{0, 0, 100, 100}, 2, {-3, -3}), {-5, -5, 0, 0}, "cursor -3");
}

TEST(WindowGeometry, ClampKeepsSizeAndPrefersLeftAndTopEdges) {
  const Rect area{0, 0, 1024, 738};
  struct Case {
    const char* what;
    Rect rc;
    int mx, my;
    Rect want;
  } cases[] = {
      {"inside stays", {10, 10, 110, 110}, 0, 0, {10, 10, 110, 110}},
      {"left of the area", {-50, 10, 50, 110}, 0, 0, {0, 10, 100, 110}},
      {"beyond the right", {1000, 10, 1100, 110}, 0, 0, {924, 10, 1024, 110}},
      {"below the bottom", {10, 700, 110, 800}, 0, 0, {10, 638, 110, 738}},
      {"above the top", {10, -5, 110, 95}, 0, 0, {10, 0, 110, 100}},
      {"margins", {0, 0, 100, 100}, 8, 4, {8, 4, 108, 104}},
      {"margin at the right", {1000, 700, 1100, 800}, 8, 4, {916, 634, 1016, 734}},
      {"wider than the area: left edge wins", {-10, 0, 2000, 100}, 0, 0, {0, 0, 2010, 100}},
      {"wider, starting inside: moved left", {5, 0, 2015, 100}, 0, 0, {-986, 0, 1024, 100}},
  };
  for (const Case& c : cases) {
    Rect r = c.rc;
    ZoClampRectToArea(&r, area, c.mx, c.my);
    ExpectRect(r, c.want, c.what);
  }
  ZoClampRectToArea(nullptr, area, 0, 0);  // harmless
}

TEST(WindowGeometry, FallbackMonitorsAnswerThePseudoHandle) {
  const auto pseudo = reinterpret_cast<plat::MonitorHandle>(ZO_PRIMARY_MONITOR_PSEUDO_HANDLE);
  const plat::Size screen{800, 600};
  struct PointCase {
    Point p;
    uint32_t flags;
    bool found;
  } points[] = {
      {{0, 0}, 0, true},     {{799, 599}, 0, true}, {{800, 10}, 0, false}, {{10, 600}, 0, false},
      {{-1, 10}, 0, false},  {{-1, 10}, 1, true},   {{5000, 5000}, 2, true},
  };
  for (const PointCase& c : points) {
    EXPECT_EQ(ZoFallbackMonitorFromPoint(c.p, c.flags, screen), c.found ? pseudo : nullptr) << c.p.x << "," << c.p.y;
  }
  struct RectCase {
    Rect r;
    uint32_t flags;
    bool found;
  } rects[] = {
      {{-100, -100, 1, 1}, 0, true},   {{-100, -100, 0, 50}, 0, false}, {{-100, -100, 50, 0}, 0, false},
      {{799, 599, 900, 700}, 0, true}, {{800, 0, 900, 100}, 0, false},  {{0, 600, 10, 700}, 0, false},
      {{800, 0, 900, 100}, 1, true},   {{800, 0, 900, 100}, 2, true},
  };
  for (const RectCase& c : rects) {
    EXPECT_EQ(ZoFallbackMonitorFromRect(c.r, c.flags, screen), c.found ? pseudo : nullptr) << c.r.left << "," << c.r.top;
  }
  // Without a screen only the default-to flags find a monitor.
  EXPECT_EQ(ZoFallbackMonitorFromPoint({0, 0}, 0, plat::Size{}), nullptr);
  EXPECT_EQ(ZoFallbackMonitorFromPoint({0, 0}, 1, plat::Size{}), pseudo);
}

TEST(WindowGeometry, FallbackMonitorInfoAndEnumeration) {
  const auto pseudo = reinterpret_cast<plat::MonitorHandle>(ZO_PRIMARY_MONITOR_PSEUDO_HANDLE);
  const plat::Size screen{800, 600};
  const Rect work{0, 0, 800, 570};
  plat::MonitorInfo info;
  info.size = plat::kMonitorInfoExSize;
  ASSERT_TRUE(ZoFallbackMonitorInfo(pseudo, &info, screen, work));
  ExpectRect(info.monitor, {0, 0, 800, 600}, "monitor");
  ExpectRect(info.work, work, "work");
  EXPECT_EQ(info.flags, plat::kMonitorPrimary);
  EXPECT_EQ(plat::String16(info.device), u"DISPLAY");
  // The plain structure gets no device name; a smaller one or another handle nothing.
  plat::MonitorInfo plain;
  plain.size = plat::kMonitorInfoSize;
  plain.device[0] = u'#';
  ASSERT_TRUE(ZoFallbackMonitorInfo(pseudo, &plain, screen, work));
  EXPECT_EQ(plain.device[0], u'#');
  plain.size = 39;
  EXPECT_FALSE(ZoFallbackMonitorInfo(pseudo, &plain, screen, work));
  plain.size = plat::kMonitorInfoSize;
  EXPECT_FALSE(ZoFallbackMonitorInfo(reinterpret_cast<plat::MonitorHandle>(1), &plain, screen, work));
  static_assert(sizeof(plat::MonitorInfo) == plat::kMonitorInfoExSize, "MONITORINFOEXW layout");

  Rect out;
  const Rect dcClip{-10, 100, 500, 900};
  const Rect clip{400, 0, 1000, 200};
  ASSERT_TRUE(ZoFallbackEnumRect(screen, nullptr, nullptr, &out));
  ExpectRect(out, {0, 0, 800, 600}, "whole screen");
  ASSERT_TRUE(ZoFallbackEnumRect(screen, &dcClip, &clip, &out));
  ExpectRect(out, {400, 100, 500, 200}, "both clips");
  const Rect away{900, 0, 1000, 100};
  EXPECT_FALSE(ZoFallbackEnumRect(screen, nullptr, &away, &out));
}

TEST(WindowGeometry, EntryPointsWorkBeforeAndAfterBinding) {
  // Without a system window service (POSIX) these are the fallbacks over an
  // empty screen; on Windows the system's functions: either way a default-to
  // flag always finds a monitor whose information can be read.
  const Rect r{0, 0, 10, 10};
  const plat::MonitorHandle before = ZoMonitorFromRect(&r, plat::kMonitorDefaultToPrimary);
  ZoWindow_BindMonitorEntryPoints();
  const plat::MonitorHandle after = ZoMonitorFromRect(&r, plat::kMonitorDefaultToPrimary);
  ASSERT_NE(after, nullptr);
  EXPECT_EQ(before, after);
  EXPECT_EQ(ZoMonitorFromPoint(Point{-30000, -30000}, plat::kMonitorDefaultToNearest), after);
  plat::MonitorInfo info;
  info.size = plat::kMonitorInfoExSize;
  EXPECT_TRUE(ZoGetMonitorInfo(after, &info));
  EXPECT_EQ(info.flags & plat::kMonitorPrimary, plat::kMonitorPrimary);
  EXPECT_FALSE(ZoGetMonitorInfo(after, nullptr));
  EXPECT_EQ(ZoMonitorFromRect(nullptr, 1), nullptr);
}

TEST(WindowGeometry, FolderPickerRefusesShortBuffers) {
  ZoChar path[ZO_MAX_PATH] = u"somewhere";
  EXPECT_EQ(ZoSelectDirectoryDlgEx(nullptr, u"t", path, 100, true, true), E_INVALIDARG);
  EXPECT_EQ(ZoSelectDirectoryDlgEx(nullptr, u"t", nullptr, ZO_MAX_PATH, true, true), E_INVALIDARG);
}

}  // namespace
