// `rigwright list`, `verify` and `extract`: looking inside packages.
#include <cryptopp/rsa.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <iomanip>
#include <iostream>
#include <map>
#include <memory>
#include <optional>

#include "common/path_text.h"
#include "platform/file_location.h"
#include "platform/file_names.h"
#include "platform/file_write.h"
#include "platform/made_folders.h"
#include "platform/staged_files.h"
#include "tools/cli.h"
#include "tools/cli_cancel.h"
#include "wrapper/package/input_file.h"
#include "wrapper/package/package_reader.h"
#include "wrapper/package/package_stream.h"
#include "wrapper/package/record_names.h"
#include "wrapper/package/signing_key.h"

namespace rigwright::cli {
namespace {

namespace fs = std::filesystem;

// Prints the error and returns false, for steps that report their own failure.
bool Refuse(const std::string& subject, const std::string& problem) {
  Error(subject, problem);
  return false;
}

// Reads a small file whole (a key); false, with the error printed, when it cannot be read.
bool ReadSmallFile(const std::string& file, std::string& text) {
  constexpr std::uint64_t kMaxBytes = 1 << 20;
  InputFile in;
  std::string error;
  if (!in.Open(PathFromUtf8(file), error)) return Refuse(file, error);
  if (in.size() > kMaxBytes) return Refuse(file, "is too large to be a key file");
  text.resize(static_cast<std::size_t>(in.size()));
  if (!in.Read({reinterpret_cast<std::uint8_t*>(text.data()), text.size()}, error)) {
    return Refuse(file, error);
  }
  return true;
}

std::string Counted(std::size_t count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

// How the package reader begins the account of a file shorter than its header promises.
constexpr std::string_view kTruncatedPrefix = "truncated (";

// What is wrong, in words first: a file whose header does not hold is no package at all; one
// whose signature fails was changed or signed with another key; anything later is damage. The
// broken rule's name follows for those who look it up.
std::string Describe(const PackageReadStatus& status) {
  std::string kind = "damaged package: ";
  switch (status.error) {
    case PackageError::kLengthMismatch:
      // A package cut short (a download or copy that stopped) is still a package.
      if (status.detail.starts_with(kTruncatedPrefix)) return status.detail;
      [[fallthrough]];
    case PackageError::kTooShort:
    case PackageError::kReservedNotZero:
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

// What reading a package found: its outcome and its records' names and sizes. Records that may
// be a bundle's packages are read as packages themselves on the way (one level down only), each
// with its own limits; which of them are is known once all names are.
struct ReadPackage {
  PackageReadStatus status;
  RecordList records;
  std::map<std::size_t, ReadPackage> nested;  // by record index
};

class ListingSink : public RecordSink {
 public:
  ListingSink(ReadPackage& into, const CryptoPP::RSAFunction* key, bool readNested)
      : into_(into), key_(key), readNested_(readNested) {}

  bool BeginRecord(std::string_view name, std::uint64_t dataBytes) override {
    into_.records.Add(name, dataBytes);
    if (readNested_ && IsNestedCandidate(name)) {
      nested_ = &into_.nested[into_.records.size() - 1];
      nestedSink_ = std::make_unique<ListingSink>(*nested_, key_, false);
      nestedReader_ = std::make_unique<PackageStreamReader>(dataBytes, key_, *nestedSink_);
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
    nestedReader_.reset();
    nestedSink_.reset();
    return true;
  }

 private:
  // Whether the record `name`, just added, may be one of a bundle's two packages. Names ascend,
  // so every name between "<stem>.OrvaneSim" and "<stem>.OrvaneSimCfg" begins with the first:
  // a machine package whose name does not begin the current one has no partner, and what was
  // read of it is let go. So besides a pair, only machine packages whose names begin each
  // other's are held, however many records are named like packages.
  bool IsNestedCandidate(std::string_view name) {
    while (!unpaired_.empty() && !name.starts_with(into_.records.name(unpaired_.back()))) {
      into_.nested.erase(unpaired_.back());
      unpaired_.pop_back();
    }
    if (name.ends_with(".OrvaneSim")) {
      unpaired_.push_back(into_.records.size() - 1);
      return true;
    }
    if (!name.ends_with(".OrvaneSimCfg")) return false;
    const std::string_view machine = name.substr(0, name.size() - 3);
    const auto partner = std::find_if(unpaired_.begin(), unpaired_.end(), [&](std::size_t index) {
      return into_.records.name(index) == machine;
    });
    if (partner == unpaired_.end()) return false;
    unpaired_.erase(partner);
    return true;
  }

  ReadPackage& into_;
  const CryptoPP::RSAFunction* key_;
  bool readNested_;
  std::vector<std::size_t> unpaired_;  // machine packages, each name beginning the next one's
  ReadPackage* nested_ = nullptr;
  std::unique_ptr<ListingSink> nestedSink_;
  std::unique_ptr<PackageStreamReader> nestedReader_;
  bool nestedFeeding_ = false;
};

// Reads the package file in one streaming pass; false (with the error printed) when the file
// cannot be read.
bool ReadPackageStreaming(const std::string& file, const CryptoPP::RSAFunction* key,
                          ReadPackage& package) {
  ListingSink sink(package, key, /*readNested=*/true);
  std::string ioError;
  if (!StreamPackageFile(PathFromUtf8(file), key, sink, kStreamReadLimits, package.status,
                         ioError)) {
    return Refuse(file, ioError);
  }
  return true;
}

// The bundle's two packages among the records read, if they are there.
std::optional<NestedPackages> NestedOf(const ReadPackage& package) {
  return FindNestedPackages(package.records.size(),
                            [&](std::size_t index) { return package.records.name(index); });
}

void PrintRecordLine(const RecordList& records, std::size_t index, int indent) {
  std::cout << std::string(indent, ' ') << std::setw(12) << records.dataBytes(index) << "  "
            << PrintableName(records.name(index)) << "\n";
}

void PrintNested(const ReadPackage& nested, int indent) {
  if (!nested.status.ok()) {
    std::cout << std::string(indent, ' ') << "(" << Describe(nested.status) << ")\n";
    return;
  }
  for (std::size_t i = 0; i < nested.records.size(); ++i) {
    PrintRecordLine(nested.records, i, indent);
  }
}

// The records of `package`, and under a bundle's two nested packages their records.
void PrintRecords(const ReadPackage& package) {
  const std::optional<NestedPackages> nested = NestedOf(package);
  for (std::size_t i = 0; i < package.records.size(); ++i) {
    PrintRecordLine(package.records, i, 0);
    if (nested && (i == nested->machine || i == nested->configuration)) {
      PrintNested(package.nested.at(i), 14);
    }
  }
}

bool LoadVerificationKey(const Arguments& parsed, CryptoPP::RSAFunction& key) {
  std::string error;
  const std::string pemFile = parsed.Option("--public-key");
  if (pemFile.empty()) {
    if (LoadBuiltInPublicKey(key, &error)) return true;
    Error("", error);
    return false;
  }
  std::string pem;
  if (!ReadSmallFile(pemFile, pem)) return false;
  if (LoadPublicKeyPem(pem, key, &error)) return true;
  Error(pemFile, error);
  return false;
}

// Prints one line for a verified package, and a warning for each name that `extract` would
// refuse. The names are checked by Windows' rule on every system: a package travels, and two
// names that are one file there deserve a warning wherever the package is made or checked.
bool ReportVerified(const std::string& label, const ReadPackage& package, int indent) {
  if (!package.status.ok()) return Refuse(label, Describe(package.status));
  std::cout << std::string(indent, ' ') << label << ": OK, signature verified, "
            << Counted(package.records.size(), "record") << "\n";
  for (const NameProblem& problem : NameProblems(package.records, WindowsFileNameKey)) {
    Warning(label + (problem.byRule ? ": extract on Windows" : ": extract") +
            " would refuse record " + QuotedName(package.records.name(problem.record)) + ": " +
            ProblemText(problem, package.records, WindowsFileNameKey));
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
    ok = ReportVerified(label + " [" + PrintableName(outer.records.name(index)) + "]",
                        outer.nested.at(index), 2) &&
         ok;
  }
  return ok;
}

// Why the file that `relative` names cannot be written under `folder`; empty when it can. No
// record is written through a link or junction on its way, wherever it leads: the platform tells
// them (the library's symlink_status follows both on Windows), and a folder whose real place is
// outside `folder` is refused too, whatever made it so.
std::string FolderProblem(const fs::path& folder, const fs::path& relative, bool overwrite) {
  const fs::path within = ResolvedLocation(folder, nullptr);
  fs::path at = folder;
  for (auto part = relative.begin(); part != relative.end(); ++part) {
    at /= *part;
    const bool last = std::next(part) == relative.end();
    if (!last && IsLinkOrJunction(at))
      return Utf8FromPath(at) + " is in the way: it is a link, not a folder";
    std::error_code ignored;
    const auto status = fs::symlink_status(at, ignored);
    if (!fs::exists(status)) continue;
    if (!last && !fs::is_directory(status))
      return Utf8FromPath(at) + " is in the way: it is not a folder";
    if (const fs::path real = last || within.empty() ? fs::path() : ResolvedLocation(at, nullptr);
        !real.empty() && !LiesWithin(real, within)) {
      return Utf8FromPath(at) + " is in the way: it leads out of the folder, not a folder in it";
    }
    if (last && !overwrite) return Utf8FromPath(at) + " already exists (use --overwrite)";
    if (last && fs::is_directory(status)) return Utf8FromPath(at) + " is a folder";
  }
  return {};
}

// Writes the records of the package into files staged beside their targets, as they are
// inflated. Each name is checked when its record begins, and the names together once all are
// known; whatever stops the extraction (a name refused, a file that cannot be written, damage
// found later in the package, Ctrl-C) leaves the staged files to be removed.
class ExtractingSink : public RecordSink {
 public:
  static constexpr const char* kCancelled = "the extraction was cancelled; nothing was written";

  ExtractingSink(const fs::path& folder, bool overwrite, MadeFolders& made, StagedFiles& staged)
      : folder_(folder), overwrite_(overwrite), made_(made), staged_(staged) {}

  bool BeginRecord(std::string_view name, std::uint64_t dataBytes) override {
    if (CancelRequested()) return Cancelled();
    names_.Add(name, dataBytes);
    if (auto reason = UnwritableNameReason(name, FileNameKey)) return Refused(name, *reason);
    const fs::path relative = PathFromUtf8(NormalPath(name));
    if (const std::string problem = FolderProblem(folder_, relative, overwrite_);
        !problem.empty()) {
      // What is in the way may be a folder made for an earlier record: then the names clash.
      if (!NamesClash()) Refused(name, problem);
      return false;
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
    if (CancelRequested()) return Cancelled();
    if (file_->Write(data)) return true;
    problem_ = {{}, file_->error()};
    return false;
  }
  bool EndRecord() override { return staged_.End() || Failed(); }

  // Refuses the first record whose name clashes with another's; true when one does.
  bool NamesClash() {
    const std::vector<NameProblem> problems = NameProblems(names_, FileNameKey);
    if (problems.empty()) return false;
    Refused(names_.name(problems.front().record),
            ProblemText(problems.front(), names_, FileNameKey));
    return true;
  }

  std::size_t records() const { return names_.size(); }
  // The subject (empty: the package) and text of the failure that stopped the extraction.
  std::pair<std::string, std::string> problem_;

 private:
  bool Refused(std::string_view name, const std::string& reason) {
    problem_ = {{}, "record " + QuotedName(name) + " refused: " + reason};
    return false;
  }
  bool Failed() {
    problem_ = {{}, staged_.error()};
    return false;
  }
  bool Cancelled() {
    problem_ = {{}, kCancelled};
    return false;
  }

  fs::path folder_;
  bool overwrite_;
  MadeFolders& made_;
  StagedFiles& staged_;
  RecordList names_;
  NewFile* file_ = nullptr;
};

// Writes every record under `folder` in one pass over the package, all or nothing: no file and
// no folder is left behind when anything is refused or fails, or Ctrl-C, SIGTERM or SIGHUP stops
// it. How many records were written, or nothing. With a `key`, the signature is checked in the
// same read and `signatureVerifies` says whether it did; the records are written either way.
std::optional<std::size_t> ExtractRecords(const std::string& package, const std::string& folderText,
                                          bool overwrite, const CryptoPP::RSAFunction* key,
                                          bool& signatureVerifies) {
  CancelOnSignals cancel;
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
  if (!StreamPackageFile(PathFromUtf8(package), key, sink, kStreamReadLimits, status, ioError,
                         &signatureVerifies)) {
    Refuse(package, ioError);
    return std::nullopt;
  }
  if (sink.problem_.second.empty() && status.ok()) sink.NamesClash();
  if (sink.problem_.second.empty() && CancelRequested()) {
    sink.problem_ = {{}, ExtractingSink::kCancelled};
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

// Runs `one` for each package named, going on after a failure; kFailure if any failed.
int ForEachPackage(const std::vector<std::string>& files,
                   const std::function<bool(const std::string&)>& one) {
  bool ok = true;
  for (const std::string& file : files) ok = one(file) && ok;
  return ok ? kSuccess : kFailure;
}

int RunList(const std::vector<std::string>& args) {
  Arguments parsed;
  int status = kSuccess;
  if (!ParseArguments("list", args, {}, {}, parsed, status)) return status;
  if (parsed.Has("--help")) {
    std::cout << "usage: rigwright list <package>...\n\n"
                 "Lists the records of each package (.OrvaneSim, .OrvaneSimCfg, .OrvaneSimBundle)\n"
                 "with their sizes in bytes; for a bundle also the records of its machine and\n"
                 "configuration packages. The signature is not checked; use verify for that.\n";
    return kSuccess;
  }
  if (parsed.positional.empty()) return UsageError("list", "needs <package>");
  return ForEachPackage(parsed.positional, [](const std::string& file) {
    ReadPackage package;
    if (!ReadPackageStreaming(file, nullptr, package)) return false;
    if (!package.status.ok()) return Refuse(file, Describe(package.status));
    std::cout << file << ": " << Counted(package.records.size(), "record") << "\n";
    PrintRecords(package);
    return true;
  });
}

int RunVerify(const std::vector<std::string>& args) {
  Arguments parsed;
  int status = kSuccess;
  if (!ParseArguments("verify", args, {"--public-key"}, {}, parsed, status)) return status;
  if (parsed.Has("--help")) {
    std::cout << "usage: rigwright verify <package>... [--public-key <pem>]\n\n"
                 "Checks each package the way Kelmora does: header, signature, compressed payload\n"
                 "and records; for a bundle also its machine and configuration packages. The key\n"
                 "is the public half of the key this program signs with, unless a PEM public key\n"
                 "is given. Record names that extract would refuse are warned about, on every\n"
                 "system also those it would refuse on Windows. Exits 1 if any package fails.\n";
    return kSuccess;
  }
  if (parsed.positional.empty()) return UsageError("verify", "needs <package>");
  CryptoPP::RSAFunction key;
  if (!LoadVerificationKey(parsed, key)) return kFailure;
  return ForEachPackage(parsed.positional, [&key](const std::string& file) {
    ReadPackage package;
    return ReadPackageStreaming(file, &key, package) && VerifyTree(file, package);
  });
}

int RunExtract(const std::vector<std::string>& args) {
  Arguments parsed;
  int status = kSuccess;
  if (!ParseArguments("extract", args, {"--public-key"}, {"--overwrite", "--no-verify"}, parsed,
                      status)) {
    return status;
  }
  if (parsed.Has("--help")) {
    std::cout << "usage: rigwright extract <package> <folder> [--overwrite] [--public-key <pem>]\n"
                 "                         [--no-verify]\n\n"
                 "Writes the records of a package as files under <folder>, creating it if\n"
                 "needed. Names that are absolute, have a \"..\" component or a backslash, are\n"
                 "empty, or name the same file as another record are refused, and nothing is\n"
                 "written (no folder either) unless every record can be. On Windows letter case\n"
                 "and the dots and spaces that end a name do not tell files apart, and a name\n"
                 "must be UTF-8 text. Existing files are kept unless --overwrite is given.\n"
                 "A package whose signature does not verify (with the key as for verify) is\n"
                 "extracted with a warning; --no-verify does not check it.\n";
    return kSuccess;
  }
  if (parsed.positional.size() != 2) return UsageError("extract", "needs <package> <folder>");
  const bool check = !parsed.Has("--no-verify");
  CryptoPP::RSAFunction key;
  if (check && !LoadVerificationKey(parsed, key)) return kFailure;
  bool signatureVerifies = true;
  const std::optional<std::size_t> records =
      ExtractRecords(parsed.positional[0], parsed.positional[1], parsed.Has("--overwrite"),
                     check ? &key : nullptr, signatureVerifies);
  if (!records) return kFailure;
  // Extract writes what a package holds whatever its signature, but whoever extracts should
  // know it was changed or made by someone else.
  if (!signatureVerifies) {
    const PackageReadStatus unsigned_{PackageError::kBadSignature,
                                      "the signature does not match the payload", {}};
    Warning(parsed.positional[0] + ": " + Describe(unsigned_) + "; extracted anyway");
  }
  std::cout << "Extracted " << Counted(*records, "record") << " into " << parsed.positional[1]
            << "\n";
  return kSuccess;
}

}  // namespace rigwright::cli
