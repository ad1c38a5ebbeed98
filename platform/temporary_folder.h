// The user's folder for temporary files.
#pragma once

#include <string>

namespace rigwright {

// The temporary folder as UTF-8 text with a trailing '/' (TMPDIR when set); empty when the
// system knows none.
std::string TemporaryFolder();

}  // namespace rigwright
