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

bool ReportProgress(ExportReport* report, ExportProgress::Stage stage, const std::string& item,
                    std::uint64_t done, std::uint64_t total) {
  if (!report) return true;
  if (report->progress) report->progress({stage, item, done, total});
  if (!report->cancelled && report->cancelRequested && report->cancelRequested()) {
    report->cancelled = true;
    report->error = "the export was cancelled; nothing was written";
  }
  return !report->cancelled;
}

bool WasCancelled(const ExportReport* report) { return report && report->cancelled; }

bool CheckNothingLeftOut(const std::string& machineFile, ExportReport* report) {
  if (!report || !report->strict || report->leftOut.empty()) return true;
  std::string reason = machineFile + ": " + LeftOutLine(report->leftOut.front());
  if (report->leftOut.size() > 1) {
    reason += " (and " + std::to_string(report->leftOut.size() - 1) + " more)";
  }
  return Fail(report, reason + "; nothing was written");
}

PackageNames PackageNamesFor(const std::string& machineFile) {
  PackageNames names{std::string(StemOf(machineFile)), {}, {}};
  names.machine = names.stem + ".OrvaneSim";
  names.configuration = names.machine + "Cfg";
  return names;
}

namespace {

LeftOutFile PostLeftOut(const std::string& externalPost) {
  LeftOutFile file = LeftOutModel(externalPost, LeftOutFile::Reason::kNotFound, {});
  file.post = true;
  std::error_code error;
  const auto status = std::filesystem::status(PathFromUtf8(externalPost), error);
  if (!error && std::filesystem::exists(status)) {
    file.reason = LeftOutFile::Reason::kNotRegularFile;
    file.detail = NotRegularFileText(externalPost, status);
  }
  return file;
}

}  // namespace

std::string NotRegularFileText(const std::string& path,
                               const std::filesystem::file_status& status) {
  switch (status.type()) {
    case std::filesystem::file_type::directory:
      return path + " is a folder";
    case std::filesystem::file_type::fifo:
      return path + " is a pipe";
    case std::filesystem::file_type::block:
    case std::filesystem::file_type::character:
      return path + " is a device";
    case std::filesystem::file_type::socket:
      return path + " is a socket";
    default:
      return path + " is not a regular file";
  }
}

bool ReadExternalPost(const std::string& externalPost, const std::vector<std::string>& reservedNames,
                      std::optional<NamedFile>& post, ExportReport* report) {
  post.reset();
  const std::filesystem::path path = PathFromUtf8(externalPost);
  if (externalPost.empty()) return true;
  if (!FileCanBeOpened(path)) {
    if (report) report->leftOut.push_back(PostLeftOut(externalPost));
    return true;
  }
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
    if (!ReportProgress(report, ExportProgress::Stage::kWriting, target, done++, files.size())) {
      return false;
    }
    if (!staged.Stage(PathFromUtf8(target), *bytes)) return Fail(report, staged.error());
  }
  // The last moment to stop: once files start to be put in place, the export completes.
  if (!ReportProgress(report, ExportProgress::Stage::kWriting, {}, done, files.size())) {
    return false;
  }
  return staged.Commit() || Fail(report, staged.error());
}

}  // namespace rigwright
