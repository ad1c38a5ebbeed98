// The record that makes a commit of several files into one folder whole across a crash, as a
// database's journal does: it is written and flushed once every new file is complete and named,
// before the first rename, and removed after the last. Whoever next writes into the folder finds
// a record left by a crash and finishes that commit (or, when a new file is gone, undoes it), so
// the folder ends with all of the old files or all of the new ones.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace rigwright {

// One file of a commit: the names in the folder of the complete new file, of its target, and of
// the link that keeps the earlier target while the commit runs.
struct CommitStep {
  std::filesystem::path temporary;
  std::filesystem::path target;
  std::filesystem::path aside;
};

// The record's name in `folder`.
std::filesystem::path CommitRecordPath(const std::filesystem::path& folder);

// Writes the record of `steps` (at least one, all in `folder`) in one step and flushes it and
// the folder. Messages name the first step's target.
bool WriteCommitRecord(const std::filesystem::path& folder, const std::vector<CommitStep>& steps,
                       std::string* error);

// Finishes or undoes the commit whose record a crash left in `folder`; true when there is none.
// False, with `error` naming the folder, when it cannot be completed either way.
bool RecoverCommit(const std::filesystem::path& folder, std::string* error);

// Where a test stops a commit as a crash would: when the environment variable
// RIGWRIGHT_TEST_COMMIT_STOP names `point`, the process ends at once, with no clean-up.
void CommitTestPoint(const char* point);

}  // namespace rigwright
