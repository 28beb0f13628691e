#include "text/extract.h"

#include <gtest/gtest.h>

namespace lv {
namespace {

TEST(TextBetween, ImageAddress) {
  EXPECT_EQ(TextBetween("<img id=\"wallpaper\" src=\"http://x/y.png\" />",
                        "<img id=#引号wallpaper#引号 src=#引号", "#引号"),
            "http://x/y.png");
}

}  // namespace
}  // namespace lv
