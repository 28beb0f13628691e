// Whether received bytes are a whole image. A download that broke off, came
// twice, or was never an image at all (an HTML error page, say) must not be
// saved; most image formats state their own length or end with a fixed
// marker, so a cut or a padded transfer shows in the bytes themselves.
//
// The check reads each byte at most a fixed number of times, never past the
// end, and its size arithmetic cannot overflow: any input is safe.
//
// No Windows header here: this builds and is tested natively too.
#pragma once

#include "text/text.h"

namespace lv {

enum class ImageKind { None, Jpeg, Png, Gif, WebP, Avif, Bmp };

// The kind the bytes are a whole image of, or None:
//   Jpeg  starts FF D8 FF; after any trailing zero bytes, ends FF D9.
//   Png   the 8-byte signature, then chunks walked by their length fields;
//         the first IEND chunk ends exactly at the end.
//   Gif   GIF87a or GIF89a and the 7-byte screen descriptor; the last byte
//         is the trailer 3B.
//   WebP  "RIFF", a little-endian size equal to the byte count less 8,
//         "WEBP", and at least one chunk header.
//   Avif  ISO base media boxes from the first byte to the last (a size of 1
//         takes a 64-bit size, a size of 0 runs to the end), each typed by
//         four printable bytes; the first one, and only it, is 'ftyp', naming
//         avif or avis as major or compatible brand; another box follows it.
//   Bmp   "BM", a little-endian size equal to the byte count, and the whole
//         14-byte file header.
ImageKind WholeImageKind(const ByteSet& bytes);
// The same over bytes held elsewhere, such as a file mapped into memory: it
// reads only the pages its walk needs.
ImageKind WholeImageKind(const std::uint8_t* data, std::size_t size);

}  // namespace lv
