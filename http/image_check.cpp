#include "http/image_check.h"

#include <cstring>

namespace lv {
namespace {

// Every read below is bounds-checked by its caller against the byte count,
// and every comparison of a size field against what is left is written as
// "field <= left" so that no sum can wrap.
class Bytes {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::size_t Size() const { return size_; }
  std::uint8_t At(std::size_t i) const { return data_[i]; }
  // Whether the bytes at i are `tag` (i + tag's length <= Size() is checked).
  template <std::size_t N>
  bool HasAt(std::size_t i, const char (&tag)[N]) const {
    return i <= size_ && N - 1 <= size_ - i && std::memcmp(data_ + i, tag, N - 1) == 0;
  }
  std::uint32_t Big32(std::size_t i) const {
    return std::uint32_t{data_[i]} << 24 | std::uint32_t{data_[i + 1]} << 16 |
           std::uint32_t{data_[i + 2]} << 8 | std::uint32_t{data_[i + 3]};
  }
  std::uint64_t Big64(std::size_t i) const {
    return std::uint64_t{Big32(i)} << 32 | Big32(i + 4);
  }
  std::uint32_t Little32(std::size_t i) const {
    return std::uint32_t{data_[i]} | std::uint32_t{data_[i + 1]} << 8 |
           std::uint32_t{data_[i + 2]} << 16 | std::uint32_t{data_[i + 3]} << 24;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

bool IsWholeJpeg(const Bytes& b) {
  if (!b.HasAt(0, "\xFF\xD8\xFF")) return false;
  // Some servers and cameras pad the file with zero bytes after the end marker.
  std::size_t end = b.Size();
  while (end > 0 && b.At(end - 1) == 0) --end;
  // The end marker must follow the start marker, not share its last FF.
  return end >= 5 && b.At(end - 2) == 0xFF && b.At(end - 1) == 0xD9;
}

bool IsWholePng(const Bytes& b) {
  if (!b.HasAt(0, "\x89PNG\r\n\x1A\n")) return false;
  constexpr std::size_t kChunkFrame = 12;  // length, type, CRC
  constexpr std::uint32_t kMaxChunkLength = 0x7FFFFFFF;
  std::size_t pos = 8;
  while (b.Size() - pos >= kChunkFrame) {
    const std::uint32_t length = b.Big32(pos);
    if (length > kMaxChunkLength || length > b.Size() - pos - kChunkFrame) return false;
    const bool last = b.HasAt(pos + 4, "IEND");
    pos += kChunkFrame + length;
    if (last) return pos == b.Size();
  }
  return false;
}

bool IsWholeGif(const Bytes& b) {
  constexpr std::size_t kHeader = 13;  // signature and logical screen descriptor
  return (b.HasAt(0, "GIF87a") || b.HasAt(0, "GIF89a")) && b.Size() > kHeader &&
         b.At(b.Size() - 1) == 0x3B;
}

bool IsWholeWebP(const Bytes& b) {
  // The form type alone, without a chunk header after it, holds no picture.
  constexpr std::size_t kFirstChunkEnd = 20;
  return b.HasAt(0, "RIFF") && b.HasAt(8, "WEBP") && b.Size() >= kFirstChunkEnd &&
         std::uint64_t{b.Little32(4)} + 8 == b.Size();
}

bool IsWholeBmp(const Bytes& b) {
  constexpr std::size_t kFileHeader = 14;
  return b.HasAt(0, "BM") && b.Size() >= kFileHeader && b.Little32(2) == b.Size();
}

// The 'ftyp' payload from begin to end: major brand, minor version, then
// compatible brands, four bytes each.
bool NamesAvifBrand(const Bytes& b, std::size_t begin, std::size_t end) {
  if (end - begin < 8 || (end - begin - 8) % 4 != 0) return false;
  for (std::size_t brand = begin; brand < end; brand += brand == begin ? 8 : 4) {
    if (b.HasAt(brand, "avif") || b.HasAt(brand, "avis")) return true;
  }
  return false;
}

// A box type is four printable ASCII bytes; zero padding after the last box
// would otherwise read as one more box running to the end.
bool IsBoxType(const Bytes& b, std::size_t i) {
  for (std::size_t k = i; k < i + 4; ++k) {
    if (b.At(k) < 0x20 || b.At(k) > 0x7E) return false;
  }
  return true;
}

bool IsWholeAvif(const Bytes& b) {
  const std::size_t n = b.Size();
  std::size_t pos = 0;
  std::size_t boxes = 0;
  while (pos < n) {
    if (n - pos < 8 || !IsBoxType(b, pos + 4)) return false;
    std::uint64_t size = b.Big32(pos);
    std::size_t header = 8;
    if (size == 1) {
      if (n - pos < 16) return false;
      size = b.Big64(pos + 8);
      header = 16;
    } else if (size == 0) {
      size = n - pos;
    }
    if (size < header || size > n - pos) return false;
    // One 'ftyp', first: a second one means the file came twice.
    const bool fileType = b.HasAt(pos + 4, "ftyp");
    if (fileType != (pos == 0)) return false;
    if (fileType && !NamesAvifBrand(b, header, static_cast<std::size_t>(size))) return false;
    pos += static_cast<std::size_t>(size);
    ++boxes;
  }
  // The file type box alone holds no picture.
  return boxes >= 2;
}

}  // namespace

ImageKind WholeImageKind(const ByteSet& bytes) { return WholeImageKind(bytes.data(), bytes.size()); }

ImageKind WholeImageKind(const std::uint8_t* data, std::size_t size) {
  const Bytes b(data, size);
  if (IsWholeJpeg(b)) return ImageKind::Jpeg;
  if (IsWholePng(b)) return ImageKind::Png;
  if (IsWholeGif(b)) return ImageKind::Gif;
  if (IsWholeWebP(b)) return ImageKind::WebP;
  if (IsWholeAvif(b)) return ImageKind::Avif;
  if (IsWholeBmp(b)) return ImageKind::Bmp;
  return ImageKind::None;
}

}  // namespace lv
