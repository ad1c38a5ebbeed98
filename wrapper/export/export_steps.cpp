#include "wrapper/export/export_steps.h"

#include <algorithm>
#include <limits>

#include "common/path_text.h"
#include "platform/file_write.h"
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

LeftOutFile NotOpened(const std::string& path, const std::string& candidate,
                      const FileForReading& file) {
  if (file.failure() == FileForReading::Failure::kNotRegular) {
    return LeftOutModel(path, LeftOutFile::Reason::kNotRegularFile, candidate + " " + file.error());
  }
  return LeftOutModel(path, LeftOutFile::Reason::kUnreadable, candidate + ": " + file.error());
}

std::optional<std::string> OutsideTheFolders(FileForReading& file,
                                             const std::vector<std::filesystem::path>& folders,
                                             const std::string& leads) {
  const std::filesystem::path location = file.Location();
  if (location.empty()) return "where it lies cannot be told: " + file.error();
  for (const std::filesystem::path& folder : folders) {
    if (LiesWithin(location, folder)) return std::nullopt;
  }
  return leads + " " + Utf8FromPath(location) +
         ", outside the machine data folder and the machine file's folder";
}

bool ReadExternalPost(const std::string& externalPost, const std::vector<std::string>& reservedNames,
                      std::optional<NamedFile>& post, ExportReport* report) {
  post.reset();
  const std::filesystem::path path = PathFromUtf8(externalPost);
  if (externalPost.empty()) return true;
  FileForReading opened;
  if (!opened.Open(path)) {
    LeftOutFile file = opened.failure() == FileForReading::Failure::kMissing
                           ? LeftOutModel(externalPost, LeftOutFile::Reason::kNotFound, {})
                           : NotOpened(externalPost, externalPost, opened);
    file.post = true;
    if (report) report->leftOut.push_back(std::move(file));
    return true;
  }
  NamedFile file{std::string(FileNameOf(externalPost)), {}};
  if (std::find(reservedNames.begin(), reservedNames.end(), file.name) != reservedNames.end()) {
    return Fail(report, externalPost + ": the post file's name \"" + file.name +
                            "\" is taken by one of the machine's own files");
  }
  std::string why;
  const int result = ReadFileBytes(path, file.bytes, &why);
  if (result != kFileRead && result != kFileEmpty) {
    return Fail(report, externalPost + ": " + ReadFailureText(result, why));
  }
  post = std::move(file);
  return true;
}

namespace {

// Files are read and packed in slices of this size.
constexpr std::size_t kSliceBytes = std::size_t{1} << 20;

// Reads into all of `into` unless the file ends first: how many were read, -1 on error.
std::int64_t ReadUpTo(FileForReading& file, std::span<std::uint8_t> into) {
  std::size_t at = 0;
  while (at < into.size()) {
    const std::int64_t got = file.Read(into.subspan(at));
    if (got < 0) return -1;
    if (got == 0) break;
    at += static_cast<std::size_t>(got);
  }
  return static_cast<std::int64_t>(at);
}

// Reads the file `source.file` in slices into the packer. The file opened must lie inside the
// folders it was found in, however its path reaches it now, and must still have the size it had
// when it was chosen: a model that changes while it is exported fails the export rather than
// packing another file or a record that disagrees with its length.
bool PutFile(const RecordSource& source, RecordPacker& packer, Bytes& slice, ExportReport* report) {
  FileForReading in;
  if (!in.Open(PathFromUtf8(source.file))) {
    return Fail(report,
                source.file + ": " + ReadFailureText(kFileCannotBeOpened, WhyNotOpened(in)));
  }
  if (!source.within.empty()) {
    if (auto outside = OutsideTheFolders(in, source.within, "it now leads to")) {
      return Fail(report, source.file + ": " + *outside);
    }
  }
  std::uint64_t left = source.size;
  while (left > 0) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, slice.size()));
    const std::int64_t got = ReadUpTo(in, {slice.data(), want});
    if (got < 0)
      return Fail(report, source.file + ": " + ReadFailureText(kFileStreamFailed, in.error()));
    if (static_cast<std::size_t>(got) != want) {
      return Fail(report, source.file + ": became shorter while it was exported");
    }
    left -= want;
    if (!packer.PutData({slice.data(), want}, source.kind)) return false;
  }
  const std::int64_t more = ReadUpTo(in, {slice.data(), 1});
  if (more < 0)
    return Fail(report, source.file + ": " + ReadFailureText(kFileStreamFailed, in.error()));
  return more == 0 || Fail(report, source.file + ": became longer while it was exported");
}

