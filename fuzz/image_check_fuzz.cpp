// The whole-image check on arbitrary bytes. Beyond staying inside the bytes:
// the kinds that state their size stop being whole when a byte is cut off or
// added, or when they come twice; a zero byte added keeps a JPEG whole and
// spoils a GIF. (AVIF's last box may run to the end, so it can swallow any
// tail.)
#include <initializer_list>

#include "fuzz/fuzz_input.h"
#include "http/image_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using lv::ImageKind;
  using lv::fuzz::Check;
  const lv::ByteSet bytes(data, data + size);
  const ImageKind kind = lv::WholeImageKind(bytes);
  auto kindWith = [&](std::size_t keep, std::initializer_list<std::uint8_t> tail) {
    lv::ByteSet changed(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(keep));
    changed.insert(changed.end(), tail);
    return lv::WholeImageKind(changed);
  };

  if (kind == ImageKind::Jpeg) Check(kindWith(size, {0}) == kind, "zero padding keeps a JPEG whole");
  if (kind == ImageKind::Gif) Check(kindWith(size, {0}) == ImageKind::None, "a GIF ends with its trailer");
  if (kind == ImageKind::Png || kind == ImageKind::WebP || kind == ImageKind::Bmp) {
    Check(kindWith(size, {0x3B}) == ImageKind::None, "a byte added is seen");
    Check(kindWith(size - 1, {}) == ImageKind::None, "a byte cut off is seen");
    lv::ByteSet twice = bytes;
    twice.insert(twice.end(), bytes.begin(), bytes.end());
    Check(lv::WholeImageKind(twice) == ImageKind::None, "an image that came twice is seen");
  }
  return 0;
}
