// The wallpaper site's base address: scheme and host (optionally a port),
// no trailing slash.
#pragma once

#include "text/text.h"

namespace lv::crawl {

// The built-in address, unless the environment variable LUMIVANT_SITE holds a
// non-empty replacement when the program starts (the first call reads it).
const Text& SiteAddress();

// The built-in address alone: a placeholder on a reserved example domain,
// since the real site is the user's to configure.
Text BuiltInSite();

// The environment variable LUMIVANT_SITE as it is now; empty when unset.
Text SiteVariable();

}  // namespace lv::crawl
