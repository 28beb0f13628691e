#include "cli/options.h"

#include <gtest/gtest.h>

namespace lv::cli {
namespace {

const Fallbacks kNone{"", "", "https://wallpapers.example.com"};

TEST(ParseArguments, ReadsEveryOptionInBothSpellings) {
  const Parsed p = ParseArguments({"--folder", "D:\\壁纸", "--pages=3", "--site", "http://127.0.0.1:8080", "--json"}, kNone);
  ASSERT_EQ(p.error, "");
  EXPECT_EQ(p.options.folder, "D:\\壁纸");
  EXPECT_EQ(p.options.pages, 3);
  EXPECT_EQ(p.options.site, "http://127.0.0.1:8080");
  EXPECT_TRUE(p.options.json);
}

TEST(ParseArguments, FallsBackToTheRememberedFolderThenTheVariableThenTheBuiltInSite) {
  const Fallbacks remembered{"C:\\saved", "http://wallpapers.example.org", "https://wallpapers.example.com"};
  Parsed p = ParseArguments({"--pages", "1"}, remembered);
  ASSERT_EQ(p.error, "");
  EXPECT_EQ(p.options.folder, "C:\\saved");
  EXPECT_EQ(p.options.site, "http://wallpapers.example.org");

  p = ParseArguments({"--pages", "1", "--site", "https://example.net", "--folder", "x"}, remembered);
  EXPECT_EQ(p.options.folder, "x");
  EXPECT_EQ(p.options.site, "https://example.net");

  p = ParseArguments({"--pages", "0", "--folder", "x"}, kNone);
  EXPECT_EQ(p.options.site, "https://wallpapers.example.com");
  EXPECT_EQ(p.options.pages, 0);
}

TEST(ParseArguments, HelpAndVersionNeedNothingElse) {
  EXPECT_TRUE(ParseArguments({"--help"}, kNone).options.help);
  EXPECT_TRUE(ParseArguments({"-h"}, kNone).options.help);
  EXPECT_TRUE(ParseArguments({"--version"}, kNone).options.version);
  EXPECT_EQ(ParseArguments({"--version"}, kNone).error, "");
}

TEST(ParseArguments, BadUsageNamesTheProblemOnOneLineWithTheHint) {
  const struct {
    std::vector<Text> args;
    Fallbacks fallbacks;
    const char* problem;
  } cases[] = {
      {{"--pages", "1", "--folder", "x", "--frobnicate"}, kNone, "unknown option '--frobnicate'"},
      {{"--pages", "1", "--folder", "x", "-x"}, kNone, "unknown option '-x'"},
      {{"--pages", "1", "--folder", "x", "extra"}, kNone, "unexpected argument 'extra'"},
      {{"--folder", "x", "--pages"}, kNone, "option '--pages' needs a value"},
      {{"--pages", "1", "--folder"}, kNone, "option '--folder' needs a value"},
      {{"--json=yes", "--pages", "1", "--folder", "x"}, kNone, "option '--json' takes no value"},
      {{"--folder", "x"}, kNone, "missing --pages N"},
      {{"--folder", "x", "--pages", "-1"}, kNone, "--pages must be a whole number from 0 to 100000, not '-1'"},
      {{"--folder", "x", "--pages", "100001"}, kNone, "--pages must be a whole number from 0 to 100000, not '100001'"},
      {{"--folder", "x", "--pages", "2.5"}, kNone, "--pages must be a whole number from 0 to 100000, not '2.5'"},
      {{"--folder", "x", "--pages", ""}, kNone, "--pages must be a whole number from 0 to 100000, not ''"},
      {{"--folder", "x", "--pages", "9999999999"}, kNone,
       "--pages must be a whole number from 0 to 100000, not '9999999999'"},
      {{"--folder", "", "--pages", "1"}, kNone, "--folder is empty"},
      {{"--pages", "1"}, kNone, "no folder: give --folder DIR, or choose one in the window first"},
      {{"--pages", "1", "--folder", "x", "--site", "ftp://example.com"}, kNone,
       "--site must be http(s)://host[:port], not 'ftp://example.com'"},
      {{"--pages", "1", "--folder", "x"}, Fallbacks{"", "example.com", "https://wallpapers.example.com"},
       "LUMIVANT_SITE must be http(s)://host[:port], not 'example.com'"},
  };
  for (const auto& c : cases) {
    const Parsed p = ParseArguments(c.args, c.fallbacks);
    EXPECT_EQ(p.error, "lumivant-cli: " + Text(c.problem) + " (see lumivant-cli --help)");
    EXPECT_EQ(p.error.find('\n'), Text::npos);
  }
}

TEST(IsSiteAddress, SchemeHostAndPortOnly) {
  const struct {
    const char* site;
    bool ok;
  } cases[] = {
      {"https://wallpapers.example.com", true},
      {"http://127.0.0.1:8080", true},
      {"HTTP://Example.COM", true},
      {"http://[::1]:8080", true},
      {"http://[::1]", true},
      {"http://localhost:65535", true},
      {"https://wallpapers.example.com/", false},
      {"https://wallpapers.example.com/toplist", false},
      {"http://127.0.0.1:0", false},
      {"http://127.0.0.1:65536", false},
      {"http://127.0.0.1:", false},
      {"http://", false},
      {"http://wallpapers.example .com", false},
      {"http://user@example.com", false},
      {"ftp://example.com", false},
      {"example.com", false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsSiteAddress(c.site), c.ok) << c.site;
}

}  // namespace
}  // namespace lv::cli
