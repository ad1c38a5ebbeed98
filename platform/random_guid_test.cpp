#include "platform/random_guid.h"

#include <gtest/gtest.h>

namespace rigwright {
namespace {

TEST(RandomGuidTest, EveryGuidIsNew) {
  Guid first, second;
  ASSERT_TRUE(NewRandomGuid(&first));
  ASSERT_TRUE(NewRandomGuid(&second));
  EXPECT_FALSE(first.data1 == second.data1 && first.data2 == second.data2 &&
               first.data3 == second.data3 && first.data4 == second.data4);
}

}  // namespace
}  // namespace rigwright
