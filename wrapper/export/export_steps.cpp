#include "wrapper/export/export_steps.h"

#include <algorithm>

#include "common/path_text.h"
#include "platform/staged_files.h"
#include "wrapper/machine/file_bytes.h"

namespace rigwright {

bool Fail(ExportReport* report, std::string text) {
  if (report) report->error = std::move(text);
  return false;
}

void ReportProgress(ExportReport* report, ExportProgress::Stage stage, const std::string& item,
                    std::uint64_t done, std::uint64_t total) {
  if (report && report->progress) report->progress({stage, item, done, total});
}

PackageNames PackageNamesFor(const std::string& machineFile) {
  PackageNames names{std::string(StemOf(machineFile)), {}, {}};
  names.machine = names.stem + ".OrvaneSim";
  names.configuration = names.machine + "Cfg";
  return names;
}

bool ReadExternalPost(const std::string& externalPost, const std::vector<std::string>& reservedNames,
                      std::optional<NamedFile>& post, ExportReport* report) {
  post.reset();
  const std::filesystem::path path = PathFromUtf8(externalPost);
  if (externalPost.empty() || !FileCanBeOpened(path)) return true;
  NamedFile file{std::string(FileNameOf(externalPost)), {}};
  if (std::find(reservedNames.begin(), reservedNames.end(), file.name) != reservedNames.end()) {
    return Fail(report, externalPost + ": the post file's name \"" + file.name +
                            "\" is taken by one of the machine's own files");
  }
  const int result = ReadFileBytes(path, file.bytes);
  if (result != kFileRead && result != kFileEmpty) {
    return Fail(report, externalPost + ": " + ReadFileResultText(result));
  }
  post = std::move(file);
  return true;
}

bool WriteFilesTogether(const std::vector<std::pair<std::string, const Bytes*>>& files,
                        ExportReport* report) {
  StagedFiles staged;
  std::uint64_t done = 0;
  for (const auto& [target, bytes] : files) {
    ReportProgress(report, ExportProgress::Stage::kWriting, target, done++, files.size());
    if (!staged.Stage(PathFromUtf8(target), *bytes)) return Fail(report, staged.error());
  }
  if (!staged.Commit()) return Fail(report, staged.error());
  ReportProgress(report, ExportProgress::Stage::kWriting, {}, files.size(), files.size());
  return true;
}

}  // namespace rigwright
