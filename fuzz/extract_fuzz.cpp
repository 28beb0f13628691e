// Marker-based extraction on arbitrary pages and markers: what comes back is
// always a piece of the page, found where the markers say.
#include "fuzz/fuzz_input.h"
#include "text/extract.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using lv::fuzz::Check;
  lv::fuzz::FuzzInput in(data, size);
  const int start = in.Int();
  const bool ignoreCase = in.Flag();
  const std::string left = in.Text();
  const std::string right = in.Text();
  const std::string text = in.Rest();

  const lv::Text before = lv::TextBefore(text, left, start, ignoreCase);
  Check(text.compare(0, before.size(), before) == 0, "TextBefore gives a prefix");
  if (!before.empty() && !ignoreCase) {
    Check(text.compare(before.size(), left.size(), left) == 0, "the marker follows what TextBefore gives");
  }

  const lv::Text between = lv::TextBetween(text, left, right, start, ignoreCase);
  if (!between.empty() && !ignoreCase) {
    // Quote tokens in the markers stand for quotes in the page.
    const std::string framed = lv::ExpandQuoteToken(left) + between + lv::ExpandQuoteToken(right);
    Check(text.find(framed) != std::string::npos, "TextBetween gives what lies between the markers");
  }
  Check(text.find(between) != std::string::npos, "TextBetween gives a piece of the text");
  Check(lv::ExpandQuoteToken(text).size() <= text.size(), "expanding quote tokens never grows the text");
  return 0;
}
