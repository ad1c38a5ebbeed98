#include "wrapper/ui/export_callback.h"

#include <exception>
#include <iostream>

#include "platform/engine_text.h"
#include "wrapper/ui/export_dialog.h"

namespace rigwright {

void ExportMachineCallback(const char* machineFile) {
  try {
    if (!machineFile) return;
    WxDialogMessages messages;
    ExportDialog dialog(nullptr, RealExportWriters(), messages);
    messages.set_parent(&dialog);
    dialog.SetMachineFile(Utf8FromEnginePath(machineFile));
    dialog.ShowModal();
  } catch (const std::exception& e) {
    std::cerr << "RigwrightWrapper: the export failed: " << e.what() << "\n";
  } catch (...) {
    std::cerr << "RigwrightWrapper: the export failed\n";
  }
}

}  // namespace rigwright
