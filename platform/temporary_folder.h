// The user's folder for temporary files.
#pragma once

#include <string>

namespace rigwright {

// The temporary folder as UTF-8 text with a trailing separator (TMPDIR when set; on Windows what
// GetTempPathW gives: TMP, else TEMP, else the user's own); empty when the system knows none.
std::string TemporaryFolder();

}  // namespace rigwright
