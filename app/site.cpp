#include "app/site.h"

#include <windows.h>

#include <vector>

namespace lv::app {
namespace {

// A reserved example domain: the real site is configured by its user
// through LUMIVANT_SITE.
constexpr char kDefaultSite[] = "https://wallpapers.example.com";

Text ReadSite() {
  const DWORD need = ::GetEnvironmentVariableA("LUMIVANT_SITE", nullptr, 0);
  if (need > 1) {
    std::vector<char> buffer(need);
    const DWORD got = ::GetEnvironmentVariableA("LUMIVANT_SITE", buffer.data(), need);
    if (got > 0 && got < need) return Text(buffer.data(), got);
  }
  return kDefaultSite;
}

}  // namespace

const Text& SiteAddress() {
  static const Text site = ReadSite();
  return site;
}

}  // namespace lv::app
