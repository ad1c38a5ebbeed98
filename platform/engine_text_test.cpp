// The 8-bit texts the editor engine is given: the choice among a path's forms, with the rules of
// a Windows system using code page 1252 injected, and this system's own forms opening real files
// through the 8-bit file functions the engine uses.
#include "platform/engine_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "common/path_text.h"

namespace rigwright {
namespace {

// Latin-1 stands in for code page 1252: both hold ü and ó, neither holds Ł or ź.
std::optional<std::string> Latin1(std::string_view utf8, bool exactOnly) {
  std::string text;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    if (byte < 0x80) {
      text += utf8[i];
      continue;
    }
    const auto next = static_cast<unsigned char>(utf8[++i]);
    if (byte == 0xC2 || byte == 0xC3) {
      text += static_cast<char>(((byte & 0x1F) << 6) | (next & 0x3F));
    } else if (exactOnly) {
      return std::nullopt;
    } else {
      text += '?';
    }
  }
  return text;
}

EngineTextForms Windows1252(std::map<std::string, std::string, std::less<>> shortForms) {
  return {[shortForms](std::string_view path) -> std::optional<std::string> {
            const auto found = shortForms.find(path);
            if (found == shortForms.end()) return std::nullopt;
            return found->second;
          },
          [](std::string_view text) { return Latin1(text, true); },
          [](std::string_view text) { return *Latin1(text, false); }};
}

constexpr char kJuergen[] = "C:\\Users\\J\xC3\xBCrgen\\Machines";
constexpr char kLodz[] = "C:\\\xC5\x81\xC3\xB3" "d\xC5\xBA\\Machines";

TEST(EngineTextTest, EachPathGetsTheFirstFormThatNamesItExactly) {
  const struct {
    const char* path;
    std::map<std::string, std::string, std::less<>> shortForms;
    std::string expected;
    bool exact;
  } cases[] = {
      {"C:\\Machines\\Mill 5", {}, "C:\\Machines\\Mill 5", true},
      {kJuergen, {{kJuergen, "C:\\Users\\JRGEN~1\\Machines"}}, "C:\\Users\\JRGEN~1\\Machines", true},
      {kJuergen, {}, "C:\\Users\\J\xFCrgen\\Machines", true},
      {kLodz, {{kLodz, "C:\\D~1\\Machines"}}, "C:\\D~1\\Machines", true},
      // Ł has a short name, ü has none: the short form in the code page.
      {"C:\\\xC5\x81\\J\xC3\xBCrgen", {{"C:\\\xC5\x81\\J\xC3\xBCrgen", "C:\\L~1\\J\xC3\xBCrgen"}},
       "C:\\L~1\\J\xFCrgen", true},
      {kLodz, {}, "C:\\?\xF3" "d?\\Machines", false},
  };
  for (const auto& c : cases) {
    const EngineText text = EngineTextOfPath(c.path, Windows1252(c.shortForms));
    EXPECT_EQ(text.text, c.expected) << c.path;
    EXPECT_EQ(text.exact, c.exact) << c.path;
  }

  std::vector<std::string> inexact;
  EXPECT_EQ(EngineTextOfStlReply(std::string(kJuergen) + "\\a.stl@0x00FF7f;;C:\\b@0x12;" + kLodz +
                                     "\\c.stl",
                                 Windows1252({}), &inexact),
            "C:\\Users\\J\xFCrgen\\Machines\\a.stl@0x00FF7f;;C:\\b@0x12;C:\\?\xF3"
            "d?\\Machines\\c.stl")
      << "colours and separators kept, an '@' that is no colour is part of the path";
  EXPECT_EQ(inexact, std::vector<std::string>{std::string(kLodz) + "\\c.stl"});
}

TEST(EngineTextTest, PathsNotInAsciiOpenThroughTheEightBitFileFunctions) {
  const std::filesystem::path root =
      std::filesystem::temp_directory_path() / PathFromUtf8("rigwright-engine-text");
  std::filesystem::remove_all(root);
  for (const char* name : {"J\xC3\xBCrgen", "\xC5\x81\xC3\xB3" "d\xC5\xBA"}) {
    const std::filesystem::path folder = root / PathFromUtf8(name);
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "part.stl") << "solid part\nendsolid part\n";
    const std::string file = Utf8FromPath(folder / "part.stl");

    std::vector<std::string> inexact;
    const std::string reply = EngineTextOfStlReply(file + "@0x102030", SystemEngineTextForms(),
                                                   &inexact);
    EXPECT_TRUE(inexact.empty()) << name;
    const std::string path = reply.substr(0, reply.size() - 9);
    // The engine opens what it is given with the C library's 8-bit functions.
    std::FILE* opened = std::fopen(path.c_str(), "rb");
    EXPECT_NE(opened, nullptr) << name << " given as " << path;
    if (opened) std::fclose(opened);
    std::error_code error;
    EXPECT_TRUE(std::filesystem::equivalent(PathFromUtf8(Utf8FromEnginePath(path)),
                                            PathFromUtf8(file), error))
        << "the engine's text read back names the file: " << name;
  }
  std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace rigwright
