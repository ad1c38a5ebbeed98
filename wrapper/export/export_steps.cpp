#include "wrapper/export/export_steps.h"

#include <algorithm>
#include <fstream>
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

namespace {

// Files are read and packed in slices of this size.
constexpr std::size_t kSliceBytes = std::size_t{1} << 20;

// Reads the file `source.file` in slices into the packer. The file must still have the size it
// had when it was chosen: a model that changes while it is exported fails the export rather
// than packing a record that disagrees with its length.
bool PutFile(const RecordSource& source, RecordPacker& packer, Bytes& slice, ExportReport* report) {
  std::ifstream in(PathFromUtf8(source.file), std::ios::binary);
  if (!in) return Fail(report, source.file + ": " + ReadFileResultText(kFileStreamFailed));
  std::uint64_t left = source.size;
  while (left > 0) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, slice.size()));
    in.read(reinterpret_cast<char*>(slice.data()), static_cast<std::streamsize>(want));
    if (static_cast<std::size_t>(in.gcount()) != want) {
      return Fail(report, source.file + ": " +
                              (in.bad() ? ReadFileResultText(kFileStreamFailed)
                                        : std::string("became shorter while it was exported")));
    }
    left -= want;
    if (!packer.PutData({slice.data(), want}, source.kind)) return false;
  }
  if (in.peek() != std::char_traits<char>::eof()) {
    return Fail(report, source.file + ": became longer while it was exported");
  }
  return true;
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
  return staged.Commit() || Fail(report, staged.error());
}

}  // namespace rigwright
