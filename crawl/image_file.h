// Saving downloaded images without ever leaving a broken file behind.
#pragma once

#include <string_view>

#include "crawl/image_download.h"
#include "text/text.h"
#include "win/handle.h"

namespace lv::crawl {

// Creates the folder and any missing parents (relative folders count from
// the current directory). True when it exists as a folder afterwards. When it
// does not, *error (when asked for) gets the system's error for the deepest
// folder that could not be made; 0 when the path could not be resolved.
bool EnsureFolder(std::string_view folder, unsigned long* error = nullptr);

// An image being received: its bytes go to a temporary file beside the
// target ("<target>.part") as they arrive, and only a whole image is moved
// over the target. Whatever is not committed is removed, so an older file of
// the same name stays as it was.
class PartFile : public ByteSink {
 public:
  enum class Outcome { kSaved, kNotAnImage, kWriteFailed };

  explicit PartFile(std::string_view target);
  ~PartFile() override { Discard(); }
  PartFile(const PartFile&) = delete;
  PartFile& operator=(const PartFile&) = delete;

  // False when the temporary file could not be made.
  bool Ok() const { return static_cast<bool>(file_); }
  const Text& TemporaryPath() const { return temporary_; }

  bool Write(const std::uint8_t* data, std::size_t size) override;
  // Moves the temporary file over the target when it holds a whole image of
  // a known kind; otherwise removes it.
  Outcome Commit();
  // Removes the temporary file, if it is still there.
  void Discard();

 private:
  bool HoldsWholeImage() const;

  Text target_;
  Text temporary_;
  win::UniqueFile file_;
  std::uint64_t written_ = 0;
};

}  // namespace lv::crawl