bool PutWritten(const RecordSource& source, RecordPacker& packer, Bytes& slice,
                ExportReport* report) {
  for (std::uint64_t at = 0; at < source.size;) {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(source.size - at, slice.size()));
    const std::int64_t got = source.written->ReadAt(at, {slice.data(), want});
    if (got <= 0) {
      return Fail(report, got < 0 ? source.written->error()
                                  : Utf8FromPath(source.written->path()) + ": cut short");
    }
    at += static_cast<std::uint64_t>(got);
    if (!packer.PutData({slice.data(), static_cast<std::size_t>(got)}, source.kind)) return false;
  }
  return true;
}

bool PutRecord(const RecordSource& source, RecordPacker& packer, Bytes& slice,
               ExportReport* report) {
  if (RecordPacker::RecordBytes(source.name, source.size) >
      std::numeric_limits<std::uint32_t>::max()) {
    return Fail(report,
                source.name + ": the record would reach 4 GiB, which the format cannot hold");
  }
  if (!packer.BeginRecord(source.name, source.size)) return false;
  if (!source.file.empty()) return PutFile(source, packer, slice, report);
  if (source.written) return PutWritten(source, packer, slice, report);
  for (std::size_t at = 0; at < source.bytes.size(); at += kSliceBytes) {
    const auto part = source.bytes.subspan(at, std::min(kSliceBytes, source.bytes.size() - at));
    if (!packer.PutData(part, source.kind)) return false;
  }
  return true;
}

}  // namespace

bool WritePackage(std::vector<RecordSource> records, const std::string& item, PackageSigner& signer,
                  PackageOutput& out, ExportReport* report) {
  std::sort(records.begin(), records.end(),
            [](const RecordSource& a, const RecordSource& b) { return a.name < b.name; });
  std::uint64_t total = 0;
  for (const RecordSource& record : records)
    total += RecordPacker::RecordBytes(record.name, record.size);
  Bytes slice(kSliceBytes);
  const PackageWriteResult result = WriteSignedPackage(
      signer, out, total,
      [&](std::uint64_t done, std::uint64_t all) {
        return ReportProgress(report, ExportProgress::Stage::kPacking, item, done, all);
      },
      [&](RecordPacker& packer) {
        for (const RecordSource& record : records) {
          if (!PutRecord(record, packer, slice, report)) return false;
        }
        return true;
      });
  if (result == PackageWriteResult::kTooLarge) {
    return Fail(report, item + ": the package would reach 4 GiB, which the format cannot hold");
  }
  return result == PackageWriteResult::kWritten;
}

std::unique_ptr<PackageSigner> MakeSigner(ExportReport* report) {
  std::string error;
  std::unique_ptr<PackageSigner> signer = PackageSigner::Create(&error);
  if (!signer) Fail(report, error);
  return signer;
}

bool FileOutput::Write(std::span<const std::uint8_t> bytes) { return file_.Write(bytes); }

bool FileOutput::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  return file_.WriteAt(offset, bytes);
}

OutputFile OutputOf(std::string target, std::span<const std::uint8_t> bytes) {
  return {std::move(target), [bytes](NewFile& file) { return file.Write(bytes); }};
}

bool WriteFilesTogether(const std::vector<OutputFile>& files, ExportReport* report) {
  StagedFiles staged;
  staged.WaitWith(
      [report](const std::filesystem::path& folder) {
        if (report && report->waitingForFolder) report->waitingForFolder(Utf8FromPath(folder));
      },
      [report] { return report && report->cancelRequested && report->cancelRequested(); });
  std::uint64_t done = 0;
  for (const OutputFile& file : files) {
    if (!ReportProgress(report, ExportProgress::Stage::kWriting, file.target, done++,
                        files.size())) {
      return false;
    }
    if (!staged.Stage(PathFromUtf8(file.target), file.write)) {
      // A writer that failed for a reason of its own has said so already; so has a cancel
      // while waiting for another export into the folder.
      if (report && !report->error.empty()) return false;
      if (!ReportProgress(report, ExportProgress::Stage::kWriting, file.target, done, files.size()))
        return false;
      return Fail(report, staged.error());
    }
  }
  // The last moment to stop: once files start to be put in place, the export completes.
  if (!ReportProgress(report, ExportProgress::Stage::kWriting, {}, done, files.size())) {
    return false;
  }
  if (!staged.Commit()) return Fail(report, staged.error());
  if (report) {
    for (const OutputFile& file : files) report->written.push_back(file.target);
  }
  return true;
}

}  // namespace rigwright
