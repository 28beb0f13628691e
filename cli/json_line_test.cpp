#include "cli/json_line.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace lv::cli {
namespace {

TEST(JsonString, EscapesQuotesBackslashesAndControlCharacters) {
  const struct {
    std::string in;
    const char* out;
  } cases[] = {
      {"", "\"\""},
      {"C:\\out\\0.png", "\"C:\\\\out\\\\0.png\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"a\r\nb\tc", "\"a\\r\\nb\\tc\""},
      {std::string("\x01\x1f", 2), "\"\\u0001\\u001f\""},
      {u8"中文", u8"\"中文\""},
      {"\x7f", "\"\x7f\""},
  };
  for (const auto& c : cases) EXPECT_EQ(JsonString(c.in), c.out) << c.in;
}

TEST(JsonLine, FieldsInOrderOnOneLine) {
  const Text line = JsonLine()
                        .Add("event", "image_saved")
                        .Add("file", 3)
                        .Add("bytes", static_cast<std::int64_t>(5000000000LL))
                        .Add("seconds", 0.25)
                        .Add("ok", true)
                        .AddNull("total")
                        .Add("nan", std::numeric_limits<double>::quiet_NaN())
                        .Finish();
  EXPECT_EQ(line,
            "{\"event\":\"image_saved\",\"file\":3,\"bytes\":5000000000,\"seconds\":0.250,\"ok\":true,"
            "\"total\":null,\"nan\":null}\n");
  EXPECT_EQ(JsonLine().Finish(), "{}\n");
}

}  // namespace
}  // namespace lv::cli
