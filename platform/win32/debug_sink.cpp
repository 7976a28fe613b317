// Windows back end: holds only code valid on every Windows system.
// The log device is any file or device CreateFileW opens (a serial port by
// default); the screen box is drawn on the screen's device context.
#include "platform/win32/windows_wrapper.h"

#include "platform/debug_sink.h"

#include <new>

#include "platform/win32/win32_util.h"

namespace plat {

struct DebugDevice::Impl {
  ScopedHandle handle;
};

DebugDevice::DebugDevice() = default;
DebugDevice::~DebugDevice() = default;
DebugDevice::DebugDevice(DebugDevice&& other) noexcept = default;
DebugDevice& DebugDevice::operator=(DebugDevice&& other) noexcept = default;

namespace {

HANDLE OpenForLog(const wchar_t* path) {
  return CreateFileW(path, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void SetPortSpeed(HANDLE port) {
  DCB settings = {};
  settings.DCBlength = sizeof settings;
  if (!GetCommState(port, &settings)) return;  // not a serial port: written as it is
  settings.BaudRate = CBR_115200;
  settings.ByteSize = 8;
  settings.Parity = NOPARITY;
  SetCommState(port, &settings);
}

}  // namespace

DebugDevice DebugDevice::Open(const ZoChar* path) {
  DebugDevice device;
  if (!path || !path[0]) return device;
  try {
    auto impl = std::make_unique<Impl>();
    const bool serial = StringView16(path) == u"COM1";
    impl->handle.Reset(OpenForLog(Wide(path)));
    if (serial && !impl->handle.IsValid()) impl->handle.Reset(OpenForLog(L"AUX"));
    if (!impl->handle.IsValid()) return device;
    if (serial) SetPortSpeed(impl->handle.Get());
    device.impl_ = std::move(impl);
  } catch (const std::bad_alloc&) {
  }
  return device;
}

bool DebugDevice::IsValid() const { return impl_ != nullptr; }

bool DebugDevice::Write(const void* bytes, size_t size) {
  if (!impl_) return false;
  const char* p = static_cast<const char*>(bytes);
  while (size > 0) {
    const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD wrote = 0;
    if (!WriteFile(impl_->handle.Get(), p, chunk, &wrote, nullptr) || wrote == 0) return false;
    p += wrote;
    size -= wrote;
  }
  return true;
}

bool DebugDevice::Control(uint32_t code, const void* bytes, size_t size) {
  if (!impl_ || size > 0xFFFFFFFFu) return false;
  DWORD returned = 0;
  return DeviceIoControl(impl_->handle.Get(), code, const_cast<void*>(bytes), static_cast<DWORD>(size), nullptr,
                         0, &returned, nullptr) != FALSE;
}

bool DrawScreenBoxText(ScreenBox* box, const char* text, size_t size, bool newLine, int32_t lines) {
  HDC dc = GetDC(nullptr);
  if (!dc) return false;
  HGDIOBJ oldFont = SelectObject(dc, GetStockObject(ANSI_FIXED_FONT));
  HBRUSH grey = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
  const int count = size > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(size);
  if (!box->IsLaidOut()) {
    RECT clip = {};
    GetClipBox(dc, &clip);
    SIZE zero = {};
    GetTextExtentPoint32A(dc, "0", 1, &zero);
    const ScreenRect fill = ScreenBoxFill({clip.left, clip.top, clip.right, clip.bottom}, lines, zero.cy);
    RECT r = {fill.left, fill.top, fill.right, fill.bottom};
    FillRect(dc, &r, grey);
    RECT frame = r;
    InflateRect(&frame, 1, 1);
    FrameRect(dc, &frame, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    InflateRect(&r, -1, -1);
    box->area = {r.left, r.top, r.right, r.bottom};
    box->x = r.left;
    box->y = r.top;
  }
  SIZE extent = {};
  GetTextExtentPoint32A(dc, text, count, &extent);
  if (extent.cy == 0) {
    SIZE zero = {};
    GetTextExtentPoint32A(dc, "0", 1, &zero);
    extent.cy = zero.cy;  // an empty text still moves one line down
  }
  RECT white = {box->x, box->y, box->x + extent.cx + 2, box->y + extent.cy};
  FillRect(dc, &white, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SetBkMode(dc, TRANSPARENT);
  const bool drawn = TextOutA(dc, box->x, box->y, text, count) != FALSE;
  AdvanceScreenBoxCursor(box, extent.cx, extent.cy, newLine);
  const ScreenRect& a = box->area;
  if (static_cast<int64_t>(a.bottom) - a.top > 2 * static_cast<int64_t>(extent.cy)) {
    RECT line = {box->x, box->y, a.right, box->y + extent.cy};
    FillRect(dc, &line, grey);
  }
  SelectObject(dc, oldFont);
  ReleaseDC(nullptr, dc);
  return drawn;
}

}  // namespace plat
