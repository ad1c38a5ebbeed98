// When two names are one file. POSIX file systems tell names apart byte by byte; Windows' ignore
// letter case (comparing UTF-16 units through the system's upper-case table) and drop the dots
// and spaces that end a part of a path. The paths here are relative, UTF-8, with '/' between
// their parts and no empty or "." parts.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rigwright {

// A rule of a file system, as a key: two paths name one file exactly when their keys are equal,
// and one path lies inside the other's folder exactly when its key continues the other's with a
// '/'. Nullopt, with `problem` saying why, when that file system cannot name a file so at all.
using FileNameKeyRule = std::optional<std::string> (*)(std::string_view path, std::string& problem);

// This system's rule: on POSIX the path itself, on Windows WindowsFileNameKey.
std::optional<std::string> FileNameKey(std::string_view path, std::string& problem);

// Windows' rule, on every system (packages travel between systems): each part without its
// trailing dots and spaces, upper-cased unit by unit in UTF-16. Text that is not UTF-8 has no
// UTF-16 form, and a part of only dots and spaces is no name there; both give nullopt.
std::optional<std::string> WindowsFileNameKey(std::string_view path, std::string& problem);

// Whether the UTF-8 names `a` and `b` are one file on this system. Names this system cannot
// have are compared as bytes.
bool SameFileName(std::string_view a, std::string_view b);

// Windows' upper case of each UTF-16 unit of `text`. On Windows the system's invariant table,
// the one its file systems compare names with; elsewhere the C library's Unicode mapping, which
// agrees with it for the letters of living scripts (characters outside the 16-bit range stay as
// they are, as they do on Windows).
std::u16string UpperCasedAsWindows(std::u16string_view text);

}  // namespace rigwright
