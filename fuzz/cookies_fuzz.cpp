// Cookie merging on arbitrary cookie strings: entries are only ever kept or
// dropped, every cookie the server set survives unless it deletes itself,
// and nothing comes out twice.
#include "fuzz/fuzz_input.h"
#include "http/cookies.h"

namespace {

constexpr std::string_view kSeparator = "; ";

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using lv::fuzz::Check;
  lv::fuzz::FuzzInput in(data, size);
  const std::string originalReceived = in.Text();
  const std::string originalSent = in.Rest();
  lv::Text sent = originalSent;
  lv::Text received = originalReceived;

  const lv::Text merged = lv::MergeCookies(sent, received);
  Check(merged == sent, "the merged string is left in sent");
  const lv::TextArray entries = lv::Split(merged, kSeparator);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const lv::Text& entry = entries[i];
    Check(originalReceived.find(entry) != std::string::npos || originalSent.find(entry) != std::string::npos,
          "every merged entry was sent or received as it is");
    Check(!EndsWith(entry, "=deleted"), "deleted cookies are dropped");
    Check(lv::FindMember(entries, entry) == static_cast<int>(i) + 1, "no entry comes twice");
  }
  // An empty entry is no cookie: one at the end is lost in the joining.
  for (const lv::Text& entry : lv::Split(received, kSeparator)) {
    Check(entry.empty() || EndsWith(entry, "=deleted") || lv::FindMember(entries, entry) > 0,
          "every cookie the server set is kept");
  }
  return 0;
}
