#include <windows.h>

#include "platform/temporary_folder.h"
#include "platform/text_win32.h"

namespace rigwright {

std::string TemporaryFolder() {
  // GetTempPathW gives the folder with its final backslash (TMP, else TEMP, else the user's).
  std::wstring folder(MAX_PATH + 1, L'\0');
  for (;;) {
    const DWORD length = ::GetTempPathW(static_cast<DWORD>(folder.size()), folder.data());
    if (length == 0) return {};
    if (length < folder.size()) {
      folder.resize(length);
      break;
    }
    folder.resize(length + 1);
  }
  if (folder.back() != L'\\') folder += L'\\';
  return Utf8FromUtf16(folder);
}

}  // namespace rigwright
