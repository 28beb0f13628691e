#include "cli/options.h"

namespace lv::cli {
namespace {

constexpr std::string_view kHint = " (see lumivant-cli --help)";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsAlnum(char c) { return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

// A whole number from 0 to kMaxPages, digits only.
bool ReadPageCount(std::string_view text, int& pages) {
  if (text.empty() || text.size() > 6) return false;
  int value = 0;
  for (char c : text) {
    if (!IsDigit(c)) return false;
    value = value * 10 + (c - '0');
  }
  if (value > kMaxPages) return false;
  pages = value;
  return true;
}

bool IsHostName(std::string_view host) {
  if (host.empty() || host.front() == '.' || host.front() == '-' || host.back() == '-') return false;
  for (char c : host) {
    if (!IsAlnum(c) && c != '.' && c != '-') return false;
  }
  return true;
}

bool IsBracketedIpv6(std::string_view host) {
  if (host.size() < 4 || host.front() != '[' || host.back() != ']') return false;
  for (char c : host.substr(1, host.size() - 2)) {
    const bool hex = IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!hex && c != ':' && c != '.') return false;
  }
  return true;
}

bool IsPort(std::string_view port) {
  if (port.empty() || port.size() > 5) return false;
  int value = 0;
  for (char c : port) {
    if (!IsDigit(c)) return false;
    value = value * 10 + (c - '0');
  }
  return value >= 1 && value <= 65535;
}

Parsed Fail(Parsed parsed, const Text& problem) {
  parsed.error = "lumivant-cli: " + problem + Text(kHint);
  return parsed;
}

}  // namespace

bool IsSiteAddress(std::string_view site) {
  std::string_view rest;
  if (StartsWithIgnoreCase(site, "http://")) {
    rest = site.substr(7);
  } else if (StartsWithIgnoreCase(site, "https://")) {
    rest = site.substr(8);
  } else {
    return false;
  }
  std::size_t colon = rest.rfind(':');
  // The colons inside a bracketed IPv6 address are not a port's.
  if (colon != std::string_view::npos && rest.find(']') != std::string_view::npos && colon < rest.find(']')) {
    colon = std::string_view::npos;
  }
  const std::string_view host = rest.substr(0, colon);
  if (colon != std::string_view::npos && !IsPort(rest.substr(colon + 1))) return false;
  return IsHostName(host) || IsBracketedIpv6(host);
}

Parsed ParseArguments(const std::vector<Text>& args, const Fallbacks& fallbacks) {
  Parsed parsed;
  Options& o = parsed.options;
  bool folderGiven = false;
  bool pagesGiven = false;
  bool siteGiven = false;

  for (std::size_t i = 0; i < args.size(); ++i) {
    Text name = args[i];
    Text value;
    bool hasValue = false;
    const std::size_t equals = name.find('=');
    if (name.rfind("--", 0) == 0 && equals != Text::npos) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
      hasValue = true;
    }
    const bool takesValue = name == "--folder" || name == "--pages" || name == "--site";
    if (takesValue && !hasValue) {
      if (i + 1 >= args.size()) return Fail(parsed, "option '" + name + "' needs a value");
      value = args[++i];
    } else if (!takesValue && hasValue) {
      return Fail(parsed, "option '" + name + "' takes no value");
    }

    if (name == "--help" || name == "-h") {
      o.help = true;
    } else if (name == "--version" || name == "-V") {
      o.version = true;
    } else if (name == "--json") {
      o.json = true;
    } else if (name == "--folder") {
      if (value.empty()) return Fail(parsed, "--folder is empty");
      o.folder = value;
      folderGiven = true;
    } else if (name == "--pages") {
      if (!ReadPageCount(value, o.pages)) {
        return Fail(parsed, "--pages must be a whole number from 0 to " + ToText(kMaxPages) + ", not '" + value + "'");
      }
      pagesGiven = true;
    } else if (name == "--site") {
      if (!IsSiteAddress(value)) return Fail(parsed, "--site must be http(s)://host[:port], not '" + value + "'");
      o.site = value;
      siteGiven = true;
    } else if (name.rfind("-", 0) == 0) {
      return Fail(parsed, "unknown option '" + name + "'");
    } else {
      return Fail(parsed, "unexpected argument '" + name + "'");
    }
  }
  if (o.help || o.version) return parsed;

  if (!pagesGiven) return Fail(parsed, "missing --pages N");
  if (!folderGiven) {
    if (fallbacks.rememberedFolder.empty()) {
      return Fail(parsed, "no folder: give --folder DIR, or choose one in the window first");
    }
    o.folder = fallbacks.rememberedFolder;
  }
  if (!siteGiven) {
    if (!fallbacks.siteVariable.empty()) {
      if (!IsSiteAddress(fallbacks.siteVariable)) {
        return Fail(parsed, "LUMIVANT_SITE must be http(s)://host[:port], not '" + fallbacks.siteVariable + "'");
      }
      o.site = fallbacks.siteVariable;
    } else {
      o.site = fallbacks.builtInSite;
    }
  }
  return parsed;
}

Text UsageText() {
  return "Usage: lumivant-cli --folder DIR --pages N [--site URL] [--json]\n"
         "\n"
         "Downloads the wallpapers of toplist pages 1..N into DIR as 0.png, 1.png, ...\n"
         "\n"
         "  --folder DIR   where to save; without it, the folder remembered by the\n"
         "                 window in 路径.ini beside the program\n"
         "  --pages N      how many toplist pages, 0 to 100000\n"
         "  --site URL     the site, http(s)://host[:port]; without it LUMIVANT_SITE,\n"
         "                 else the built-in address\n"
         "  --json         one JSON object per event on stdout, UTF-8\n"
         "  --help         this text\n"
         "  --version      the version\n"
         "\n"
         "Exit status: 0 nothing failed, 1 something failed, 2 bad usage, 130 interrupted.\n"
         "\n"
         "下载排行榜第 1 至 N 页的壁纸到 DIR，依次保存为 0.png、1.png……\n";
}

}  // namespace lv::cli
