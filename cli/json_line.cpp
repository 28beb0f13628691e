#include "cli/json_line.h"

#include <cmath>
#include <cstdio>

namespace lv::cli {

Text JsonString(std::string_view utf8) {
  Text out = "\"";
  for (char c : utf8) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

void JsonLine::Key(std::string_view key) {
  if (text_.size() > 1) text_ += ",";
  text_ += JsonString(key) + ":";
}

JsonLine& JsonLine::Add(std::string_view key, std::string_view utf8) {
  Key(key);
  text_ += JsonString(utf8);
  return *this;
}

JsonLine& JsonLine::Add(std::string_view key, std::int64_t number) {
  Key(key);
  text_ += ToText(static_cast<long long>(number));
  return *this;
}

JsonLine& JsonLine::Add(std::string_view key, double number) {
  Key(key);
  // JSON has no NaN or infinity.
  if (!std::isfinite(number)) {
    text_ += "null";
    return *this;
  }
  char digits[32];
  std::snprintf(digits, sizeof digits, "%.3f", number);
  text_ += digits;
  return *this;
}

JsonLine& JsonLine::Add(std::string_view key, bool value) {
  Key(key);
  text_ += value ? "true" : "false";
  return *this;
}

JsonLine& JsonLine::AddNull(std::string_view key) {
  Key(key);
  text_ += "null";
  return *this;
}

}  // namespace lv::cli
