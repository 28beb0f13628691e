// One JSON object on one line, built field by field. Texts must already be
// UTF-8; they are escaped here.
#pragma once

#include <cstdint>
#include <string_view>

#include "text/text.h"

namespace lv::cli {

class JsonLine {
 public:
  JsonLine& Add(std::string_view key, std::string_view utf8);
  JsonLine& Add(std::string_view key, const char* utf8) { return Add(key, std::string_view(utf8)); }
  JsonLine& Add(std::string_view key, std::int64_t number);
  JsonLine& Add(std::string_view key, int number) { return Add(key, static_cast<std::int64_t>(number)); }
  JsonLine& Add(std::string_view key, double number);
  JsonLine& Add(std::string_view key, bool value);
  JsonLine& AddNull(std::string_view key);
  // The object with its closing brace and a line feed.
  Text Finish() const { return text_ + "}\n"; }

 private:
  void Key(std::string_view key);
  Text text_ = "{";
};

// A JSON string literal, quotes included: quote, backslash and control
// characters escaped, everything else passed through.
Text JsonString(std::string_view utf8);

}  // namespace lv::cli
