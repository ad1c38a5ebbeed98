#include "wrapper/ui/export_callback.h"

#include <exception>
#include <iostream>

#include "common/support_log.h"
#include "platform/engine_text.h"
#include "wrapper/ui/export_dialog.h"

namespace rigwright {
namespace {

// Nothing may leave the callback, not even from telling of what went wrong.
void TellExportFailure(const char* what) noexcept {
  try {
    const std::string text = std::string("the export failed") + (*what ? ": " : "") + what;
    LogError(text);
    std::cerr << "RigwrightWrapper: " << text << "\n";
  } catch (...) {
    // Out of memory: nothing more can be said.
  }
}

}  // namespace

void ExportMachineCallback(const char* machineFile) {
  try {
    if (!machineFile) return;
    LogInfo(std::string("export asked for ") + machineFile);
    WxDialogMessages messages;
    ExportDialog dialog(nullptr, RealExportWriters(), messages);
    messages.set_parent(&dialog);
    dialog.SetMachineFile(Utf8FromEnginePath(machineFile));
    dialog.ShowModal();
  } catch (const std::exception& e) {
    TellExportFailure(e.what());
  } catch (...) {
    TellExportFailure("");
  }
}

}  // namespace rigwright
