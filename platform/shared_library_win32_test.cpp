#include <gtest/gtest.h>

#include <algorithm>

#include "common/path_text.h"
#include "common/testing/test_folder.h"
#include "platform/shared_library.h"

namespace rigwright {
namespace {

using AnswerEntry = int (*)();

// The install folder of a user whose name is not ASCII.
class SharedLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = dir_.path() / PathFromUtf8("Bj\xC3\xB8rn \xC4\x8C\xC3\xA1p");
    std::filesystem::create_directories(folder_);
    std::filesystem::copy_file(RIGWRIGHT_TEST_LIBRARY, folder_ / "Engine.dll");
  }
  TestFolder dir_;
  std::filesystem::path folder_;
};

TEST_F(SharedLibraryTest, ALibraryInANonAsciiFolderLoadsByPathAndThenByName) {
  std::string error;
  auto library =
      LoadSharedLibrary(Utf8FromPath(folder_ / "Engine.dll"), Unloading::kOnClose, &error);
  ASSERT_TRUE(library) << error;
  const auto answer = reinterpret_cast<AnswerEntry>(library->Symbol("RigwrightTestAnswer"));
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(), 42);
  EXPECT_EQ(library->Symbol("NoSuchEntryPoint"), nullptr);

  // The folder has joined the DLL search: the plain name now finds the library there.
  auto byName = LoadSharedLibrary("Engine.dll", Unloading::kNever, &error);
  ASSERT_TRUE(byName) << error;
  EXPECT_NE(byName->Symbol("RigwrightTestAnswer"), nullptr);
}

TEST_F(SharedLibraryTest, APathWithForwardSlashesLoadsToo) {
  std::string path = Utf8FromPath(folder_ / "Engine.dll");
  std::replace(path.begin(), path.end(), '\\', '/');
  std::string error;
  auto library = LoadSharedLibrary(path, Unloading::kOnClose, &error);
  ASSERT_TRUE(library) << error;
  EXPECT_NE(library->Symbol("RigwrightTestAnswer"), nullptr);
}

TEST_F(SharedLibraryTest, AMissingLibraryIsAnErrorNamingItAndTheSystemsReason) {
  const std::string missing = Utf8FromPath(folder_ / "MavriloDll.dll");
  std::string error;
  EXPECT_EQ(LoadSharedLibrary(missing, Unloading::kNever, &error), nullptr);
  EXPECT_EQ(error.rfind("cannot load " + missing + ": ", 0), 0u) << error;
  EXPECT_NE(error.find("(error 126)"), std::string::npos) << error;
}

}  // namespace
}  // namespace rigwright
