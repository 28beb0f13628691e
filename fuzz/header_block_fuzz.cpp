// Header block normalisation on arbitrary blocks: the result is a block of
// header lines that normalising again leaves as it is.
#include "fuzz/fuzz_input.h"
#include "http/header_block.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using lv::fuzz::Check;
  const std::string block(reinterpret_cast<const char*>(data), size);
  const lv::Text normal = lv::NormalizeHeaderBlock(block);
  Check(lv::NormalizeHeaderBlock(normal) == normal, "normalising is idempotent");
  Check(normal.size() <= block.size(), "normalising never adds bytes");
  for (const lv::Text& line : lv::Split(normal, "\r\n")) {
    Check(!line.empty() && lv::Find(line, ":") > 0, "every line is a header line");
    const lv::Text name = lv::HeaderName(line);
    const lv::Text value = lv::HeaderValue(line);
    Check(line.find(name) != std::string::npos && line.find(value) != std::string::npos,
          "name and value are pieces of the line");
    Check(lv::Trim(name) == name, "the name comes trimmed");
    Check(lv::fuzz::EndsWithLoneLead(line) || lv::Trim(value) == value, "the value comes trimmed");
  }
  const lv::Text first = lv::CapitalizeFirst(block);
  Check(block.empty() ? first.empty()
                      : first.size() == block.size() && first.compare(1, std::string::npos, block, 1) == 0,
        "CapitalizeFirst changes only the first byte");
  return 0;
}
