// A small wallpaper site for crawl tests, served on 127.0.0.1: listing pages
// of detail links (with decoys the link pattern must not find), detail pages
// that name an image, and the images. Plus the file helpers the crawl tests
// share.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "testing/http_server.h"

namespace lv::testing {

// Whole images whose bytes a text conversion or a cut at a zero byte would
// spoil; a PNG of about `size` bytes.
std::string PngBytes(const std::string& tag, std::size_t size = 350);
std::string JpegBytes(const std::string& tag);

std::string ListingPage(const std::vector<std::string>& hrefs, const std::string& decoyHref);
std::string DetailPage(const std::string& imageUrl);

// page → the names of its wallpapers; each wallpaper has a detail page
// /w/<name> and an image /full/<name>.
class Site {
 public:
  void AddPage(int page, const std::vector<std::string>& names);
  const std::string& Listing(int page) { return listings_[page]; }
  void AddWallpaper(const std::string& name, const std::string& bytes, const std::string& type = "image/png");
  HttpServer& Server() { return server_; }
  const std::string& Image(const std::string& name) { return images_[name]; }
  // The targets requested so far, in order.
  std::vector<std::string> Targets() const;

 private:
  HttpServer server_;
  std::map<std::string, std::string> images_;
  std::map<int, std::string> listings_;
};

std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
// The names of the files (not folders) in a folder, sorted.
std::vector<std::string> FilesIn(const std::string& folder);
void RemoveTree(const std::string& folder);
// A fresh name under the temporary folder, unique to this process and test.
std::string TestFolder(const std::string& prefix);

}  // namespace lv::testing
