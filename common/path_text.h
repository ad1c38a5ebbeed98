// Rules for taking paths apart as text. Paths travel through Rigwright as UTF-8 text (command
// lines, JSON documents, dialogs), and the rules that name files are rules over that text: a
// separator is either '\' or '/', whichever comes last.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace rigwright {

// The text after the last '\' or '/'; the whole path when it has neither.
std::string_view FileNameOf(std::string_view path);

// The text up to and including the last '\' or '/'; empty when the path has neither (a bare name
// lies in the current folder). Joining a name to it needs no added separator.
std::string_view DirectoryPrefixOf(std::string_view path);

// The file name up to, not including, its last '.'; the whole file name when it has no '.'.
// "C:\m\Mill.Big.mcfg" gives "Mill.Big", "part" gives "part".
std::string_view StemOf(std::string_view path);

// The path with one '/' appended unless it is empty or already ends in '\' or '/'.
std::string WithTrailingSeparator(std::string_view folder);

// The length of the UTF-8 character at the start of `text` (not empty), or 0 when it does not
// start with one: a stray or missing continuation byte, an overlong form, an encoded surrogate,
// a code point past U+10FFFF.
std::size_t Utf8CharacterLength(std::string_view text);

// UTF-8 from UTF-16 units. A surrogate without its pair (which Windows allows in file names)
// becomes U+FFFD: the text no longer names that file, but it can be shown and logged.
std::string Utf8FromUtf16(std::u16string_view units);

// A file system path from UTF-8 text, and back: the one place where paths and text meet (a
// build check refuses narrow-string conversions of paths elsewhere). On POSIX both are
// byte-for-byte copies. Where paths are UTF-16 (Windows), each byte of `text` that is not UTF-8
// becomes U+FFFD, and so does each unpaired surrogate of `path`: neither direction throws.
std::filesystem::path PathFromUtf8(std::string_view text);
std::string Utf8FromPath(const std::filesystem::path& path);

}  // namespace rigwright
