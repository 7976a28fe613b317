// Windows back end: holds only code valid on every Windows system.
#include "platform/win32/windows_wrapper.h"

#include "platform/system_info.h"

#include <cwchar>
#include <new>
#include <string>

#include "platform/processor_x86.h"
#include "platform/win32/win32_util.h"

namespace plat {

namespace {

// Function types of the entry points looked up at run time. The casts through
// FARPROC go by way of a generic function pointer so that the compiler accepts
// a cast between unrelated function types.
using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);

// DLLVERSIONINFO of the shell's headers (the first five fields every module fills).
struct DllVersionInfo {
  DWORD cbSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformID;
};
using DllGetVersionFunction = HRESULT(CALLBACK*)(DllVersionInfo*);

template <typename F>
F EntryPoint(HMODULE module, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// Windows 8 and later, and Windows 7 with its loader update, take the search
// flags; elsewhere LoadLibraryExW refuses them with ERROR_INVALID_PARAMETER.
constexpr DWORD kLoadLibrarySearchSystem32 = 0x00000800;

}  // namespace

bool QueryVersionRecord(VersionRecord* out) {
  if (!out) return false;
  *out = VersionRecord();
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof info;
  bool known = false;
  if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
    if (auto rtlGetVersion = EntryPoint<RtlGetVersionFunction>(ntdll, "RtlGetVersion")) {
      known = rtlGetVersion(&info) == 0;
    }
  }
  if (!known) {
    info = OSVERSIONINFOW();
    info.dwOSVersionInfoSize = sizeof info;
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
    known = GetVersionExW(&info) != FALSE;
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
  }
  if (!known) return false;
  out->platformId = info.dwPlatformId;
  out->major = info.dwMajorVersion;
  out->minor = info.dwMinorVersion;
  // On Windows 9x the high word of the build number repeats the version.
  out->build = info.dwPlatformId == kPlatformWindows ? (info.dwBuildNumber & 0xFFFFu) : info.dwBuildNumber;
  const size_t units = sizeof info.szCSDVersion / sizeof info.szCSDVersion[0];
  CopyTruncated(out->servicePack, sizeof out->servicePack / sizeof out->servicePack[0],
                StringView16(Zo(info.szCSDVersion), BoundedLength(Zo(info.szCSDVersion), units)));
  return true;
}

void QueryProcessor(ProcessorInfo* out) {
  if (!out) return;
  *out = ProcessorInfo();
  SYSTEM_INFO system = {};
  GetSystemInfo(&system);
  switch (system.dwProcessorType) {
    case PROCESSOR_INTEL_486:
      out->processorClass = 486;
      break;
    case PROCESSOR_INTEL_PENTIUM:
    case PROCESSOR_AMD_X8664:
      out->processorClass = 586;
      break;
    default:
      break;
  }
  const x86::CpuidLeaf1 leaf = x86::ReadCpuidLeaf1();
  out->hasCpuid = leaf.hasCpuid;
  out->leaf1Ecx = leaf.ecx;
  out->leaf1Edx = leaf.edx;
#if defined(_WIN64)
  out->systemSavesSseState = true;
#else
  // True only when the processor has SSE and the system saves its registers.
  out->systemSavesSseState = IsProcessorFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE) != FALSE;
#endif
}

uint32_t ProcessorCount() {
  SYSTEM_INFO info = {};
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? static_cast<uint32_t>(info.dwNumberOfProcessors) : 1u;
}

void EnableFlushDenormalsToZero() { x86::SetMxcsrBits(0x8040u); }

HMODULE LoadSystemLibrary(const wchar_t* name) {
  if (!name || !name[0]) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  HMODULE module = LoadLibraryExW(name, nullptr, kLoadLibrarySearchSystem32);
  if (module || ::GetLastError() != ERROR_INVALID_PARAMETER) return module;
  wchar_t path[MAX_PATH];
  const UINT length = GetSystemDirectoryW(path, MAX_PATH);
  const size_t nameLength = std::wcslen(name);
  if (length == 0 || length + 1 + nameLength >= MAX_PATH) {
    ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return nullptr;
  }
  path[length] = L'\\';
  std::wmemcpy(path + length + 1, name, nameLength + 1);
  return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

bool GetSystemModuleVersion(const ZoChar* name, uint32_t* major, uint32_t* minor) {
  if (!name || !name[0] || !major || !minor) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  for (const ZoChar* p = name; *p; ++p) {
    if (*p == u'\\' || *p == u'/' || *p == u':') {
      ::SetLastError(ERROR_INVALID_NAME);
      return false;
    }
  }
  wchar_t folder[MAX_PATH];
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  std::wstring path;
  try {
    path.assign(folder, length);
    path += L'\\';
    path += Wide(name);
  } catch (const std::bad_alloc&) {
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  // The full path picks the file; the flags keep the modules it needs to the
  // system folder too (the fallback searches from the module's own folder).
  HMODULE module = LoadLibraryExW(path.c_str(), nullptr, kLoadLibrarySearchSystem32);
  if (!module && ::GetLastError() == ERROR_INVALID_PARAMETER) {
    module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  }
  if (!module) return false;
  bool ok = false;
  if (auto getVersion = EntryPoint<DllGetVersionFunction>(module, "DllGetVersion")) {
    DllVersionInfo info = {};
    info.cbSize = sizeof info;
    if (SUCCEEDED(getVersion(&info))) {
      *major = info.dwMajorVersion;
      *minor = info.dwMinorVersion;
      ok = true;
    }
  }
  FreeLibrary(module);
  return ok;
}

}  // namespace plat
