#include "common/support_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <wx/datetime.h>
#include <wx/utils.h>

#include <map>
#include <regex>
#include <thread>

#include "common/testing/captured_support_log.h"
#include "common/version.h"
#include "platform/log_file.h"

namespace rigwright {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

TEST(SupportLogTest, EachLineCarriesTimeProgramVersionProcessLevelAndOneLineOfText) {
  struct Case {
    LogLevel level;
    std::string text;
    std::string expected;  // level and text as written
  };
  const std::vector<Case> cases = {
      {LogLevel::kInfo, "engine /opt/x/libMavriloDll.so", "info: engine /opt/x/libMavriloDll.so"},
      {LogLevel::kWarning, "two\nlines\r", "warning: two\\nlines\\r"},
      {LogLevel::kError, "stray \xff byte, J\xc3\xbcrgen", "error: stray ? byte, J\xc3\xbcrgen"},
  };
  const auto now = [] {
    return wxDateTime::UNow().Format("%Y-%m-%dT%H:%M:%S.%l", wxDateTime::UTC);
  };
  CapturedSupportLog log("RigwrightWrapper");
  const wxString before = now();
  for (const Case& c : cases) Log(c.level, c.text);
  const wxString after = now();

  const std::vector<std::string> lines = Lines(log.Text());
  ASSERT_EQ(lines.size(), cases.size());
  const std::string prefix = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z RigwrightWrapper )" +
                             std::regex_replace(kProductVersion, std::regex(R"(\.)"), R"(\.)") +
                             " pid=" + std::to_string(wxGetProcessId()) + " ";
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_TRUE(std::regex_match(lines[i].substr(0, lines[i].size() - cases[i].expected.size()),
                                 std::regex(prefix)))
        << lines[i];
    EXPECT_THAT(lines[i], testing::EndsWith(cases[i].expected));
    const wxString time = lines[i].substr(0, before.size());
    EXPECT_TRUE(before <= time && time <= after) << lines[i] << " not between " << before;
  }
}

// Tests run as root, so a log that cannot be written is one whose folder cannot exist.
TEST(SupportLogTest, ALogThatCannotBeWrittenDropsItsLinesAndNothingFails) {
  TestFolder folder;
  const std::filesystem::path file = folder.Write("file", "not a folder");
  for (const std::filesystem::path& place :
       {file / "rigwright.log", file / "sub" / "rigwright.log"}) {
    OpenSupportLogAt("RigwrightTest", place);
    EXPECT_NO_THROW(LogError("the export failed"));
  }
  CloseSupportLog();
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"file"});
  EXPECT_EQ(std::filesystem::file_size(file), std::string_view("not a folder").size());
}

TEST(SupportLogTest, AFullLogIsKeptOnceAsDotOneAndANewOneBegun) {
  CapturedSupportLog log;
  constexpr std::uintmax_t kCap = 300;  // three or four lines
  SetSupportLogSizeCap(kCap);
  for (int i = 0; i < 12; ++i) LogInfo("line " + std::to_string(i));
  SetSupportLogSizeCap(kSupportLogSizeCap);

  std::filesystem::path kept = log.file();
  kept += ".1";
  std::ifstream keptFile(kept);
  std::ostringstream keptText;
  keptText << keptFile.rdbuf();
  std::vector<std::string> lines = Lines(keptText.str());
  const std::vector<std::string> current = Lines(log.Text());
  EXPECT_LE(std::filesystem::file_size(log.file()), kCap);
  EXPECT_LE(std::filesystem::file_size(kept), kCap);
  lines.insert(lines.end(), current.begin(), current.end());
  // The newest lines, in order and none lost between the two files; the oldest are gone.
  ASSERT_GE(lines.size(), 4u);
  ASSERT_LT(lines.size(), 12u);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_THAT(lines[i], testing::EndsWith("info: line " + std::to_string(12 - lines.size() + i)));
  }
}

// Each writer opens the file on its own, as another process would: their lines neither mix nor go.
TEST(SupportLogTest, WritersAppendingAtOnceLoseNoLineAndMixNone) {
  TestFolder folder;
  const std::filesystem::path file = folder.path() / "rigwright.log";
  constexpr int kWriters = 4, kLines = 200;
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&file, w] {
      const std::string line = "writer " + std::to_string(w) + std::string(100, 'x') + "\n";
      for (int i = 0; i < kLines; ++i) AppendLogLine(file, line, kSupportLogSizeCap);
    });
  }
  for (std::thread& writer : writers) writer.join();

  std::ostringstream text;
  text << std::ifstream(file, std::ios::binary).rdbuf();
  std::map<std::string, int> counts;
  for (const std::string& line : Lines(text.str())) ++counts[line];
  EXPECT_EQ(counts.size(), std::size_t{kWriters});
  for (const auto& [line, count] : counts) EXPECT_EQ(count, kLines) << line;
}

}  // namespace
}  // namespace rigwright
