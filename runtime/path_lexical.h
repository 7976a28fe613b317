// Lexical path rules with the path style as a parameter, so that the Windows
// rules are exercised on every build. The exported Zo* path functions
// (runtime/zo_path.h) call these with kNativePathStyle. Nothing here touches the
// file system.
//
// Windows style: the separator is '\' only ('/' is an ordinary character); for
// the file part and the folder part a ':' also separates ("C:name" -> folder
// "C:", file "name"); the root runs to the first '\' ("C:\" of "C:\x", "\" of
// "\x", "dir\" of "dir\x"), and a path starting with "\\" has the network root
// "\\server\share\" (no root without both backslashes after server and share).
//
// POSIX style: the same rules with '/' as the separator and no colon rule. The
// root of an absolute path is "/"; a relative path's root still runs to its
// first separator ("dir/" of "dir/x"); "//server/share" is not special (root
// "/"). A root may be used for creating folders when it is "/" or at least three
// units long (the Windows rule "C:\" or longer, which also admits "dir\" of a
// first component with two or more characters).
//
// Buffer functions follow the Zo* contracts: capacities count UTF-16 units with
// the terminator, nothing is written beyond them, and in/out paths not
// terminated within their capacity are left alone.
#pragma once
#include <cstddef>
#include <string_view>

#include "platform/paths.h"
#include "platform/results.h"
#include "platform/text.h"
#include "platform/types.h"

namespace zo {

enum class PathStyle { Windows, Posix };

inline constexpr PathStyle kNativePathStyle = plat::kSeparator == u'\\' ? PathStyle::Windows : PathStyle::Posix;

namespace lexical {

inline constexpr ZoChar Separator(PathStyle style) { return style == PathStyle::Windows ? u'\\' : u'/'; }
inline constexpr bool IsSeparator(char32_t c, PathStyle style) { return c == Separator(style); }

// Unicode white space (the BMP part), as used by the extension rule.
bool IsWhiteSpace(char32_t c);

// Offset of the file part: just after the last separator (or ':' in Windows
// style); 0 when there is none. The UTF-8 form steps by whole characters.
size_t FileNameOffset(plat::StringView16 path, PathStyle style);
// Bytes of the character at `text` (at least 1 when available > 0).
using CharLengthFunction = size_t (*)(const char* text, size_t available);
// The same for 8-bit text, stepping by the characters `charLength` delimits
// (UTF-8 when null).
size_t FileNameOffset(std::string_view text, PathStyle style, CharLengthFunction charLength = nullptr);

// Offset of the extension: the last '.' of the whole text when what follows it
// holds no white space, else text.size(). "a.b c" -> size; "x." -> 1.
size_t ExtensionOffset(plat::StringView16 text);
size_t ExtensionOffset(std::string_view utf8);

// Length of the root, final separator included; 0 when there is none.
size_t RootLength(plat::StringView16 path, PathStyle style);
// True for a Windows network path ("\\..."); never in POSIX style.
bool IsNetworkPath(plat::StringView16 path, PathStyle style);
// True when a root may anchor folder creation (see above).
bool IsCreatableRoot(plat::StringView16 root, PathStyle style);
// Length of the drive and folder of path as the C runtime splits it (a final
// component without separator is a file name): the volume query folder.
// Windows style also splits at '/' here, as the C runtime does.
size_t DiskQueryFolderLength(plat::StringView16 path, PathStyle style);

// Offset in `path` of the whole trailing components it shares with `base`
// (compared from the ends, ASCII case-insensitive); path.size() when none.
// base "C:\src\sub\f", path "D:\out\sub\f" -> offset of "sub\f".
size_t SharedTailOffset(plat::StringView16 base, plat::StringView16 path, PathStyle style);

// DOS wildcard match without backtracking (see ZoIsMatchWildCard). Style-free.
bool MatchWildCard(plat::StringView16 pattern, plat::StringView16 name);

int GetPathNameFromFilePath(const ZoChar* path, ZoChar* out, int capacity, PathStyle style);
int GetRootPathFromFilePath(const ZoChar* path, ZoChar* out, int capacity, PathStyle style);
int AddSlashToPathName(ZoChar* path, int capacity, PathStyle style);
int RemoveSlashFromPathNameEnd(ZoChar* path, int capacity, PathStyle style);
int AddExtensionToPathName(ZoChar* path, int capacity, const ZoChar* extension, PathStyle style);
int GetFileNameWithoutPathOrExtension(const ZoChar* path, ZoChar* out, int capacity, PathStyle style);
ZoResult GetBasePathRelative(const ZoChar* base, const ZoChar* path, ZoChar* out, int capacity, PathStyle style);
ZoResult ReplaceBasePathRelative(const ZoChar* path, const ZoChar* oldBase, const ZoChar* newBase, ZoChar* out,
                                 int capacity);

}  // namespace lexical
}  // namespace zo
