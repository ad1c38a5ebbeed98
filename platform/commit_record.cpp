#include "platform/commit_record.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>

#include "common/path_text.h"
#include "platform/file_write.h"
#include "platform/staged_files.h"

namespace rigwright {
namespace {

// "rigwright commit 1\n", then three NUL-ended file names per step, then "end\n": a record
// without its end was not written by us and is not acted upon.
constexpr std::string_view kHead = "rigwright commit 1\n";
constexpr std::string_view kEnd = "end\n";

bool Exists(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

// Only plain names: a record cannot make us touch anything outside its folder, and the
// temporary and aside names must be ours.
bool ParseRecord(const std::string& text, std::vector<CommitStep>& steps) {
  if (text.size() < kHead.size() + kEnd.size() || text.compare(0, kHead.size(), kHead) != 0 ||
      text.compare(text.size() - kEnd.size(), kEnd.size(), kEnd) != 0) {
    return false;
  }
  std::vector<std::string> names;
  const std::string body = text.substr(kHead.size(), text.size() - kHead.size() - kEnd.size());
  for (std::size_t at = 0; at < body.size();) {
    const std::size_t end = body.find('\0', at);
    if (end == std::string::npos) return false;
    names.push_back(body.substr(at, end - at));
    at = end + 1;
  }
  if (names.empty() || names.size() % 3 != 0) return false;
  for (std::size_t i = 0; i < names.size(); i += 3) {
    const std::string& target = names[i + 1];
    if (!IsOurTemporaryName(names[i]) || !IsOurTemporaryName(names[i + 2]) || target.empty() ||
        target == "." || target == ".." || target.find_first_of("/\\") != std::string::npos) {
      return false;
    }
    steps.push_back({PathFromUtf8(names[i]), PathFromUtf8(target), PathFromUtf8(names[i + 2])});
  }
  return true;
}

void RemoveQuietly(const std::filesystem::path& path) {
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
}

}  // namespace

std::filesystem::path CommitRecordPath(const std::filesystem::path& folder) {
  return folder / ".rigwright-commit";
}

bool WriteCommitRecord(const std::filesystem::path& folder, const std::vector<CommitStep>& steps,
                       std::string* error) {
  std::string text(kHead);
  for (const CommitStep& step : steps) {
    for (const auto* name : {&step.temporary, &step.target, &step.aside}) {
      text += Utf8FromPath(name->filename());
      text += '\0';
    }
  }
  text += kEnd;
  // Written whole under another name and renamed: a record is either all there or absent.
  const std::filesystem::path record = CommitRecordPath(folder);
  const std::filesystem::path temporary = TemporaryPathBeside(record, ".tmp");
  NewFile file;
  // Messages name a file the user asked for, never one of ours.
  const std::filesystem::path shownAs = folder / steps.front().target.filename();
  if (!file.CreateTemporary(temporary, shownAs) ||
      !file.Write({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}) ||
      !file.Finish()) {
    *error = file.error();
    return false;
  }
  if (!ReplaceFileAtomically(temporary, record, error)) {
    RemoveQuietly(temporary);
    *error = "cannot replace " + Utf8FromPath(shownAs) + error->substr(error->rfind(':'));
    return false;
  }
  return true;
}

bool RecoverCommit(const std::filesystem::path& folder, std::string* error) {
  const std::filesystem::path record = CommitRecordPath(folder);
  if (!Exists(record)) return true;
  std::ifstream in(record, std::ios::binary);
  const std::string text(std::istreambuf_iterator<char>(in), {});
  std::vector<CommitStep> steps;
  if (!in.bad() && ParseRecord(text, steps)) {
    // Every new file was complete when the record was written; one renamed already has left its
    // temporary name. Only a new file gone from both names (removed by hand) forbids going on.
    bool whole = true;
    for (const CommitStep& step : steps) {
      whole = whole && (Exists(folder / step.temporary) || Exists(folder / step.target));
    }
    for (const CommitStep& step : steps) {
      const std::filesystem::path temporary = folder / step.temporary;
      const std::filesystem::path aside = folder / step.aside;
      const std::filesystem::path target = folder / step.target;
      if (whole) {
        if (Exists(temporary) && !ReplaceFileAtomically(temporary, target, error)) {
          *error = "cannot finish an interrupted commit in " + Utf8FromPath(folder) + ": " + *error;
          return false;
        }
      } else {
        const bool placed = !Exists(temporary);
        RemoveQuietly(temporary);
        std::string ignored;
        if (Exists(aside)) {
          ReplaceFileAtomically(aside, target, &ignored);
        } else if (placed) {
          RemoveQuietly(target);  // nothing stood there before
        }
      }
      RemoveQuietly(aside);
    }
  }
  std::string ignored;
  SyncFolder(folder, &ignored);
  RemoveQuietly(record);
  SyncFolder(folder, &ignored);
  return true;
}

void CommitTestPoint(const char* point) {
  const char* stop = std::getenv("RIGWRIGHT_TEST_COMMIT_STOP");
  // Like a kill: no destructor, no clean-up; what the system closes with the process goes.
  if (stop && std::strcmp(stop, point) == 0) std::_Exit(86);
}

}  // namespace rigwright
