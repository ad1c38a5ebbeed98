#include "platform/shared_library.h"

#include <gtest/gtest.h>

#include "platform/random_guid.h"

namespace rigwright {
namespace {

TEST(SharedLibraryTest, APlainNameIsFoundThroughTheSystemSearch) {
  std::string error;
  auto library = LoadSharedLibrary("libm.so.6", Unloading::kOnClose, &error);
  ASSERT_TRUE(library) << error;
  auto cosine = reinterpret_cast<double (*)(double)>(library->Symbol("cos"));
  ASSERT_NE(cosine, nullptr);
  EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
  EXPECT_EQ(library->Symbol("NoSuchEntryPoint"), nullptr);
}

TEST(SharedLibraryTest, AMissingLibraryIsAnErrorNamingIt) {
  std::string error;
  EXPECT_EQ(LoadSharedLibrary("/nonexistent/libMavriloDll.so", Unloading::kNever, &error), nullptr);
  EXPECT_NE(error.find("/nonexistent/libMavriloDll.so"), std::string::npos) << error;
}

TEST(RandomGuidTest, EveryGuidIsNew) {
  Guid first, second;
  ASSERT_TRUE(NewRandomGuid(&first));
  ASSERT_TRUE(NewRandomGuid(&second));
  EXPECT_FALSE(first.data1 == second.data1 && first.data2 == second.data2 &&
               first.data3 == second.data3 && first.data4 == second.data4);
}

}  // namespace
}  // namespace rigwright
