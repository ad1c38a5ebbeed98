// Loads the built libRigwrightAddin.so as the host does and calls its entry points. The stand-in
// host library linked into this test provides the host functions the add-in calls.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>

#include "addin/testing/test_install.h"
#include "platform/message_pipe.h"
#include "platform/shared_library.h"
#include "standin/host/development_host.h"

namespace rigwright {
namespace {

using EntryPoint = std::int32_t (*)();
using VersionEntry = std::int32_t (*)(std::int32_t);

std::size_t ThreadCount() {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    ++count;
  }
  return count;
}

// The pipe name a started wrapper was given, without its quotes.
std::string PipeNameOf(const std::vector<std::string>& arguments) {
  constexpr std::string_view kOption = "--pipeName=\"";
  const std::string& last = arguments.back();
  if (!last.starts_with(kOption) || last.size() < kOption.size() + 1) return {};
  return last.substr(kOption.size(), last.size() - kOption.size() - 1);
}

class EntryPointTest : public ::testing::Test {
 protected:
  void Load() {
    std::string error;
    addin_ = LoadSharedLibrary(RIGWRIGHT_ADDIN_LIBRARY, Unloading::kOnClose, &error);
    ASSERT_TRUE(addin_) << error;
  }
  template <typename Function>
  Function Entry(const char* name) {
    return reinterpret_cast<Function>(addin_->Symbol(name));
  }

  testing::TestInstall install_;
  std::unique_ptr<SharedLibrary> addin_;
};

TEST_F(EntryPointTest, TheVersionTableAndTheEntriesThatDoNothing) {
  Load();
  const auto version = Entry<VersionEntry>("m_version");
  ASSERT_TRUE(version);
  for (auto [host, expected] : {std::pair{2399, 2400},
                                {2400, 2400},
                                {2450, 2450},
                                {2499, 2499},
                                {2500, 2400},
                                {-1, 2400}}) {
    EXPECT_EQ(version(host), expected) << "host version " << host;
  }
  for (const char* name : {"m_open", "RibbonGroupRigwright", "RibbonGroupRigwrightLauncher"}) {
    const auto entry = Entry<EntryPoint>(name);
    ASSERT_TRUE(entry) << name;
    EXPECT_EQ(entry(), 0) << name;
  }
  EXPECT_EQ(Entry<EntryPoint>("m_run_rigwright"), Entry<EntryPoint>("m_main")) << "one function";
  EXPECT_EQ(Entry<EntryPoint>("RibbonGroupRigwright"), Entry<EntryPoint>("m_open"));
  EXPECT_TRUE(install_.Starts(0).empty()) << "nothing was started";
}

TEST_F(EntryPointTest, TheRunEntryStartsTheWrapperAndUnloadingEndsThePipeLink) {
  standin::PartData inchPart;
  inchPart.metric = false;
  standin::InstallPart(inchPart);
  Load();
  const std::size_t threadsBefore = ThreadCount();

  ASSERT_EQ(Entry<EntryPoint>("m_main")(), 0);

  const auto starts = install_.Starts(1);
  ASSERT_EQ(starts.size(), 1u);
  const std::string pipeName = PipeNameOf(starts[0]);
  EXPECT_EQ(starts[0], install_.Expected(install_.defaultFolder, "1", pipeName))
      << "the unit comes from the host";
  std::string error;
  const std::string socket = PipeSocketPath(pipeName, &error);
  ASSERT_FALSE(socket.empty()) << error;
  EXPECT_TRUE(std::filesystem::exists(socket));
  // The picker's window may start the toolkit's own helper threads, which outlive the add-in;
  // what must go with the add-in is the link's server thread.
  const std::size_t threadsRunning = ThreadCount();
  EXPECT_GE(threadsRunning, threadsBefore + 1) << "the link's server thread";

  addin_.reset();

  EXPECT_FALSE(std::filesystem::exists(socket));
  EXPECT_EQ(ThreadCount(), threadsRunning - 1) << "the server thread was joined";
  standin::ClosePart();
}

TEST_F(EntryPointTest, EveryLoadHasAPipeOfItsOwn) {
  std::vector<std::string> names;
  for (int load = 0; load < 2; ++load) {
    Load();
    Entry<EntryPoint>("m_main")();
    install_.ReleaseWrappers();
    names.push_back(PipeNameOf(install_.Starts(load + 1).back()));
    addin_.reset();
  }
  EXPECT_NE(names[0], names[1]);
  EXPECT_EQ(names[0].size(), 41u);
}

}  // namespace
}  // namespace rigwright
