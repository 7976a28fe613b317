// The two sinks of the debug log: a device or file that log lines are written
// to, and a small text box drawn straight onto the screen (no window).
//
// POSIX mapping: a path names a file; the name "COM1" (the log's default, a
// serial port on Windows) stands for standard error, and no serial port is ever
// opened. There are no device I/O control codes: DebugDevice::Control writes
// the bytes as Write does. The screen box is standard error as well: each text
// is written there as it is, with "\n" after it when the line ends.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include "platform/types.h"

namespace plat {

// The log device or file. Move-only; the destructor closes it (standard error
// is never closed).
class DebugDevice {
 public:
  DebugDevice();
  ~DebugDevice();
  DebugDevice(DebugDevice&& other) noexcept;
  DebugDevice& operator=(DebugDevice&& other) noexcept;
  DebugDevice(const DebugDevice&) = delete;
  DebugDevice& operator=(const DebugDevice&) = delete;

  // Opens `path` for writing, not shared, creating it when absent; an existing
  // file is written from its start. Windows: when `path` is exactly "COM1" and
  // cannot be opened, "AUX" is opened instead, and the port obtained either way
  // is set to 115200 baud, 8 data bits and no parity (its other settings kept).
  // Invalid when nothing can be opened (an empty path included).
  static DebugDevice Open(const ZoChar* path);

  bool IsValid() const;
  // Writes every byte; false when a write fails or the device is invalid.
  bool Write(const void* bytes, size_t size);
  // Sends the bytes with the device I/O control `code` (DeviceIoControl, no
  // output buffer). POSIX: writes them (see above).
  bool Control(uint32_t code, const void* bytes, size_t size);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Screen coordinates in pixels; right and bottom are exclusive.
struct ScreenRect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// The screen box and its text cursor. All zero until the first text is drawn;
// `area` is then the writable inside of the box (inside its frame). Owned and
// locked by the caller.
struct ScreenBox {
  ScreenRect area;
  int32_t x = 0, y = 0;
  bool IsLaidOut() const { return area.left != area.right; }
};

// The filled box before its frame: left 1, top the clip box's top, right 80
// pixels left of the clip box's right edge, bottom the clip box's bottom; when
// `lines` > 0, only `lines` text lines of `charHeight` high at the bottom.
ScreenRect ScreenBoxFill(const ScreenRect& clip, int32_t lines, int32_t charHeight);
// Moves the cursor past a text of `textWidth` pixels (to the next line when
// `newLine`), and back to the area's top-left corner when it has left the area
// or the next line of `lineHeight` pixels would end below the area.
void AdvanceScreenBoxCursor(ScreenBox* box, int32_t textWidth, int32_t lineHeight, bool newLine);

// Draws `size` bytes of text in the system's 8-bit code page at the box's
// cursor, laying the box out first when it is not (`lines` as for ScreenBoxFill),
// and advances the cursor; when the box is more than two lines high the line
// the cursor then stands on is cleared. False when the screen cannot be drawn
// on (POSIX: when standard error cannot be written).
bool DrawScreenBoxText(ScreenBox* box, const char* text, size_t size, bool newLine, int32_t lines);

}  // namespace plat
