// The wallpaper site's base address: scheme and host (optionally a port),
// no trailing slash.
#pragma once

#include "text/text.h"

namespace lv::app {

// The built-in address, unless the environment variable LUMIVANT_SITE holds a
// non-empty replacement when the program starts (the first call reads it).
const Text& SiteAddress();

}  // namespace lv::app
