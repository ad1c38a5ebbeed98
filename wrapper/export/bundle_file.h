// The bundle: one signed package that carries a whole exported machine, and an optional post
// file, to any computer, where the simulator's machine installer takes it.
#pragma once

#include <string>
#include <string_view>

#include "wrapper/export/export_report.h"

namespace rigwright {

// Builds the machine's packages (as for an install), packs them with the post file into a bundle
// and writes it to BundleTargetPath(outputPath, stem). The file is replaced only once the new
// one is complete.
bool ExportMachineBundle(const std::string& machineFile, const std::string& outputPath,
                         const std::string& orientation, const std::string& externalPost,
                         ExportReport* report = nullptr);

// `outputPath` when it ends in ".OrvaneSimBundle" exactly; otherwise the machine's own bundle
// name, `<stem>.OrvaneSimBundle`, in the folder of `outputPath`.
std::string BundleTargetPath(std::string_view outputPath, std::string_view stem);

}  // namespace rigwright
