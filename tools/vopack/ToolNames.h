// Member names and file names. Members are named in cp932 bytes, at most 25
// of them: a base of up to 21 before the first "." and up to 3 after it. File
// names here are UTF-8 (converted to UTF-16 at the Windows file functions).
// Pure functions, no file access.
#pragma once

#include <string>
#include <string_view>

namespace vopacktool {

enum class TNameProblem {
    npNone,
    npEmpty,         // nothing to name a member with
    npNotCp932,      // not UTF-8, or a character cp932 lacks
    npTooLong,       // more than 25 cp932 bytes
    npBaseTooLong,   // more than 21 bytes before the first "." (it would be cut)
    npExtTooLong,    // more than 3 bytes after the first "." (it would be cut)
    npEmptyBase,     // nothing before the first "." (stored as a deleted entry)
    npEmptyExt,      // a "." with nothing after it (it would be dropped)
};

// What the problem means, for a message.
const char* NameProblemText(TNameProblem problem);

// The cp932 member name for a UTF-8 name, when the pack would store it as
// given and read it back unchanged.
TNameProblem MemberNameFromUtf8(std::string_view utf8, std::string& cp932);

// The last part of a path (after the last "/", and "\\" on Windows).
std::string BaseName(const std::string& path);

// A member name for display: UTF-8, every byte that is not part of a cp932
// character (and every control byte) written \xNN.
std::string DisplayName(std::string_view cp932);

// A member name as a file name inside the extraction folder, or empty when it
// would name something else: a separator, "." or "..", a
// drive letter or stream (":"); under Windows rules also a device name (CON,
// NUL, COM1, ... with any extension), a character Windows refuses in names,
// and a trailing space or dot. Bytes that are no cp932 character are written
// \xNN (%NN under Windows rules, where "\" separates).
std::string ExtractionName(std::string_view cp932, bool windowsRules);

#ifdef _WIN32
inline constexpr bool NativeWindowsRules = true;
#else
inline constexpr bool NativeWindowsRules = false;
#endif

// The pack's lookup rule: equal but for the case of a to z; a double-byte
// character is compared whole. Pattern "*" matches any run of characters,
// "?" one character (one or two bytes).
bool MatchesMember(std::string_view pattern, std::string_view name);
bool SameMemberName(std::string_view a, std::string_view b);
// A key equal for exactly the names SameMemberName takes as one: a to z
// upper-cased, double-byte characters kept whole.
std::string MemberLookupKey(std::string_view cp932);

}  // namespace vopacktool
