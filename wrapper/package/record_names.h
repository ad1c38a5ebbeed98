// Record names as files: which names a folder can hold, and which records would be one file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_names.h"

namespace rigwright {

// Record names and data sizes as a listing keeps them: every name in one buffer and 16 bytes per
// record beside it, so that even millions of records cost little more than their names (each at
// most FileRecord::kMaxNameBytes).
class RecordList {
 public:
  void Add(std::string_view name, std::uint64_t dataBytes) {
    names_.append(name);
    entries_.push_back({names_.size(), dataBytes});
  }
  std::size_t size() const { return entries_.size(); }
  std::string_view name(std::size_t index) const {
    const std::size_t begin = index == 0 ? 0 : entries_[index - 1].nameEnd;
    return std::string_view(names_).substr(begin, entries_[index].nameEnd - begin);
  }
  std::uint64_t dataBytes(std::size_t index) const { return entries_[index].dataBytes; }

 private:
  struct Entry {
    std::size_t nameEnd;  // where the record's name ends in names_
    std::uint64_t dataBytes;
  };
  std::string names_;
  std::vector<Entry> entries_;
};

// The path a name stands for, with its parts joined by single '/' and without "." parts: "./x"
// is "x", "d//f" is "d/f".
std::string NormalPath(std::string_view name);

// Why a record of this name cannot be written as a file at all under the file system rule
// `rule` (unsafe, naming no file, or a name that file system cannot have); nothing when it can,
// as far as the name alone tells.
std::optional<std::string> UnwritableNameReason(std::string_view name, FileNameKeyRule rule);

// A record that cannot be extracted, and why: its name alone, or a clash with the record `other`.
struct NameProblem {
  enum Kind { kUnwritable, kSameFile, kInsideOther, kOtherInside };
  std::size_t record = 0;
  std::size_t other = 0;
  Kind kind = kUnwritable;
  // Whether the problem comes from the rule alone: the names are one file, or no file, only
  // where letter case and trailing dots and spaces do not count.
  bool byRule = false;
};

// Every record that cannot be extracted under `rule`, one problem each, in the package's order:
// names that are unwritable, a second name for one file, and a record whose file would lie
// inside another's (the later of the two records is refused). The names are checked all at
// once, sorted as paths, so that besides the list only 8 bytes per record are held, and the
// rule's key of each name that is not its own key (16 bytes and the key).
std::vector<NameProblem> NameProblems(const RecordList& records, FileNameKeyRule rule);

// A record name in double quotes, escaped as PrintableName does.
std::string QuotedName(std::string_view name);

// The problem in words, record names quoted and escaped.
std::string ProblemText(const NameProblem& problem, const RecordList& records,
                        FileNameKeyRule rule);

}  // namespace rigwright
