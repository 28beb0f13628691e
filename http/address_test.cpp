#include "http/address.h"

#include <gtest/gtest.h>

namespace lv {
namespace {

TEST(HasWebScheme, OnlyHttpAndHttpsInAnyCase) {
  struct Case { std::string address; bool web; };
  const Case cases[] = {
      {"http://example.com/a.png", true},
      {"https://example.com/", true},
      {"HTTP://EXAMPLE.COM", true},
      {"hTtPs://example.org", true},
      {"http:", true},
      {"ftp://example.com/a.png", false},
      {"file:///c:/a.png", false},
      {"data:image/png;base64,AAAA", false},
      {"javascript:void(0)", false},
      {"httpx://example.com", false},
      {"https//example.com", false},
      {"http", false},
      {"", false},
      {" http://example.com", false},        // nothing is trimmed
      {"//example.com/a.png", false},        // no scheme of its own
      {"/full/a.png", false},
      {"\xE8http://example.com", false},
      {"\x68\x74\x74\x70\xBA://example.com", false},  // a non-ASCII byte where ':' belongs
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    EXPECT_EQ(HasWebScheme(c.address), c.web);
  }
}

TEST(PercentEncodeAddress, EscapesNonAsciiControlsAndSpacesOnly) {
  struct Case { std::string address, encoded; };
  const Case cases[] = {
      {"", ""},
      {"http://example.com/a.png", "http://example.com/a.png"},
      // 壁纸 in UTF-8.
      {"http://example.com/\xE5\xA3\x81\xE7\xBA\xB8.png", "http://example.com/%E5%A3%81%E7%BA%B8.png"},
      {"http://example.com/a b.png", "http://example.com/a%20b.png"},
      {"http://example.com/?q=\xC3\xA9&x=1#top", "http://example.com/?q=%C3%A9&x=1#top"},
      {std::string("a\0b", 3), "a%00b"},
      {"\t\r\n\x1F\x7F\x80\xFF", "%09%0D%0A%1F%7F%80%FF"},
      // Escapes and reserved characters already there keep their meaning.
      {"http://example.com/a%20b%zz%", "http://example.com/a%20b%zz%"},
      {"http://u:p@example.com:8080/p;x?a=[1]&b=!$'()*+,/@~", "http://u:p@example.com:8080/p;x?a=[1]&b=!$'()*+,/@~"},
      {"!\"<>\\^`{|}", "!\"<>\\^`{|}"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    EXPECT_EQ(PercentEncodeAddress(c.address), c.encoded);
  }
}

TEST(PercentEncodeAddress, EveryByteValueOnceAndAgain) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const Text encoded = PercentEncodeAddress(all);
  // 33 bytes from 0x00 to 0x20 and 129 from 0x7F to 0xFF take three bytes each.
  ASSERT_EQ(encoded.size(), 256u + 2 * (33 + 129));
  EXPECT_EQ(encoded.substr(0, 9), "%00%01%02");
  EXPECT_EQ(encoded.substr(3 * 33, 6), "!\"#$%&");
  EXPECT_EQ(encoded.substr(encoded.size() - 9), "%FD%FE%FF");
  EXPECT_EQ(PercentEncodeAddress(encoded), encoded);
}

}  // namespace
}  // namespace lv
