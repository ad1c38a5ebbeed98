#include <windows.h>

#include "addin/testing/process_state.h"
#include "common/path_text.h"
#include "platform/text_win32.h"

namespace rigwright::testing {

// By its file name: the system knows the module by its own spelling of the path.
bool IsLibraryLoaded(const std::string& path) {
  return ::GetModuleHandleW(Utf16FromUtf8(FileNameOf(path)).c_str()) != nullptr;
}

std::optional<std::size_t> OwnThreadCount() { return std::nullopt; }

}  // namespace rigwright::testing
