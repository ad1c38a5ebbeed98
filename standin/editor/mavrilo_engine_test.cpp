// Drives the staged development engine (MavriloDll.dll, libMavriloDll.so) through its scripted mode
// the way the wrapper runs it: toolkit up, callbacks registered, RunMavrilo until the window
// closes.
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/init.h>

#include <cstring>
#include <fstream>

#include "common/testing/scoped_environment.h"
#include "common/testing/test_folder.h"
#include "platform/shared_library.h"
#include "wrapper/startup/editor_engine_api.h"

namespace rigwright {
namespace {

std::string stlReply;
int stlRequests = 0;
std::vector<std::string> exported;

void AnswerStl(char* buffer) {
  ++stlRequests;
  std::strcpy(buffer, stlReply.c_str());
}
void RecordExport(const char* machineFile) { exported.push_back(machineFile); }

class MavriloEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    engine_ = LoadSharedLibrary(RIGWRIGHT_EDITOR_ENGINE, Unloading::kNever, &error);
    ASSERT_TRUE(engine_) << error;
    stlRequests = 0;
    exported.clear();
  }

  int RunScript(const std::string& script, const std::string& folder) {
    const auto path = work_.Write("script", script);
    environment_.Set("MAVRILO_SCRIPT", Utf8FromPath(path));
    auto setStl = reinterpret_cast<SetCreateSTLFuncEntry>(engine_->Symbol("SetCreateSTLFunc"));
    auto setExport = reinterpret_cast<SetExportFuncEntry>(engine_->Symbol("SetExportFunc"));
    auto run = reinterpret_cast<RunMavriloEntry>(engine_->Symbol("RunMavrilo"));
    EXPECT_TRUE(setStl && setExport && run);
    if (!setStl || !setExport || !run) return -1;
    setStl(&AnswerStl);
    setExport(&RecordExport);
    return run(folder.c_str(), static_cast<std::int32_t>(folder.size()), "", 0, 0, "en-US", 5, 0);
  }

  std::unique_ptr<SharedLibrary> engine_;
  TestFolder work_, library_;
  ScopedEnvironment environment_;
};

TEST_F(MavriloEngineTest, AScriptMakesAMachineAddsSolidsThroughTheCallbackAndExportsIt) {
  const auto base = work_.Write("parts/Base.stl", "solid base");
  const auto column = work_.Write("parts/Column.stl", "solid column");
  stlReply = Utf8FromPath(base) + "@0x336699;" + Utf8FromPath(column);

  EXPECT_EQ(RunScript("new Mill 3X\nadd-solid\nexport\n", library_.text()), 0);

  EXPECT_EQ(stlRequests, 1);
  EXPECT_EQ(exported, std::vector<std::string>{library_.text() + "Mill 3X.mcfg"});
  EXPECT_EQ(library_.Names("Mill 3X"),
            (std::vector<std::string>{"Base.stl", "Column.stl", "config.json"}));
  std::ifstream machine(library_.path() / "Mill 3X.mcfg", std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(machine)), {});
  EXPECT_NE(text.find("\"Path\" : \"Base.stl\""), std::string::npos) << text;
  EXPECT_NE(text.find("\"Color\" : \"0x336699\""), std::string::npos) << text;
}

TEST_F(MavriloEngineTest, AFailingActionEndsTheScriptAndTheRun) {
  EXPECT_EQ(RunScript("select Missing\nexport\n", library_.text()), 0);
  EXPECT_TRUE(exported.empty());
}

}  // namespace
}  // namespace rigwright
