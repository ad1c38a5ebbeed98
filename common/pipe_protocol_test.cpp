#include "common/pipe_protocol.h"

#include <gtest/gtest.h>

namespace rigwright {
namespace {

TEST(PipeProtocolTest, TheWireTextsAreExact) {
  EXPECT_EQ(kStlRequest.size(), 13u);
  EXPECT_EQ(kPipeNamePrefix, R"(\\.\pipe\)");
  EXPECT_EQ(kDefaultPipeName, R"(\\.\pipe\OrvaneRigwrightPipe)");
  EXPECT_EQ(kMaxMessageBytes, 10239u);
}

TEST(FitStlReplyTest, AReplyThatFitsIsKeptWhole) {
  const std::string limit(kMaxMessageBytes, 'a');
  EXPECT_EQ(FitStlReply(limit).text, limit);
  EXPECT_EQ(FitStlReply(limit).entriesLeftOut, 0);
  EXPECT_EQ(FitStlReply("").text, "");
}

TEST(FitStlReplyTest, ALongReplyLosesWholeEntriesOnly) {
  // Entries of 10 bytes: "/m/000.stl"; 1000 of them with separators take 10999 bytes.
  std::vector<std::string> entries;
  for (int i = 0; i < 1000; ++i) {
    const std::string number = std::to_string(i);
    entries.push_back("/m/" + std::string(3 - number.size(), '0') + number + ".stl");
  }
  const FittedStlReply fitted = FitStlReply(JoinStlEntries(entries));
  // 930 entries take 930 * 11 - 1 = 10229 bytes; one more would take 10240.
  EXPECT_EQ(fitted.text.size(), 10229u);
  EXPECT_TRUE(fitted.text.ends_with("/m/929.stl"));
  EXPECT_EQ(fitted.entriesLeftOut, 70);
}

TEST(FitStlReplyTest, AnEntryEndingExactlyAtTheLimitIsKept) {
  const std::string first(kMaxMessageBytes - 4, 'a');
  const FittedStlReply fitted = FitStlReply(first + ";b@0;c");
  EXPECT_EQ(fitted.text, first + ";b@0") << "its last byte is byte 10239";
  EXPECT_EQ(fitted.entriesLeftOut, 1);
}

TEST(FitStlReplyTest, AFirstEntryTooLongForTheLimitLeavesNothing) {
  const FittedStlReply fitted = FitStlReply(std::string(kMaxMessageBytes + 1, 'a') + ";b;c");
  EXPECT_EQ(fitted.text, "");
  EXPECT_EQ(fitted.entriesLeftOut, 3);
}

TEST(JoinStlEntriesTest, JoinsWithSemicolonsAndNothingAround) {
  EXPECT_EQ(JoinStlEntries({}), "");
  EXPECT_EQ(JoinStlEntries({"/a.stl"}), "/a.stl");
  EXPECT_EQ(JoinStlEntries({"/a.stl", "/b c.stl", "/d.stl"}), "/a.stl;/b c.stl;/d.stl");
}

}  // namespace
}  // namespace rigwright
