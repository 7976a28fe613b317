// Win32 back end: holds only code valid on every Windows system.
// Directories through CreateDirectoryW/RemoveDirectoryW and listings through
// FindFirstFileW/FindNextFileW, whose wildcard rules are the system's own.
#include "platform/win32/windows_wrapper.h"

#include "platform/directory.h"

#include <aclapi.h>

#include <memory>
#include <new>

#include "platform/errors.h"
#include "platform/win32/win32_util.h"

namespace plat {

namespace {

// Not in every SDK's headers; older systems refuse it with
// ERROR_INVALID_PARAMETER, and the call is then repeated without it.
constexpr DWORD kAllowUnprivilegedCreate = 0x2;

uint32_t AttributesOf(const ZoChar* path) {
  if (!path) {
    SetLastError(kErrorInvalidName);
    return INVALID_FILE_ATTRIBUTES;
  }
  return ::GetFileAttributesW(Wide(path));
}

struct ListerState {
  HANDLE find = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAW pending = {};  // the entry FindFirstFileW returned, not yet handed out
  bool hasPending = false;
  bool ended = false;             // the folder matched nothing at all
};

void FillEntry(const WIN32_FIND_DATAW& data, DirectoryEntry* entry) {
  entry->name.assign(Zo(data.cFileName), BoundedLength(Zo(data.cFileName), MAX_PATH));
  entry->attributes = data.dwFileAttributes;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) entry->attributes |= DeviceAttributeOfReparseTag(data.dwReserved0);
  entry->size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  entry->lastWrite = FromFileTime(data.ftLastWriteTime);
}

}  // namespace

bool CreateDirectory(const ZoChar* path) {
  if (!path) {
    SetLastError(kErrorInvalidName);
    return false;
  }
  return ::CreateDirectoryW(Wide(path), nullptr) != 0;
}

namespace {

// The three accounts a private folder grants full control: the user the
// process runs as (its token's user), SYSTEM and the Administrators group.
class PrivateAccounts {
 public:
  // False (last error set) when a SID cannot be had.
  bool Load() {
    ScopedHandle token;
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
    token.Reset(raw);
    DWORD size = 0;
    ::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    if (size == 0 || size > sizeof user_) {
      if (::GetLastError() == ERROR_SUCCESS) ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return false;
    }
    if (!::GetTokenInformation(token.Get(), TokenUser, user_, sizeof user_, &size)) return false;
    DWORD systemSize = sizeof system_, adminsSize = sizeof admins_;
    return ::CreateWellKnownSid(WinLocalSystemSid, nullptr, system_, &systemSize) &&
           ::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins_, &adminsSize);
  }
  PSID User() { return reinterpret_cast<TOKEN_USER*>(user_)->User.Sid; }
  PSID System() { return system_; }
  PSID Admins() { return admins_; }

 private:
  alignas(TOKEN_USER) unsigned char user_[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE] = {};
  alignas(SID) unsigned char system_[SECURITY_MAX_SID_SIZE] = {};
  alignas(SID) unsigned char admins_[SECURITY_MAX_SID_SIZE] = {};
};

constexpr BYTE kInheritedByAll = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

}  // namespace

// An elevated run's temp folder can be the machine's shared one, so the folder
// does not take its parent's permissions: its DACL is set explicitly and
// protected from inheritance, full control for the user, SYSTEM and the
// Administrators, inherited by everything made inside. When that DACL cannot
// be built nothing is created. CreateDirectoryW fails on any existing name, a
// junction or a link included (ERROR_ALREADY_EXISTS).
bool CreatePrivateDirectory(const ZoChar* path) {
  if (!path) {
    SetLastError(kErrorInvalidName);
    return false;
  }
  PrivateAccounts accounts;
  if (!accounts.Load()) return false;
  PSID sids[] = {accounts.User(), accounts.System(), accounts.Admins()};
  DWORD aclSize = sizeof(ACL);
  for (PSID sid : sids) aclSize += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + ::GetLengthSid(sid);
  alignas(DWORD) unsigned char aclBuffer[sizeof(ACL) + 3 * (sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE)];
  if (aclSize > sizeof aclBuffer) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  ACL* acl = reinterpret_cast<ACL*>(aclBuffer);
  if (!::InitializeAcl(acl, aclSize, ACL_REVISION)) return false;
  for (PSID sid : sids) {
    if (!::AddAccessAllowedAceEx(acl, ACL_REVISION, kInheritedByAll, FILE_ALL_ACCESS, sid)) return false;
  }
  SECURITY_DESCRIPTOR descriptor;
  if (!::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !::SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) ||
      !::SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
    return false;
  }
  SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
  return ::CreateDirectoryW(Wide(path), &attributes) != 0;
}

