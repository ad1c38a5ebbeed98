#include "standin/host/addin_loader.h"

#include <gtest/gtest.h>

namespace rigwright::standin {
namespace {

TEST(AddinLoaderTest, TakesTheRigwrightAddinWithTheVersionItAnswers) {
  std::string error;
  auto addin = LoadedAddin::Load(RIGWRIGHT_ADDIN_LIBRARY, 2450, &error);
  ASSERT_TRUE(addin) << error;
  EXPECT_EQ(addin->version(), 2450);

  addin = LoadedAddin::Load(RIGWRIGHT_ADDIN_LIBRARY, 2600, &error);
  ASSERT_TRUE(addin) << error;
  EXPECT_EQ(addin->version(), 2400) << "a host of another series gets the first version";
}

TEST(AddinLoaderTest, RefusesAnAddinOfAnotherSeries) {
  std::string error;
  EXPECT_FALSE(LoadedAddin::Load(RIGWRIGHT_OUTDATED_ADDIN, 2450, &error));
  EXPECT_NE(error.find("version 2300"), std::string::npos) << error;
}

TEST(AddinLoaderTest, RefusesWhatIsNoAddinOrNoLibrary) {
  std::string error;
  EXPECT_FALSE(LoadedAddin::Load(RIGWRIGHT_SYSTEM_LIBRARY, 2450, &error));
  EXPECT_NE(error.find("lacks m_version"), std::string::npos) << error;
  EXPECT_FALSE(LoadedAddin::Load("/no/such/libRigwrightAddin.so", 2450, &error));
  EXPECT_NE(error.find("/no/such/libRigwrightAddin.so"), std::string::npos) << error;
}

TEST(AddinLoaderTest, AcceptsVersionsOfThe2400SeriesOnly) {
  EXPECT_FALSE(IsSupportedAddinVersion(2399));
  EXPECT_TRUE(IsSupportedAddinVersion(2400));
  EXPECT_TRUE(IsSupportedAddinVersion(2499));
  EXPECT_FALSE(IsSupportedAddinVersion(2500));
}

}  // namespace
}  // namespace rigwright::standin
