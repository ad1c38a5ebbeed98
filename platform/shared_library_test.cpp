#include "platform/shared_library.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace rigwright
