#include "testing/wallpaper_site.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "win/handle.h"

namespace lv::testing {
namespace {

std::string LinkTag(const std::string& href) {
  return "<a class=\"preview\" href=\"" + href + "\" target=\"_blank\">";
}

// Tags a user would call links, but that the exact pattern must not find.
std::string Decoys(const std::string& href) {
  return "<a class=\"preview\"\nhref=\"" + href + "\" >" +        // broken across lines
         "<a href=\"" + href + "\" class=\"preview\" >" +         // attributes reordered
         "<a  class=\"preview\" href=\"" + href + "\" >" +        // two spaces
         "<a class=\"preview\" href=\"" + href + "\">";           // no space after the quote
}

}  // namespace

std::string PngBytes(const std::string& tag, std::size_t size) {
  auto chunk = [](const std::string& type, const std::string& data) {
    const auto n = static_cast<std::uint32_t>(data.size());
    return std::string{static_cast<char>(n >> 24), static_cast<char>(n >> 16), static_cast<char>(n >> 8),
                       static_cast<char>(n)} +
           type + data + std::string(4, '\0');  // the CRC is not looked at
  };
  // A chunk walk that must come out exactly at IEND; the data holds zero
  // bytes and every other byte value.
  std::string data = tag;
  const std::size_t fixed = 8 + 25 + 12 + 12;
  while (data.size() + fixed < size) data.push_back(static_cast<char>(data.size() * 7 + tag.size()));
  return "\x89PNG\r\n\x1a\n" + chunk("IHDR", std::string("\0\0\x01\0\0\0\0\xB4\x08\x02\0\0\0", 13)) +
         chunk("IDAT", data) + chunk("IEND", "");
}

std::string JpegBytes(const std::string& tag) {
  return std::string("\xFF\xD8\xFF\xE0\0\x10JFIF\0", 11) + tag + std::string(200, '\xC3') + "\xFF\xD9";
}

std::string ListingPage(const std::vector<std::string>& hrefs, const std::string& decoyHref) {
  std::string page = "<html><head><meta charset=\"utf-8\"><title>排行榜</title></head><body><ul>\n";
  for (const std::string& href : hrefs) page += "<li>" + LinkTag(href) + "壁纸</a></li>\n";
  page += Decoys(decoyHref) + "\n</ul></body></html>";
  return page;
}

std::string DetailPage(const std::string& imageUrl) {
  return "<html><body><h1>高清壁纸</h1><img id=\"wallpaper\" src=\"" + imageUrl +
         "\" alt=\"壁纸\" width=\"1920\"></body></html>";
}

void Site::AddPage(int page, const std::vector<std::string>& names) {
  std::vector<std::string> hrefs;
  for (const std::string& name : names) {
    hrefs.push_back(server_.Url("/w/" + name));
    if (!images_.count(name)) AddWallpaper(name, PngBytes(name));
  }
  listings_[page] = ListingPage(hrefs, server_.Url("/w/decoy"));
  server_.Route("/toplist?page=" + std::to_string(page), Reply::Body(listings_[page], "text/html; charset=utf-8"));
}

void Site::AddWallpaper(const std::string& name, const std::string& bytes, const std::string& type) {
  images_[name] = bytes;
  server_.Route("/w/" + name, Reply::Body(DetailPage(server_.Url("/full/" + name + "#frag")), "text/html"));
  server_.Route("/full/" + name, Reply::Body(bytes, type));
}

std::vector<std::string> Site::Targets() const {
  std::vector<std::string> targets;
  for (const ServedRequest& r : server_.Requests()) targets.push_back(r.target);
  return targets;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found{};
  const win::UniqueFind search(::FindFirstFileA((folder + "\\*").c_str(), &found));
  if (!search) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (::FindNextFileA(search.Get(), &found));
  std::sort(names.begin(), names.end());
  return names;
}

void RemoveTree(const std::string& folder) {
  // The search is closed before the folder goes.
  if (WIN32_FIND_DATAA found{}; const win::UniqueFind search{::FindFirstFileA((folder + "\\*").c_str(), &found)}) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = folder + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        ::DeleteFileA(path.c_str());
      }
    } while (::FindNextFileA(search.Get(), &found));
  }
  ::RemoveDirectoryA(folder.c_str());
}

std::string TestFolder(const std::string& prefix) {
  char temp[MAX_PATH] = {};
  ::GetTempPathA(MAX_PATH, temp);
  return std::string(temp) + prefix + " " + std::to_string(::GetCurrentProcessId()) + "-" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

}  // namespace lv::testing
