// Win32 back end: holds only code valid on every Windows system.
// The layer's error numbers are Windows' own, so the last error is the system's.
#include "platform/win32/windows_wrapper.h"

#include "platform/errors.h"

namespace plat {

uint32_t LastError() { return ::GetLastError(); }
void SetLastError(uint32_t error) { ::SetLastError(error); }

}  // namespace plat
