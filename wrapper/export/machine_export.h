// Turning a saved machine into the simulator's files and installing them on this computer.
//
// Paths are UTF-8 text. A folder path ends in '\' or '/' and names are joined to it as text, so
// the rules below are rules over that text (see common/path_text.h).
#pragma once

#include <string>

#include "wrapper/export/export_report.h"
#include "wrapper/package/file_map.h"

namespace rigwright {

struct MachinePackages {
  Bytes machinePackage;        // ".OrvaneSim": the merged document as "config.json" + models
  Bytes configurationPackage;  // ".OrvaneSimCfg": the merged document as "config.json" alone
  bool ok = false;             // false when the machine cannot be exported; both are then empty
};

// Reads `<dir>/<stem>.mcfg`, merges `<dir>/<stem>/config.json` into it, settles the header with
// `orientation` ("Don't change", "Vertical", "Horizontal" or "Lathe"), gathers every referenced
// model file (first from `<dir>/<stem>/`, else from `<dir>/`) and builds both signed packages in
// memory. On failure `report->error` says why.
MachinePackages BuildMachinePackages(const std::string& machineFile, const std::string& orientation,
                                     ExportReport* report = nullptr);

// Builds the packages and writes `<target><stem>/<stem>.OrvaneSim` and `.OrvaneSimCfg`, plus a
// copy of `externalPost` (when given and readable) under its own file name. All files are put in
// place together and only when all are complete: a failed install changes nothing. An earlier
// post file of the same name is replaced; other files in the folder are left alone.
bool InstallMachine(const std::string& machineFile, const std::string& targetFolder,
                    const std::string& orientation, const std::string& externalPost,
                    ExportReport* report = nullptr);

// Creates every missing folder of `filePath` up to its last '\' or '/'. False on any error;
// `reason`, when given, then says what the system reported.
bool CreateParentDirectories(const std::string& filePath, std::string* reason = nullptr);

}  // namespace rigwright