// Each entry must be the folder's own: a folder that takes its parent's
// entries shows them flagged as inherited, and a protected DACL has none.
bool IsPrivateDirectory(const ZoChar* path) {
  if (AttributesOf(path) == INVALID_FILE_ATTRIBUTES) return false;
  PrivateAccounts accounts;
  if (!accounts.Load()) return false;
  PACL acl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD status = ::GetNamedSecurityInfoW(Wide(path), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                               nullptr, &acl, nullptr, &descriptor);
  if (status != ERROR_SUCCESS) {
    SetLastError(status);
    return false;
  }
  bool only = acl != nullptr, userHasAll = false;
  for (DWORD i = 0; only && i < acl->AceCount; ++i) {
    void* ace = nullptr;
    if (!::GetAce(acl, i, &ace)) {
      only = false;
      break;
    }
    const auto* header = static_cast<const ACE_HEADER*>(ace);
    if (header->AceType == ACCESS_DENIED_ACE_TYPE) continue;
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERITED_ACE)) {
      only = false;
      break;
    }
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    const PSID sid = reinterpret_cast<PSID>(&allowed->SidStart);
    if (::EqualSid(sid, accounts.User())) {
      userHasAll |= (allowed->Mask & FILE_ALL_ACCESS) == FILE_ALL_ACCESS &&
                    (header->AceFlags & kInheritedByAll) == kInheritedByAll;
    } else if (!::EqualSid(sid, accounts.System()) && !::EqualSid(sid, accounts.Admins())) {
      only = false;
    }
  }
  ::LocalFree(descriptor);
  return only && userHasAll;
}

bool RemoveDirectory(const ZoChar* path) {
  if (!path) {
    SetLastError(kErrorInvalidName);
    return false;
  }
  return ::RemoveDirectoryW(Wide(path)) != 0;
}

bool IsDirectory(const ZoChar* path) {
  uint32_t a = AttributesOf(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Exists(const ZoChar* path) { return AttributesOf(path) != INVALID_FILE_ATTRIBUTES; }

bool IsLink(const ZoChar* path) {
  uint32_t a = AttributesOf(path);
  if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return false;
  // Other reparse points (deduplicated or cloud files) are ordinary files to us;
  // the find data carries the reparse tag.
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW(Wide(path), &data);
  if (find == INVALID_HANDLE_VALUE) return true;  // cannot tell: trust the attribute
  ::FindClose(find);
  return data.dwReserved0 == IO_REPARSE_TAG_SYMLINK || data.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT;
}

bool NamesOneFile(const ZoChar* path) {
  if (!Exists(path)) return false;
  // Windows names are UTF-16 and unique in their folder. Under Wine a Linux name
  // that is not UTF-8 is listed with U+FFFD and may read like another one there:
  // the name then opens the other file. Count the folder's names that read the same.
  const String16 full(path);
  const size_t cut = full.find_last_of(u"\\/");
  const String16 name = cut == String16::npos ? full : full.substr(cut + 1);
  if (name.find(u'\uFFFD') == String16::npos) return true;
  DirectoryLister lister;
  if (!lister.Open(cut == String16::npos ? u"." : full.substr(0, cut + 1).c_str(), u"*")) return false;
  DirectoryEntry entry;
  int count = 0;
  while (lister.Next(&entry)) {
    if (entry.name == name) ++count;
  }
  return count == 1;
}

bool CreateSymbolicLink(const ZoChar* link, const ZoChar* target, bool isDirectory) {
  if (!link || !target) {
    SetLastError(kErrorInvalidName);
    return false;
  }
  DWORD flags = isDirectory ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0;
  if (!::CreateSymbolicLinkW(Wide(link), Wide(target), flags | kAllowUnprivilegedCreate)) {
    if (::GetLastError() != ERROR_INVALID_PARAMETER) return false;
    if (!::CreateSymbolicLinkW(Wide(link), Wide(target), flags)) return false;
  }
  // Some implementations (Wine's among them) answer success without creating
  // anything; a link that is not there was not created.
  DWORD attributes = ::GetFileAttributesW(Wide(link));
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    SetLastError(kErrorNotSupported);
    return false;
  }
  return true;
}

DirectoryLister::~DirectoryLister() { Close(); }

void DirectoryLister::Close() {
  auto* s = static_cast<ListerState*>(state_);
  if (s) {
    if (s->find != INVALID_HANDLE_VALUE) ::FindClose(s->find);
    delete s;
    state_ = nullptr;
  }
}

bool DirectoryLister::Open(const ZoChar* folder, const ZoChar* pattern) {
  Close();
  if (!folder) {
    SetLastError(kErrorInvalidName);
    return false;
  }
  try {
    // folder + '\' + pattern; no separator after an empty folder (the current
    // one) or one that already ends with a separator or a drive colon.
    String16 query(folder);
    if (!query.empty() && query.back() != u'\\' && query.back() != u'/' && query.back() != u':') query.push_back(u'\\');
    query += (pattern && pattern[0]) ? pattern : u"*";
    auto s = std::make_unique<ListerState>();
    s->find = ::FindFirstFileW(Wide(query.c_str()), &s->pending);
    if (s->find == INVALID_HANDLE_VALUE) {
      // An existing folder with no matching name is an empty listing, not a failure.
      DWORD error = ::GetLastError();
      if (error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES) return false;
      s->ended = true;
    } else {
      s->hasPending = true;
    }
    state_ = s.release();  // owned from here by Close()
    return true;
  } catch (const std::bad_alloc&) {
    SetLastError(kErrorNotEnoughMemory);
    return false;
  }
}

bool DirectoryLister::Next(DirectoryEntry* entry) {
  auto* s = static_cast<ListerState*>(state_);
  if (!s || s->ended) {
    SetLastError(kErrorNoMoreFiles);
    return false;
  }
  try {
    if (s->hasPending) {
      s->hasPending = false;
      FillEntry(s->pending, entry);
      return true;
    }
    WIN32_FIND_DATAW data;
    if (!::FindNextFileW(s->find, &data)) return false;  // ERROR_NO_MORE_FILES at the end
    FillEntry(data, entry);
    return true;
  } catch (const std::bad_alloc&) {
    SetLastError(kErrorNotEnoughMemory);
    return false;
  }
}

}  // namespace plat
