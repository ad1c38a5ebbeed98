// Which record names cannot be extracted, under POSIX's rule and, on every system, Windows'.
#include "wrapper/package/record_names.h"

#include <gtest/gtest.h>

namespace rigwright {
namespace {

std::optional<std::string> BytesKey(std::string_view path, std::string&) {
  return std::string(path);
}

struct Case {
  std::vector<std::string> names;
  FileNameKeyRule rule;
  std::vector<NameProblem> expected;
  std::string firstText;  // part of the first problem's text
};

TEST(RecordNamesTest, NamesOfOneFileAreFoundUnderTheRuleGiven) {
  using P = NameProblem;
  const FileNameKeyRule windows = WindowsFileNameKey;
  const std::string notUtf8 = "not UTF-8 text, which a file name on Windows must be";
  const std::string folded = "(letter case and the dots and spaces that end a name do not count)";
  const std::vector<Case> cases = {
      {{"A.txt", "a.txt"}, windows, {{1, 0, P::kSameFile, true}}, "record \"A.txt\" " + folded},
      {{"A.txt", "a.txt"}, BytesKey, {}, ""},
      {{"x", "x."}, windows, {{1, 0, P::kSameFile, true}}, "same file as record \"x\""},
      {{"y", "y "}, windows, {{1, 0, P::kSameFile, true}}, ""},
      {{"D/x", "d/x"}, windows, {{1, 0, P::kSameFile, true}}, ""},
      {{"D. /x", "d/x"}, windows, {{1, 0, P::kSameFile, true}}, ""},
      {{"D/x", "d"}, windows, {{1, 0, P::kOtherInside, true}}, "\"D/x\" would lie inside its"},
      {{"\xC3\xA4.stl", "\xC3\x84.STL"}, windows, {{1, 0, P::kSameFile, true}}, ""},
      {{"./x", "x"}, windows, {{1, 0, P::kSameFile, false}}, "record \"./x\""},
      {{"./x", "x"}, BytesKey, {{1, 0, P::kSameFile, false}}, ""},
      {{"a", "a/b"}, BytesKey, {{1, 0, P::kInsideOther, false}}, ""},
      {{"bad\xFF", "ok"}, windows, {{0, 0, P::kUnwritable, true}}, notUtf8},
      {{"\xED\xA0\x80"}, windows, {{0, 0, P::kUnwritable, true}}, notUtf8},
      {{"bad\xFF", "ok"}, BytesKey, {}, ""},
      {{"d/ ./x"}, windows, {{0, 0, P::kUnwritable, true}}, "only dots and spaces"},
      {{"a\\b"}, windows, {{0, 0, P::kUnwritable, false}}, "backslash"},
  };
  for (const Case& test : cases) {
    RecordList records;
    for (const std::string& name : test.names) records.Add(name, 0);
    const std::vector<NameProblem> problems = NameProblems(records, test.rule);
    const std::string label = test.names.front() + " | " + test.names.back();
    ASSERT_EQ(problems.size(), test.expected.size()) << label;
    for (std::size_t i = 0; i < problems.size(); ++i) {
      EXPECT_EQ(problems[i].record, test.expected[i].record) << label;
      EXPECT_EQ(problems[i].other, test.expected[i].other) << label;
      EXPECT_EQ(problems[i].kind, test.expected[i].kind) << label;
      EXPECT_EQ(problems[i].byRule, test.expected[i].byRule) << label;
    }
    if (!problems.empty()) {
      const std::string text = ProblemText(problems.front(), records, test.rule);
      EXPECT_NE(text.find(test.firstText), std::string::npos) << label << ": " << text;
    }
  }
}

}  // namespace
}  // namespace rigwright
