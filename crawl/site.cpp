#include "crawl/site.h"

#include <windows.h>

#include <vector>

namespace lv::crawl {
namespace {

// A reserved example domain: the real site is configured by its user
// through LUMIVANT_SITE.
constexpr char kDefaultSite[] = "https://wallpapers.example.com";

}  // namespace

Text BuiltInSite() { return kDefaultSite; }

Text SiteVariable() {
  const DWORD need = ::GetEnvironmentVariableA("LUMIVANT_SITE", nullptr, 0);
  if (need <= 1) return {};
  std::vector<char> buffer(need);
  const DWORD got = ::GetEnvironmentVariableA("LUMIVANT_SITE", buffer.data(), need);
  return got > 0 && got < need ? Text(buffer.data(), got) : Text();
}

const Text& SiteAddress() {
  static const Text site = [] {
    Text variable = SiteVariable();
    return variable.empty() ? BuiltInSite() : variable;
  }();
  return site;
}

}  // namespace lv::crawl
