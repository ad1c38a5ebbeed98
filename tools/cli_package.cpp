// `rigwright list`, `verify` and `extract`: looking inside packages.
#include <cryptopp/rsa.h>

#include <filesystem>
#include <iomanip>
#include <iostream>
#include <set>

#include "common/path_text.h"
#include "platform/staged_files.h"
#include "tools/cli.h"
#include "wrapper/machine/file_bytes.h"
#include "wrapper/package/package_reader.h"
#include "wrapper/package/signing_key.h"

namespace rigwright::cli {
namespace {

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

std::string Describe(const PackageReadResult& result) {
  return std::string(PackageErrorName(result.error)) + ": " + result.detail;
}

void PrintRecords(const std::vector<FileRecord>& records, int indent) {
  for (const FileRecord& record : records) {
    std::cout << std::string(indent, ' ') << std::setw(12) << record.data.size() << "  "
              << record.name << "\n";
    if (!IsNestedPackageName(record.name)) continue;
    const PackageReadResult nested = ReadPackageUnverified(record.data);
    if (nested.ok()) {
      PrintRecords(nested.records, indent + 14);
    } else {
      std::cout << std::string(indent + 14, ' ') << "(not a readable package: " << Describe(nested)
                << ")\n";
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
  Bytes pem;
  if (!ReadPackageFile(pemFile, pem)) return false;
  if (LoadPublicKeyPem(std::string(pem.begin(), pem.end()), key, &error)) return true;
  Error(pemFile, error);
  return false;
}

// Verifies `bytes` and every package nested in it; prints one line per package.
bool VerifyTree(const std::string& label, const Bytes& bytes, const CryptoPP::RSAFunction& key,
                int indent) {
  const PackageReadResult result = ReadSignedPackage(bytes, key);
  if (!result.ok()) {
    Error(label, Describe(result));
    return false;
  }
  std::cout << std::string(indent, ' ') << label << ": OK, signature verified, "
            << result.records.size() << " record" << (result.records.size() == 1 ? "" : "s")
            << "\n";
  bool ok = true;
  for (const FileRecord& record : result.records) {
    if (IsNestedPackageName(record.name)) {
      ok = VerifyTree(label + " [" + record.name + "]", record.data, key, indent + 2) && ok;
    }
  }
  return ok;
}

// Why a record cannot be written under `folder`; empty when it can.
std::string ExtractionProblem(const std::filesystem::path& folder, const FileRecord& record,
                              bool overwrite) {
  if (auto reason = UnsafeRelativePathReason(record.name, /*allowBackslash=*/false)) return *reason;
  const std::filesystem::path relative = PathFromUtf8(record.name).lexically_normal();
  if (!relative.has_filename()) return "the name does not name a file";
  std::filesystem::path at = folder;
  for (auto part = relative.begin(); part != relative.end(); ++part) {
    at /= *part;
    std::error_code ignored;
    const auto status = std::filesystem::symlink_status(at, ignored);
    const bool last = std::next(part) == relative.end();
    if (!std::filesystem::exists(status)) continue;
    if (!last && !std::filesystem::is_directory(status)) {
      return Utf8FromPath(at) + " is in the way: it is not a folder";
    }
    if (last && !overwrite) return Utf8FromPath(at) + " already exists (use --overwrite)";
    if (last && std::filesystem::is_directory(status)) return Utf8FromPath(at) + " is a folder";
  }
  return {};
}

// Writes every record under `folder`, all or nothing.
bool ExtractRecords(const std::string& package, const std::vector<FileRecord>& records,
                    const std::filesystem::path& folder, bool overwrite) {
  std::set<std::string> files;
  for (const FileRecord& record : records) {
    const std::string problem = ExtractionProblem(folder, record, overwrite);
    if (!problem.empty()) return Refuse(package, "record \"" + record.name + "\" refused: " + problem);
    files.insert(Utf8FromPath(PathFromUtf8(record.name).lexically_normal()));
  }
  for (const std::string& file : files) {
    for (std::filesystem::path parent = PathFromUtf8(file).parent_path(); !parent.empty();
         parent = parent.parent_path()) {
      if (files.count(Utf8FromPath(parent))) {
        return Refuse(package, "record \"" + file + "\" lies inside record \"" +
                                  Utf8FromPath(parent) + "\"");
      }
    }
  }
  StagedFiles staged;
  for (const FileRecord& record : records) {
    const std::filesystem::path target = folder / PathFromUtf8(record.name).lexically_normal();
    std::error_code error;
    std::filesystem::create_directories(target.parent_path(), error);
    if (error || !staged.Stage(target, record.data)) {
      return Refuse(Utf8FromPath(target), error ? error.message() : staged.error());
    }
  }
  if (!staged.Commit()) return Refuse(package, staged.error());
  return true;
}

}  // namespace

int RunList(const std::vector<std::string>& args) {
  Arguments parsed;
  std::string error;
  if (!ParseArguments(args, {}, {}, parsed, error)) return UsageError("list", error);
  if (parsed.Has("--help")) {
    std::cout << "usage: rigwright list <package>\n\n"
                 "Lists the records of a package (.OrvaneSim, .OrvaneSimCfg, .OrvaneSimBundle)\n"
                 "with their sizes in bytes, and the records of the packages nested in it.\n"
                 "The signature is not checked; use verify for that.\n";
    return kSuccess;
  }
  if (parsed.positional.size() != 1) return UsageError("list", "needs <package>");
  const std::string& file = parsed.positional[0];
  Bytes bytes;
  if (!ReadPackageFile(file, bytes)) return kFailure;
  const PackageReadResult result = ReadPackageUnverified(bytes);
  if (!result.ok()) return Error(file, Describe(result));
  std::cout << file << ": " << result.records.size() << " records\n";
  PrintRecords(result.records, 0);
  return kSuccess;
}

int RunVerify(const std::vector<std::string>& args) {
  Arguments parsed;
  std::string error;
  if (!ParseArguments(args, {"--public-key"}, {}, parsed, error)) return UsageError("verify", error);
  if (parsed.Has("--help")) {
    std::cout << "usage: rigwright verify <package> [--public-key <pem>]\n\n"
                 "Checks a package the way Kelmora does: header, signature, compressed payload\n"
                 "and records; then every package nested in it. The key is the public half of\n"
                 "the key this program signs with, unless a PEM public key is given.\n";
    return kSuccess;
  }
  if (parsed.positional.size() != 1) return UsageError("verify", "needs <package>");
  CryptoPP::RSAFunction key;
  if (!LoadVerificationKey(parsed, key)) return kFailure;
  Bytes bytes;
  if (!ReadPackageFile(parsed.positional[0], bytes)) return kFailure;
  return VerifyTree(parsed.positional[0], bytes, key, 0) ? kSuccess : kFailure;
}

int RunExtract(const std::vector<std::string>& args) {
  Arguments parsed;
  std::string error;
  if (!ParseArguments(args, {}, {"--overwrite"}, parsed, error)) return UsageError("extract", error);
  if (parsed.Has("--help")) {
    std::cout << "usage: rigwright extract <package> <folder> [--overwrite]\n\n"
                 "Writes the records of a package as files under <folder>, creating it if\n"
                 "needed. Names that are absolute, have a \"..\" component or a backslash, or are\n"
                 "empty are refused, and nothing is written unless every record can be. Existing\n"
                 "files are kept unless --overwrite is given.\n";
    return kSuccess;
  }
  if (parsed.positional.size() != 2) return UsageError("extract", "needs <package> <folder>");
  const std::string& file = parsed.positional[0];
  Bytes bytes;
  if (!ReadPackageFile(file, bytes)) return kFailure;
  const PackageReadResult result = ReadPackageUnverified(bytes);
  if (!result.ok()) return Error(file, Describe(result));
  const std::filesystem::path folder = PathFromUtf8(parsed.positional[1]);
  std::error_code created;
  std::filesystem::create_directories(folder, created);
  if (created || !std::filesystem::is_directory(folder)) {
    return Error(parsed.positional[1], "the folder cannot be created");
  }
  if (!ExtractRecords(file, result.records, folder, parsed.Has("--overwrite"))) return kFailure;
  std::cout << "Extracted " << result.records.size() << " records into " << parsed.positional[1]
            << "\n";
  return kSuccess;
}

}  // namespace rigwright::cli
