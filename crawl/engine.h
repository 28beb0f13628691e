// The crawl itself, with no face: it walks the toplist pages 1..N of a site,
// follows every wallpaper link, downloads each image and saves it as N.png in
// the save folder. It shows nothing; whoever runs it learns what happens
// through a CrawlObserver, in the order things happen, on the crawling
// thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <utility>

#include "crawl/failure.h"
#include "crawl/image_download.h"
#include "text/text.h"

namespace lv::crawl {

struct CrawlInput {
  Text folder;        // file names are folder + "\" + number + ".png", as typed
  int pageCount = 0;  // 0 or less crawls nothing
  Text site;          // scheme and host (and port), no trailing slash
  DownloadLimits limits;
};

struct CrawlTally {
  int imagesSaved = 0;
  int imagesFailed = 0;
  int pagesFailed = 0;
  std::int64_t bytesSaved = 0;
  bool interrupted = false;
};

// Every member has an empty default: a face overrides what it shows.
class CrawlObserver {
 public:
  virtual ~CrawlObserver() = default;
  virtual void OnPageStarted(int /*page*/, int /*pageCount*/, const Text& /*address*/) {}
  // The listing answered with a success status and held `linkCount` links.
  virtual void OnPageLoaded(int /*page*/, int /*status*/, int /*linkCount*/) {}
  // The listing is counted as failed; any links it still held are followed.
  virtual void OnPageFailed(int /*page*/, const Text& /*address*/, const Failure& /*why*/, int /*linkCount*/) {}
  virtual void OnImageStarted(int /*fileNumber*/, const Text& /*address*/) {}
  // At most about ten a second per image; `announced` is -1 when unknown.
  virtual void OnImageProgress(int /*fileNumber*/, std::int64_t /*received*/, std::int64_t /*announced*/) {}
  virtual void OnImageSaved(int /*fileNumber*/, const Text& /*fileName*/, std::int64_t /*bytes*/,
                            double /*seconds*/) {}
  // `address` is the image's when one was found, else the detail page's.
  virtual void OnImageFailed(int /*fileNumber*/, const Text& /*address*/, const Failure& /*why*/) {}
};

// Lets another thread stop a crawl. The crawl looks at the request between
// steps and while an image arrives.
class StopSignal {
 public:
  void Request() { requested_ = true; }
  bool Requested() const { return requested_; }

  // For a face that cannot wait for a blocked request and ends the process
  // around it: removes the temporary file of the image in flight, and keeps
  // the crawl from beginning or finishing another file from now on.
  void TakeFilesOver();

  // For the crawl: the file lock, held while it makes, moves or removes a
  // file, and the temporary file it is receiving (set and cleared with the
  // lock held).
  std::unique_lock<std::mutex> LockFiles() { return std::unique_lock<std::mutex>(fileLock_); }
  void SetPartInFlight(Text path) { partInFlight_ = std::move(path); }

 private:
  std::atomic<bool> requested_{false};
  std::mutex fileLock_;   // held by the crawl while it makes, moves or removes a file
  Text partInFlight_;     // the temporary file being received, if any
};
// Runs the whole crawl on the calling thread, one request at a time, and
// returns the tally. The requests, their order and headers are those of the
// window's start button.
CrawlTally RunCrawl(const CrawlInput& input, CrawlObserver& observer, StopSignal* stop = nullptr);

// The listing page's address for a page number.
Text ListingAddress(const Text& site, int page);

}  // namespace lv::crawl
