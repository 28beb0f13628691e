// The console program's command line: what it asks for, and the one-line
// complaint when it cannot be understood. No Windows header: the fallbacks
// (the remembered folder, LUMIVANT_SITE) are handed in by the caller.
#pragma once

#include <string_view>
#include <vector>

#include "text/text.h"

namespace lv::cli {

constexpr int kMaxPages = 100000;

struct Options {
  Text folder;
  int pages = 0;
  Text site;
  bool json = false;
  bool help = false;
  bool version = false;
};

// Where a value comes from when the command line does not give it.
struct Fallbacks {
  Text rememberedFolder;  // 路径.ini beside the program; may be empty
  Text siteVariable;      // LUMIVANT_SITE; may be empty
  Text builtInSite;
};

struct Parsed {
  Options options;
  Text error;  // empty when the command line is usable
};

// args excludes the program name. --help and --version win over everything
// else that is well formed.
Parsed ParseArguments(const std::vector<Text>& args, const Fallbacks& fallbacks);

// http:// or https://, a host name or IPv4/IPv6 address, an optional port
// from 1 to 65535, and nothing after it.
bool IsSiteAddress(std::string_view site);

// The usage text for --help.
Text UsageText();

}  // namespace lv::cli
