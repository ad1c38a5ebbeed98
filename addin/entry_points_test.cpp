// Loads the built add-in library as the host does and calls its entry points. The stand-in host
// library linked into this test provides the host functions the add-in calls.
#include <gtest/gtest.h>

#include <cstdint>

#include "addin/testing/process_state.h"
#include "addin/testing/test_install.h"
#include "platform/message_pipe.h"
#include "platform/shared_library.h"
#include "standin/host/development_host.h"

namespace rigwright {
namespace {

using EntryPoint = std::int32_t (*)();
using VersionEntry = std::int32_t (*)(std::int32_t);
using testing::PipeNameOf;
using testing::WaitFor;

class EntryPointTest : public ::testing::Test {
 protected:
  ~EntryPointTest() override { standin::ClosePart(); }

  void Load() {
    std::string error;
    addin_ = LoadSharedLibrary(RIGWRIGHT_ADDIN_LIBRARY, Unloading::kOnClose, &error);
    ASSERT_TRUE(addin_) << error;
  }
  template <typename Function>
  Function Entry(const char* name) {
    return reinterpret_cast<Function>(addin_->Symbol(name));
  }
  void UseUnits(bool metric) {
    standin::PartData part;
    part.metric = metric;
    standin::InstallPart(part);
  }

  testing::TestInstall install_;
  std::unique_ptr<SharedLibrary> addin_;
};

// True while a server listens on `pipeName`: a second one is refused the name.
bool PipeListening(const std::string& pipeName) {
  std::string error;
  return ListenOnPipe(pipeName, &error) == nullptr;
}

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
  UseUnits(false);
  Load();
  const std::optional<std::size_t> threadsBefore = testing::OwnThreadCount();

  ASSERT_EQ(Entry<EntryPoint>("m_main")(), 0);

  const auto starts = install_.Starts(1);
  ASSERT_EQ(starts.size(), 1u);
  const std::string pipeName = PipeNameOf(starts[0]);
  EXPECT_EQ(starts[0], install_.Expected(install_.defaultFolder, "1", pipeName))
      << "the unit comes from the host";
  EXPECT_TRUE(PipeListening(pipeName));
  // The picker's window may start the toolkit's own helper threads, which outlive the add-in;
  // what must go with the add-in is the link's server thread.
  const std::optional<std::size_t> threadsRunning = testing::OwnThreadCount();
  if (threadsBefore) {
    EXPECT_GE(*threadsRunning, *threadsBefore + 1) << "the link's server thread";
  }

  addin_.reset();

  EXPECT_FALSE(testing::IsLibraryLoaded(RIGWRIGHT_ADDIN_LIBRARY));
  EXPECT_FALSE(PipeListening(pipeName)) << "the pipe was closed";
  if (threadsRunning) {
    EXPECT_EQ(testing::OwnThreadCount(), *threadsRunning - 1) << "the server thread was joined";
  }
}

TEST_F(EntryPointTest, InMetricUnitsTheUnitIsZeroAndARunningWrapperIsNotStartedAgain) {
  UseUnits(true);
  Load();
  const auto main = Entry<EntryPoint>("m_main");

  main();
  const auto first = install_.Starts(1);
  ASSERT_EQ(first.size(), 1u);
  const std::string pipeName = PipeNameOf(first[0]);
  EXPECT_EQ(first[0], install_.Expected(install_.defaultFolder, "0", pipeName));

  main();  // the wrapper still runs: it is brought forward instead
  main();
  // A second wrapper would have recorded its start by now.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(install_.Starts(0).size(), 1u) << "no second wrapper while the first runs";

  // Once the wrapper has ended, the next command starts a new one on the same pipe.
  install_.ReleaseWrappers();
  ASSERT_TRUE(WaitFor([&] {
    main();
    return install_.Starts(0).size() >= 2;
  }));
  const auto starts = install_.Starts(2);
  EXPECT_EQ(starts[1], starts[0]) << "same pipe name, language and machine folder";
  EXPECT_TRUE(PipeListening(pipeName)) << "the same pipe serves the new wrapper";
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
