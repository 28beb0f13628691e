#include "text/text.h"

#include <gtest/gtest.h>

namespace lv {
namespace {

TEST(Find, ColonPositions) {
  EXPECT_EQ(Find("a:b:c", ":"), 2);
  EXPECT_EQ(Find("a:b:c", ":", 3), 4);
  EXPECT_EQ(Find("", ":"), -1);
}

}  // namespace
}  // namespace lv
