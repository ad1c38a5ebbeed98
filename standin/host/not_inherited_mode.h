// Keeping the development host's files out of the processes it starts.
#pragma once

namespace rigwright::standin {

// The letter that, added to a C library open mode, keeps the file out of child processes: "e"
// (close-on-exec) on POSIX, "N" (not inherited) in Microsoft's C runtime, which rejects "e".
extern const char kNotInheritedMode[];

}  // namespace rigwright::standin
