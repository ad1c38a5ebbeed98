// `rigwright list`, `verify` and `extract`: looking inside packages.
#include <cryptopp/rsa.h>

#include <filesystem>
#include <iomanip>
#include <iostream>
#include <map>
#include <memory>
#include <optional>

#include "common/path_text.h"
#include "platform/file_write.h"
#include "platform/staged_files.h"
#include "tools/cli.h"
#include "wrapper/machine/file_bytes.h"
#include "wrapper/package/package_reader.h"
#include "wrapper/package/package_stream.h"
#include "wrapper/package/signing_key.h"

namespace rigwright::cli {
namespace {

namespace fs = std::filesystem;

// Prints the error and returns false, for steps that report their own failure.
bool Refuse(const std::string& subject, const std::string& problem) {
  Error(subject, problem);
  return false;
}

bool ReadPackageFile(const std::string& file, Bytes& bytes) {
  const int result = ReadFileBytes(PathFromUtf8(file), bytes);
  if (result == kFileRead) return true;
  Error(file, ReadFileResultText(result));
  return false;
}

std::string Counted(std::size_t count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string Quoted(std::string_view name) { return "\"" + PrintableName(name) + "\""; }

// What is wrong, in words first: a file whose header does not hold is no package at all; one
// whose signature fails was changed or signed with another key; anything later is damage. The
// broken rule's name follows for those who look it up.
std::string Describe(const PackageReadStatus& status) {
  std::string kind = "damaged package: ";
  switch (status.error) {
    case PackageError::kTooShort:
    case PackageError::kReservedNotZero:
    case PackageError::kLengthMismatch:
      kind = "not a package (.OrvaneSim, .OrvaneSimCfg or .OrvaneSimBundle): ";
      break;
    case PackageError::kSignatureLengthMismatch:
    case PackageError::kBadSignature:
      kind = "the signature does not verify: ";
      break;
    default:
      break;
  }
  return kind + status.detail + " (" + std::string(PackageErrorName(status.error)) + ")";
}

// The content limit is shared by a package and the packages nested in it.
class ContentBudget {
 public:
  PackageReadLimits Limits() const { return {.maxContentBytes = left_}; }
  void Spend(std::uint64_t bytes) { left_ -= std::min(bytes, left_); }

 private:
  std::uint64_t left_ = PackageReadLimits{}.maxContentBytes;
};

// A record as a listing shows it: its name and its data's length.
struct RecordLine {
  std::string name;
  std::uint64_t size = 0;
};

// Views of `lines` for the checks that take records (their data is not held).
std::vector<RecordView> ViewsOf(const std::vector<RecordLine>& lines) {
  std::vector<RecordView> views;
  views.reserve(lines.size());
  for (const RecordLine& line : lines) views.push_back({line.name, {}});
  return views;
}

// What reading a package found: its outcome and its records' names and sizes. Records that may
// be a bundle's packages are read as packages themselves on the way (one level down only); which
// of them are is known once all names are.
struct ReadPackage {
  PackageReadStatus status;
  std::vector<RecordLine> records;
  std::map<std::size_t, ReadPackage> nested;  // by record index
  std::uint64_t contentBytes = 0;
};

class ListingSink : public RecordSink {
 public:
  // Without a budget, nothing nested is read.
  ListingSink(ReadPackage& into, const CryptoPP::RSAFunction* key, ContentBudget* budget)
      : into_(into), key_(key), budget_(budget) {}

  bool BeginRecord(std::string_view name, std::uint64_t dataBytes) override {
    into_.records.push_back({std::string(name), dataBytes});
    if (budget_ && (name.ends_with(".OrvaneSim") || name.ends_with(".OrvaneSimCfg"))) {
      nested_ = &into_.nested[into_.records.size() - 1];
      nestedSink_ = std::make_unique<ListingSink>(*nested_, key_, nullptr);
      nestedReader_ =
          std::make_unique<PackageStreamReader>(dataBytes, key_, *nestedSink_, budget_->Limits());
      nestedFeeding_ = true;
    }
    return true;
  }
  bool RecordData(std::span<const std::uint8_t> data) override {
    if (nestedReader_ && nestedFeeding_) nestedFeeding_ = nestedReader_->Feed(data);
    return true;
  }
  bool EndRecord() override {
    if (!nestedReader_) return true;
    nested_->status = nestedReader_->Finish();
    nested_->contentBytes = nestedReader_->contentBytes();
    budget_->Spend(nested_->contentBytes);
    nestedReader_.reset();
    nestedSink_.reset();
    return true;
  }

 private:
  ReadPackage& into_;
  const CryptoPP::RSAFunction* key_;
  ContentBudget* budget_;
  ReadPackage* nested_ = nullptr;
  std::unique_ptr<ListingSink> nestedSink_;
  std::unique_ptr<PackageStreamReader> nestedReader_;
  bool nestedFeeding_ = false;
};

// Reads the package file in one streaming pass; false (with the error printed) when the file
// cannot be read.
bool ReadPackageStreaming(const std::string& file, const CryptoPP::RSAFunction* key,
                          ReadPackage& package) {
  ContentBudget budget;
  ListingSink sink(package, key, &budget);
  std::string ioError;
  if (!StreamPackageFile(PathFromUtf8(file), key, sink, budget.Limits(), package.status, ioError)) {
    return Refuse(file, ioError);
  }
  return true;
}

// The bundle's two packages among the records read, if they are there.
std::optional<NestedPackages> NestedOf(const ReadPackage& package) {
  return FindNestedPackages(ViewsOf(package.records));
}

void PrintRecordLine(const RecordLine& record, int indent) {
  std::cout << std::string(indent, ' ') << std::setw(12) << record.size << "  "
            << PrintableName(record.name) << "\n";
}

void PrintNested(const ReadPackage& nested, int indent) {
  if (!nested.status.ok()) {
    std::cout << std::string(indent, ' ') << "(" << Describe(nested.status) << ")\n";
    return;
  }
  for (const RecordLine& inner : nested.records) PrintRecordLine(inner, indent);
}

// The records of `package`, and under a bundle's two nested packages their records.
void PrintRecords(const ReadPackage& package) {
  const std::optional<NestedPackages> nested = NestedOf(package);
  for (std::size_t i = 0; i < package.records.size(); ++i) {
    PrintRecordLine(package.records[i], 0);
    if (nested && (i == nested->machine || i == nested->configuration)) {
      PrintNested(package.nested.at(i), 14);
    }
  }
}

// Decides, one record name at a time in the order of the package, whether `extract` can write
// it beside the records before it: names that are unsafe or name no file are refused, as are a
// second name for one file (after normalisation: "./x" is "x", "d//f" is "d/f") and a record
// whose file would lie inside another's.
class ExtractableNames {
 public:
  // Why the record `name` cannot be extracted; nothing when it can.
  std::optional<std::string> Add(std::string_view name) {
    if (auto reason = UnsafeRelativePathReason(name, /*allowBackslash=*/false)) return reason;
    const fs::path file = PathFromUtf8(std::string(name)).lexically_normal();
    if (!file.has_filename() || file == ".") return "the name does not name a file";
    if (const auto same = files_.find(file); same != files_.end()) {
      return "it names the same file as record " + Quoted(same->second);
    }
    for (fs::path parent = file.parent_path(); !parent.empty(); parent = parent.parent_path()) {
      if (const auto outer = files_.find(parent); outer != files_.end()) {
        return "it would lie inside the file of record " + Quoted(outer->second);
      }
    }
    // Paths order element by element, so the files inside this one follow it directly.
    if (const auto inner = files_.upper_bound(file);
        inner != files_.end() && IsInside(inner->first, file)) {
      return "the file of record " + Quoted(inner->second) + " would lie inside its file";
    }
    files_.emplace(file, std::string(name));
    return std::nullopt;
  }

 private:
  static bool IsInside(const fs::path& inner, const fs::path& outer) {
    auto at = inner.begin();
    for (const fs::path& part : outer) {
      if (at == inner.end() || *at != part) return false;
      ++at;
    }
    return at != inner.end();
  }

  std::map<fs::path, std::string> files_;  // normalised relative path to record name
};

// A record name that `extract` refuses, and why.
struct NameProblem {
  std::string_view name;
  std::string reason;
};

// Every name `extract` would refuse.
std::vector<NameProblem> NameProblems(std::span<const RecordView> records) {
  std::vector<NameProblem> problems;
  ExtractableNames names;
  for (const RecordView& record : records) {
    if (auto reason = names.Add(record.name)) problems.push_back({record.name, *reason});
  }
  return problems;
}

bool LoadVerificationKey(const Arguments& parsed, CryptoPP::RSAFunction& key) {
  std::string error;
  const std::string pemFile = parsed.Option("--public-key");
  if (pemFile.empty()) {
    if (LoadBuiltInPublicKey(key, &error)) return true;
    Error("", error);
    return false;
  }
  Bytes pem;
  if (!ReadPackageFile(pemFile, pem)) return false;
  if (LoadPublicKeyPem(std::string(pem.begin(), pem.end()), key, &error)) return true;
  Error(pemFile, error);
  return false;
}

// Prints one line for a verified package, and a warning for each name that `extract` would
// refuse.
bool ReportVerified(const std::string& label, const ReadPackage& package, int indent) {
  if (!package.status.ok()) return Refuse(label, Describe(package.status));
  std::cout << std::string(indent, ' ') << label << ": OK, signature verified, "
            << Counted(package.records.size(), "record") << "\n";
  for (const NameProblem& problem : NameProblems(ViewsOf(package.records))) {
    Warning(label + ": extract would refuse record " + Quoted(problem.name) + ": " +
            problem.reason);
  }
  return true;
}

// Verifies a package and, when it is a bundle, its two nested packages.
bool VerifyTree(const std::string& label, const ReadPackage& outer) {
  if (!ReportVerified(label, outer, 0)) return false;
  const std::optional<NestedPackages> nested = NestedOf(outer);
  if (!nested) return true;
  bool ok = true;
  for (const std::size_t index : {nested->machine, nested->configuration}) {
    ok = ReportVerified(label + " [" + PrintableName(outer.records[index].name) + "]",
                        outer.nested.at(index), 2) &&
         ok;
  }
  return ok;
}

// Folders made for an extraction. Unless kept, they are removed again when this ends; a folder
// that is not empty (something else put files there) stays.
class MadeFolders {
 public:
  MadeFolders() = default;
  MadeFolders(const MadeFolders&) = delete;
  MadeFolders& operator=(const MadeFolders&) = delete;
  ~MadeFolders() {
    if (kept_) return;
    for (auto folder = made_.rbegin(); folder != made_.rend(); ++folder) {
      std::error_code ignored;
      fs::remove(*folder, ignored);
    }
  }

  // Makes `folder` and every missing folder above it, remembering each one made.
  bool Make(fs::path folder, std::error_code& error) {
    folder = folder.lexically_normal();
    if (!folder.has_filename()) folder = folder.parent_path();
    std::vector<fs::path> missing;
    for (fs::path at = folder; !at.empty(); at = at.parent_path()) {
      std::error_code ignored;
      if (fs::exists(fs::symlink_status(at, ignored))) break;
      missing.push_back(at);
      if (at == at.parent_path()) break;
    }
    for (auto at = missing.rbegin(); at != missing.rend(); ++at) {
      if (fs::create_directory(*at, error)) {
        made_.push_back(*at);
      } else if (error) {
        return false;
      }
    }
    return true;
  }

  void Keep() { kept_ = true; }

 private:
  std::vector<fs::path> made_;
  bool kept_ = false;
};

// Why the file that `relative` names cannot be written under `folder`; empty when it can.
std::string FolderProblem(const fs::path& folder, const fs::path& relative, bool overwrite) {
  fs::path at = folder;
  for (auto part = relative.begin(); part != relative.end(); ++part) {
    at /= *part;
    std::error_code ignored;
    const auto status = fs::symlink_status(at, ignored);
    const bool last = std::next(part) == relative.end();
    if (!fs::exists(status)) continue;
    if (!last && !fs::is_directory(status))
      return Utf8FromPath(at) + " is in the way: it is not a folder";
    if (last && !overwrite) return Utf8FromPath(at) + " already exists (use --overwrite)";
    if (last && fs::is_directory(status)) return Utf8FromPath(at) + " is a folder";
  }
  return {};
}

// Writes the records of the package into files staged beside their targets, as they are
// inflated. Each name is checked when its record begins; whatever stops the extraction (a name
// refused, a file that cannot be written, damage found later in the package) leaves the staged
// files to be removed.
class ExtractingSink : public RecordSink {
 public:
  ExtractingSink(const fs::path& folder, bool overwrite, MadeFolders& made, StagedFiles& staged)
      : folder_(folder), overwrite_(overwrite), made_(made), staged_(staged) {}

  bool BeginRecord(std::string_view name, std::uint64_t) override {
    if (auto reason = names_.Add(name)) return Refused(name, *reason);
    const fs::path relative = PathFromUtf8(std::string(name)).lexically_normal();
    if (const std::string problem = FolderProblem(folder_, relative, overwrite_);
        !problem.empty()) {
      return Refused(name, problem);
    }
    const fs::path target = folder_ / relative;
    std::error_code error;
    if (!made_.Make(target.parent_path(), error)) {
      problem_ = {Utf8FromPath(target.parent_path()), "cannot be created: " + error.message()};
      return false;
    }
    file_ = staged_.Begin(target);
    return file_ || Failed();
  }
  bool RecordData(std::span<const std::uint8_t> data) override {
    if (file_->Write(data)) return true;
    problem_ = {{}, file_->error()};
    return false;
  }
  bool EndRecord() override {
    ++records_;
    return staged_.End() || Failed();
  }

  std::size_t records() const { return records_; }
  // The subject (empty: the package) and text of the failure that stopped the extraction.
  std::pair<std::string, std::string> problem_;

 private:
  bool Refused(std::string_view name, const std::string& reason) {
    problem_ = {{}, "record " + Quoted(name) + " refused: " + reason};
    return false;
  }
  bool Failed() {
    problem_ = {{}, staged_.error()};
    return false;
  }

  fs::path folder_;
  bool overwrite_;
  MadeFolders& made_;
  StagedFiles& staged_;
  ExtractableNames names_;
  NewFile* file_ = nullptr;
  std::size_t records_ = 0;
};

// Writes every record under `folder` in one pass over the package, all or nothing: no file and
// no folder is left behind when anything is refused or fails. How many records were written, or
// nothing.
std::optional<std::size_t> ExtractRecords(const std::string& package, const std::string& folderText,
                                          bool overwrite) {
  const fs::path folder = PathFromUtf8(folderText);
  MadeFolders made;  // declared before the staged files, so it is cleaned up after them
  std::error_code error;
  if (!made.Make(folder, error) || !fs::is_directory(folder)) {
    Refuse(folderText, "the folder cannot be created" +
                           (error ? ": " + error.message() : ": something else is there"));
    return std::nullopt;
  }
  StagedFiles staged(StagedFiles::Mode::kManyFiles);  // one descriptor per file would not do
  ExtractingSink sink(folder, overwrite, made, staged);
  PackageReadStatus status;
  std::string ioError;
  ContentBudget noNesting;
  if (!StreamPackageFile(PathFromUtf8(package), nullptr, sink, noNesting.Limits(), status,
                         ioError)) {
    Refuse(package, ioError);
    return std::nullopt;
  }
  if (!sink.problem_.second.empty()) {
    Refuse(sink.problem_.first.empty() ? package : sink.problem_.first, sink.problem_.second);
    return std::nullopt;
  }
  if (!status.ok()) {
    Refuse(package, Describe(status));
    return std::nullopt;
  }
  if (!staged.Commit()) {
    Refuse(package, staged.error());
    return std::nullopt;
  }
  made.Keep();
  return sink.records();
}

}  // namespace

int RunList(const std::vector<std::string>& args) {
  Arguments parsed;
  std::string error;
  if (!ParseArguments(args, {}, {}, parsed, error)) return UsageError("list", error);
  if (parsed.Has("--help")) {
    std::cout << "usage: rigwright list <package>\n\n"
                 "Lists the records of a package (.OrvaneSim, .OrvaneSimCfg, .OrvaneSimBundle)\n"
                 "with their sizes in bytes; for a bundle also the records of its machine and\n"
                 "configuration packages. The signature is not checked; use verify for that.\n";
    return kSuccess;
  }
  if (parsed.positional.size() != 1) return UsageError("list", "needs <package>");
  const std::string& file = parsed.positional[0];
  ReadPackage package;
  if (!ReadPackageStreaming(file, nullptr, package)) return kFailure;
  if (!package.status.ok()) return Error(file, Describe(package.status));
  std::cout << file << ": " << Counted(package.records.size(), "record") << "\n";
  PrintRecords(package);
  return kSuccess;
}

int RunVerify(const std::vector<std::string>& args) {
  Arguments parsed;
  std::string error;
  if (!ParseArguments(args, {"--public-key"}, {}, parsed, error)) return UsageError("verify", error);
  if (parsed.Has("--help")) {
    std::cout << "usage: rigwright verify <package> [--public-key <pem>]\n\n"
                 "Checks a package the way Kelmora does: header, signature, compressed payload\n"
                 "and records; for a bundle also its machine and configuration packages. The key\n"
                 "is the public half of the key this program signs with, unless a PEM public key\n"
                 "is given. Record names that extract would refuse are warned about.\n";
    return kSuccess;
  }
  if (parsed.positional.size() != 1) return UsageError("verify", "needs <package>");
  CryptoPP::RSAFunction key;
  if (!LoadVerificationKey(parsed, key)) return kFailure;
  ReadPackage package;
  if (!ReadPackageStreaming(parsed.positional[0], &key, package)) return kFailure;
  return VerifyTree(parsed.positional[0], package) ? kSuccess : kFailure;
}

int RunExtract(const std::vector<std::string>& args) {
  Arguments parsed;
  std::string error;
  if (!ParseArguments(args, {}, {"--overwrite"}, parsed, error)) return UsageError("extract", error);
  if (parsed.Has("--help")) {
    std::cout << "usage: rigwright extract <package> <folder> [--overwrite]\n\n"
                 "Writes the records of a package as files under <folder>, creating it if\n"
                 "needed. Names that are absolute, have a \"..\" component or a backslash, are\n"
                 "empty, or name the same file as another record are refused, and nothing is\n"
                 "written (no folder either) unless every record can be. Existing files are\n"
                 "kept unless --overwrite is given.\n";
    return kSuccess;
  }
  if (parsed.positional.size() != 2) return UsageError("extract", "needs <package> <folder>");
  const std::optional<std::size_t> records =
      ExtractRecords(parsed.positional[0], parsed.positional[1], parsed.Has("--overwrite"));
  if (!records) return kFailure;
  std::cout << "Extracted " << Counted(*records, "record") << " into " << parsed.positional[1]
            << "\n";
  return kSuccess;
}

}  // namespace rigwright::cli
