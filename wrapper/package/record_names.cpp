#include "wrapper/package/record_names.h"

#include <algorithm>

#include "wrapper/package/package_reader.h"

namespace rigwright {
namespace {

// Orders paths part by part, as folders nest: '/' sorts before every other byte, so the paths
// inside a folder follow it directly.
bool PathBefore(std::string_view a, std::string_view b) {
  const auto rank = [](char c) { return c == '/' ? 0 : static_cast<unsigned char>(c) + 1; };
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [&](char x, char y) { return rank(x) < rank(y); });
}

// Whether `inner` is `outer` or a path inside it.
bool Holds(std::string_view outer, std::string_view inner) {
  return inner == outer || (inner.starts_with(outer) && inner[outer.size()] == '/');
}

// Whether records `record` and `other` clash only under a rule that folds names: their paths,
// byte for byte, neither are one nor lie inside each other.
bool ClashByRule(const RecordList& records, std::size_t record, std::size_t other) {
  const std::string a = NormalPath(records.name(record));
  const std::string b = NormalPath(records.name(other));
  return !Holds(a, b) && !Holds(b, a);
}

// Why no file system can hold a record of this name (unsafe, or naming no file).
std::optional<std::string> UnusableNameReason(std::string_view name) {
  if (auto reason = UnsafeRelativePathReason(name, /*allowBackslash=*/false)) return reason;
  const std::size_t last = name.rfind('/');
  const std::string_view file = last == std::string_view::npos ? name : name.substr(last + 1);
  if (file.empty() || file == ".") return "the name does not name a file";
  return std::nullopt;
}

}  // namespace

std::string NormalPath(std::string_view name) {
  std::string path;
  for (std::size_t start = 0; start <= name.size();) {
    const std::size_t end = std::min(name.find('/', start), name.size());
    const std::string_view part = name.substr(start, end - start);
    if (!part.empty() && part != ".") {
      if (!path.empty()) path += '/';
      path += part;
    }
    start = end + 1;
  }
  return path;
}

std::optional<std::string> UnwritableNameReason(std::string_view name, FileNameKeyRule rule) {
  if (auto reason = UnusableNameReason(name)) return reason;
  std::string problem;
  if (!rule(NormalPath(name), problem)) return problem;
  return std::nullopt;
}

std::vector<NameProblem> NameProblems(const RecordList& records, FileNameKeyRule rule) {
  constexpr std::uint64_t kKeyed = std::uint64_t{1} << 63;
  std::vector<NameProblem> problems;
  // A record index (the name is its own key), or kKeyed and the index of the key in `keyed`.
  std::vector<std::uint64_t> paths;
  paths.reserve(records.size());
  RecordList keyed;  // the keys that differ from their names, each with its record index
  std::string unused;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const std::string_view name = records.name(i);
    std::optional<std::string> key;
    if (UnusableNameReason(name)) {
      problems.push_back({i, i, NameProblem::kUnwritable, false});
    } else if (key = rule(NormalPath(name), unused); !key) {
      problems.push_back({i, i, NameProblem::kUnwritable, true});
    } else if (*key == name) {
      paths.push_back(i);
    } else {
      paths.push_back(kKeyed | keyed.size());
      keyed.Add(*key, i);
    }
  }
  const auto path = [&](std::uint64_t key) {
    return key & kKeyed ? keyed.name(key & ~kKeyed) : records.name(key);
  };
  const auto record = [&](std::uint64_t key) {
    return key & kKeyed ? static_cast<std::size_t>(keyed.dataBytes(key & ~kKeyed)) : key;
  };
  std::sort(paths.begin(), paths.end(), [&](std::uint64_t a, std::uint64_t b) {
    return PathBefore(path(a), path(b)) || (path(a) == path(b) && record(a) < record(b));
  });
  std::vector<std::uint64_t> folders;  // the paths that the current one may lie inside
  for (const std::uint64_t at : paths) {
    const std::string_view inner = path(at);
    while (!folders.empty() && !Holds(path(folders.back()), inner)) folders.pop_back();
    if (folders.empty()) {
      folders.push_back(at);
      continue;
    }
    const std::size_t self = record(at), outer = record(folders.back());
    const bool byRule = ClashByRule(records, self, outer);
    if (inner == path(folders.back())) {
      problems.push_back({self, outer, NameProblem::kSameFile, byRule});
      continue;
    }
    problems.push_back(self > outer ? NameProblem{self, outer, NameProblem::kInsideOther, byRule}
                                    : NameProblem{outer, self, NameProblem::kOtherInside, byRule});
    folders.push_back(at);
  }
  std::stable_sort(problems.begin(), problems.end(),
                   [](const NameProblem& a, const NameProblem& b) { return a.record < b.record; });
  problems.erase(
      std::unique(problems.begin(), problems.end(),
                  [](const NameProblem& a, const NameProblem& b) { return a.record == b.record; }),
      problems.end());
  return problems;
}

std::string QuotedName(std::string_view name) { return "\"" + PrintableName(name) + "\""; }

std::string ProblemText(const NameProblem& problem, const RecordList& records,
                        FileNameKeyRule rule) {
  const std::string other = QuotedName(records.name(problem.other));
  const std::string folded =
      problem.byRule ? " (letter case and the dots and spaces that end a name do not count)" : "";
  switch (problem.kind) {
    case NameProblem::kUnwritable:
      return *UnwritableNameReason(records.name(problem.record), rule);
    case NameProblem::kSameFile:
      return "it names the same file as record " + other + folded;
    case NameProblem::kInsideOther:
      return "it would lie inside the file of record " + other + folded;
    case NameProblem::kOtherInside:
      return "the file of record " + other + " would lie inside its file" + folded;
  }
  return {};
}

}  // namespace rigwright
