// POSIX back end: holds only code valid on every POSIX system.
// The log goes to a file, or to standard error for the serial-port name; the
// screen box is standard error too.
#include "platform/debug_sink.h"

#include <new>
#include <string_view>

#include "platform/file.h"
#include "platform/terminal.h"
#include "platform/text.h"

namespace plat {

struct DebugDevice::Impl {
  bool standardError = false;
  File file;
};

DebugDevice::DebugDevice() = default;
DebugDevice::~DebugDevice() = default;
DebugDevice::DebugDevice(DebugDevice&& other) noexcept = default;
DebugDevice& DebugDevice::operator=(DebugDevice&& other) noexcept = default;

DebugDevice DebugDevice::Open(const ZoChar* path) {
  DebugDevice device;
  if (!path || !path[0]) return device;
  try {
    auto impl = std::make_unique<Impl>();
    if (StringView16(path) == u"COM1") {
      impl->standardError = true;
    } else {
      impl->file = File::Open(path, Access::Write, kShareNone, Disposition::OpenAlways);
      if (!impl->file) return device;
    }
    device.impl_ = std::move(impl);
  } catch (const std::bad_alloc&) {
  }
  return device;
}

bool DebugDevice::IsValid() const { return impl_ != nullptr; }

bool DebugDevice::Write(const void* bytes, size_t size) {
  if (!impl_) return false;
  if (size == 0) return true;
  if (impl_->standardError) {
    return WriteText(StandardStream::Error, std::string_view(static_cast<const char*>(bytes), size));
  }
  return impl_->file.Write(bytes, size);
}

bool DebugDevice::Control(uint32_t, const void* bytes, size_t size) { return Write(bytes, size); }

bool DrawScreenBoxText(ScreenBox*, const char* text, size_t size, bool newLine, int32_t) {
  bool ok = WriteText(StandardStream::Error, std::string_view(text, size));
  if (newLine) ok = WriteText(StandardStream::Error, "\n") && ok;
  return ok;
}

}  // namespace plat
