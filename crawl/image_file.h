// Saving downloaded images without ever leaving a broken file behind.
#pragma once

#include <string_view>

#include "text/text.h"

namespace lv::crawl {

// Creates the folder and any missing parents (relative folders count from
// the current directory). True when it exists as a folder afterwards.
bool EnsureFolder(std::string_view folder);

// Writes the bytes to a temporary file beside `path`, then moves it over
// `path`: an existing file is replaced only by a complete one and is left as
// it was when anything fails. True when `path` now holds the bytes.
bool ReplaceFileWith(std::string_view path, const ByteSet& bytes);

}  // namespace lv::crawl
