// The debug log: low-level trace output for developers, with two sinks chosen
// per call.
//
// Mode ZO_DEBUG_TO_DEVICE: the log device or file named by the user's profile
// (plat::GetUserProfileString; on POSIX a file standing for WIN.INI, see
// platform/profile.h), section "Debug":
//   "LogToFilePath"     path of the log file or device, default "COM1" (Windows:
//                       the first serial port, or "AUX" when COM1 cannot be
//                       opened, at 115200 baud; POSIX: standard error)
//   "DeviceIoctl"       when not 0, the device I/O control code each text is
//                       sent with instead of being written (decimal, or
//                       hexadecimal after "0x"); default "0"
//   "LogToScreenLines"  height of the screen box in text lines, default 5
// The text is UTF-16; it goes out in the system's 8-bit code page. A line ends
// with "\r\n" when written and with "\n" when sent with the control code. The
// profile is read, and the log opened, on the first call in this mode only: a
// log that cannot be opened (an empty path included) is not tried again, and
// later calls return false without output. An existing file is written from
// its start (a shorter log leaves the rest of the old one behind it).
// Any other mode: the screen box, a text box drawn on the screen's lower part
// without a window (POSIX: standard error); the text is 8-bit, system code page.
//
// Texts of any length are written whole: in pieces of at most 639 bytes, cut
// between characters, each sent as one write or one control call. The state is
// process-wide and guarded by one lock, so calls from several threads do not
// mix their texts.
#pragma once

inline constexpr int ZO_DEBUG_TO_DEVICE = 2;

// `text` is const ZoChar* in ZO_DEBUG_TO_DEVICE mode and const char* otherwise,
// terminated; null is an empty text. True when everything was written (or
// drawn); false when the log is not open or a write failed.
bool ZoDebugString(const void* text, bool newLine, int mode);

// Closes the log device and forgets the profile settings and the screen box, so
// that the next call reads the profile again (for tests, or after a host has
// changed the profile).
void ZoDebugString_Close();
