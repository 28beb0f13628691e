#include "http/image_check.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

namespace lv {
namespace {

// --- Building small files ---

// A literal with its zero bytes.
template <std::size_t N>
ByteSet B(const char (&s)[N]) {
  return ByteSet(s, s + N - 1);
}

ByteSet Cat(std::initializer_list<ByteSet> parts) {
  ByteSet out;
  for (const ByteSet& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

ByteSet Big32(std::uint32_t v) {
  return {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)};
}

ByteSet Big64(std::uint64_t v) { return Cat({Big32(std::uint32_t(v >> 32)), Big32(std::uint32_t(v))}); }

ByteSet Little32(std::uint32_t v) {
  return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
}

std::uint32_t Crc32(const ByteSet& bytes) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (std::uint8_t b : bytes) {
    crc ^= b;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320 & (0u - (crc & 1)));
  }
  return ~crc;
}

// A PNG chunk with its length and CRC.
ByteSet PngChunk(const ByteSet& type, const ByteSet& data) {
  const ByteSet typed = Cat({type, data});
  return Cat({Big32(std::uint32_t(data.size())), typed, Big32(Crc32(typed))});
}

// An ISO base media box with a 32-bit size.
ByteSet Box(const ByteSet& type, const ByteSet& payload) {
  return Cat({Big32(std::uint32_t(8 + payload.size())), type, payload});
}

ByteSet Times(const ByteSet& b, int n) {
  ByteSet out;
  for (int i = 0; i < n; ++i) out.insert(out.end(), b.begin(), b.end());
  return out;
}

ByteSet Zeros(std::size_t n) { return ByteSet(n, 0); }

// --- Minimal whole images, one of each kind ---

const ByteSet kPngSignature = B("\x89PNG\r\n\x1A\n");
// 1x1, 8-bit grey: IHDR, one IDAT holding the zlib stream of the filter byte
// and the pixel, IEND.
const ByteSet kPngHeader = PngChunk(B("IHDR"), Cat({Big32(1), Big32(1), {8, 0, 0, 0, 0}}));
const ByteSet kPngData = PngChunk(B("IDAT"), {0x78, 0x9C, 0x63, 0x60, 0x00, 0x00, 0x00, 0x02, 0x00, 0x01});
const ByteSet kPngEnd = PngChunk(B("IEND"), {});
const ByteSet kPng = Cat({kPngSignature, kPngHeader, kPngData, kPngEnd});

// Start of image, a JFIF APP0 segment, end of image.
const ByteSet kJpeg = B("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00\xFF\xD9");

// 1x1 with a two-colour global table: screen descriptor, table, image
// descriptor, LZW data, trailer.
const ByteSet kGif = B("GIF89a\x01\x00\x01\x00\x80\x00\x00" "\x00\x00\x00\xFF\xFF\xFF"
                       "\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00" "\x02\x02\x44\x01\x00" "\x3B");

ByteSet WebP(const ByteSet& chunks) {
  return Cat({B("RIFF"), Little32(std::uint32_t(4 + chunks.size())), B("WEBP"), chunks});
}
// A lossless 1x1 white bitstream chunk; its odd size takes a padding byte.
const ByteSet kWebP = WebP(Cat({B("VP8L"), Little32(17),
                                B("\x2F\x00\x00\x00\x00\x07\xD0\xFF\xFE\xF7\xBF\xFF\x81\x88\xE8\x7F\x00\x00")}));

ByteSet FileType(const ByteSet& major, const ByteSet& compatible) {
  return Box(B("ftyp"), Cat({major, Zeros(4), compatible}));
}
const ByteSet kAvifType = FileType(B("avif"), B("mif1miaf"));
const ByteSet kAvifMeta = Box(B("meta"), Zeros(12));
const ByteSet kMediaData = Box(B("mdat"), {});
const ByteSet kAvif = Cat({kAvifType, kAvifMeta, Box(B("mdat"), B("\x12\x00\x0A"))});

ByteSet Bmp(std::uint32_t sizeField, std::size_t pixelBytes) {
  // File header, a 40-byte info header, 1x1 at 24 bits, one padded row.
  return Cat({B("BM"), Little32(sizeField), Zeros(4), Little32(54), Little32(40), Little32(1),
              Little32(1), {1, 0, 24, 0}, Zeros(24), Zeros(pixelBytes)});
}
const ByteSet kBmp = Bmp(58, 4);

struct Sample {
  const char* name;
  ByteSet bytes;
  ImageKind kind;
};

const Sample kSamples[] = {
    {"png", kPng, ImageKind::Png},     {"jpeg", kJpeg, ImageKind::Jpeg},
    {"gif", kGif, ImageKind::Gif},     {"webp", kWebP, ImageKind::WebP},
    {"avif", kAvif, ImageKind::Avif},  {"bmp", kBmp, ImageKind::Bmp},
};

TEST(WholeImageKind, NamesEachKindOfWholeImage) {
  const Sample cases[] = {
      {"jpeg padded with zeros", Cat({kJpeg, Zeros(300)}), ImageKind::Jpeg},
      {"shortest jpeg", B("\xFF\xD8\xFF\xFF\xD9"), ImageKind::Jpeg},
      {"png of signature and IEND", Cat({kPngSignature, kPngEnd}), ImageKind::Png},
      {"gif87a", Cat({B("GIF87a"), ByteSet(kGif.begin() + 6, kGif.end())}), ImageKind::Gif},
      {"avif brand among compatible ones", Cat({FileType(B("mif1"), B("miafavif")), kMediaData}),
       ImageKind::Avif},
      {"avis sequence", Cat({FileType(B("avis"), {}), kMediaData}), ImageKind::Avif},
      {"avif box with a 64-bit size",
       Cat({kAvifType, Big32(1), B("mdat"), Big64(16 + 3), B("abc")}), ImageKind::Avif},
      {"avif last box running to the end", Cat({kAvifType, Big32(0), B("mdat"), Zeros(40)}),
       ImageKind::Avif},
      {"avif file type box with a 64-bit size",
       Cat({Big32(1), B("ftyp"), Big64(24), B("avif"), Zeros(4), kMediaData}), ImageKind::Avif},
  };
  for (const Sample& c : kSamples) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(WholeImageKind(c.bytes), c.kind);
  }
  for (const Sample& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(WholeImageKind(c.bytes), c.kind);
  }
}

TEST(WholeImageKind, NoCutShortImageIsWhole) {
  // Boxes state only their own sizes: a cut between two of them, after the
  // file type box and another, still adds up.
  const std::size_t avifBoxEnd = kAvifType.size() + kAvifMeta.size();
  for (const Sample& s : kSamples) {
    for (std::size_t n = 0; n < s.bytes.size(); ++n) {
      SCOPED_TRACE(std::string(s.name) + " cut to " + std::to_string(n));
      const ImageKind expected = s.kind == ImageKind::Avif && n == avifBoxEnd ? ImageKind::Avif : ImageKind::None;
      EXPECT_EQ(WholeImageKind(ByteSet(s.bytes.begin(), s.bytes.begin() + std::ptrdiff_t(n))), expected);
    }
  }
}

TEST(WholeImageKind, DoubledOrPaddedImagesAreNotWhole) {
  for (const Sample& s : kSamples) {
    SCOPED_TRACE(s.name);
    EXPECT_EQ(WholeImageKind(Cat({s.bytes, B("\x01")})), ImageKind::None);
    EXPECT_EQ(WholeImageKind(Cat({s.bytes, B("<html>")})), ImageKind::None);
    // Zero padding is allowed after a JPEG only.
    const ImageKind padded = s.kind == ImageKind::Jpeg ? ImageKind::Jpeg : ImageKind::None;
    EXPECT_EQ(WholeImageKind(Cat({s.bytes, Zeros(1)})), padded);
    EXPECT_EQ(WholeImageKind(Cat({s.bytes, Zeros(64)})), padded);
    // JPEG and GIF state no length and end with their own marker, so a file
    // that came twice looks whole; the others see it.
    const bool markerOnly = s.kind == ImageKind::Jpeg || s.kind == ImageKind::Gif;
    EXPECT_EQ(WholeImageKind(Times(s.bytes, 2)), markerOnly ? s.kind : ImageKind::None);
  }
}

TEST(WholeImageKind, LyingSizeFieldsAreCaught) {
  const ByteSet webpBody(kWebP.begin() + 8, kWebP.end());
  const Sample cases[] = {
      // PNG chunk lengths.
      {"png chunk longer than the file", Cat({kPngSignature, Big32(100), B("IDAT"), Zeros(20), kPngEnd}),
       ImageKind::None},
      {"png chunk length wrapping around", Cat({kPngSignature, Big32(0xFFFFFFF8), B("IDAT"), kPngEnd}),
       ImageKind::None},
      {"png IEND claiming data it lacks", Cat({kPngSignature, Big32(4), B("IEND"), Zeros(4)}), ImageKind::None},
      {"png IEND before another chunk", Cat({kPngSignature, kPngEnd, kPngData}), ImageKind::None},
      {"png without IEND", Cat({kPngSignature, kPngHeader, kPngData}), ImageKind::None},
      // RIFF sizes.
      {"webp size one short", Cat({B("RIFF"), Little32(std::uint32_t(kWebP.size() - 9)), webpBody}),
       ImageKind::None},
      {"webp size one long", Cat({B("RIFF"), Little32(std::uint32_t(kWebP.size() - 7)), webpBody}),
       ImageKind::None},
      {"webp size at its maximum", Cat({B("RIFF"), Little32(0xFFFFFFFF), webpBody}), ImageKind::None},
      {"riff of another form", Cat({B("RIFF"), Little32(12), B("WAVE"), Zeros(8)}), ImageKind::None},
      // BMP sizes.
      {"bmp size one short", Bmp(57, 4), ImageKind::None},
      {"bmp size one long", Bmp(59, 4), ImageKind::None},
      {"bmp size zero", Bmp(0, 4), ImageKind::None},
      {"bmp header cut to its size", Cat({B("BM"), Little32(6)}), ImageKind::None},
      // ISO base media box sizes.
      {"avif box longer than the file", Cat({kAvifType, Big32(100), B("mdat"), Zeros(10)}), ImageKind::None},
      {"avif box size below its header", Cat({kAvifType, Big32(4), B("mdat"), Zeros(8)}), ImageKind::None},
      {"avif 64-bit size below its header", Cat({kAvifType, Big32(1), B("mdat"), Big64(15), Zeros(7)}),
       ImageKind::None},
      {"avif 64-bit size of zero", Cat({kAvifType, Big32(1), B("mdat"), Big64(0), Zeros(8)}), ImageKind::None},
      {"avif 64-bit size near 2^64",
       Cat({kAvifType, Big32(1), B("mdat"), Big64(0xFFFFFFFFFFFFFFF0), Zeros(8)}), ImageKind::None},
      {"avif 64-bit size cut short", Cat({kAvifType, Big32(1), B("mdat"), Zeros(4)}), ImageKind::None},
      {"avif file type box running past its brands", Cat({Big32(32), B("ftypavif"), Zeros(4)}),
       ImageKind::None},
      {"avif only as the minor version", Cat({Box(B("ftyp"), B("mif1avifmiaf")), kMediaData}), ImageKind::None},
      {"avif brand list with a loose byte", Cat({Box(B("ftyp"), Cat({B("avif"), Zeros(5)})), kMediaData}),
       ImageKind::None},
      {"avif file type box too short for a brand", Cat({Box(B("ftyp"), B("avi")), kMediaData}), ImageKind::None},
      {"avif zero padding", Cat({kAvif, Zeros(8)}), ImageKind::None},
  };
  for (const Sample& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(WholeImageKind(c.bytes), c.kind);
  }
}

TEST(WholeImageKind, OtherBytesAreNoImage) {
  const Sample cases[] = {
      {"empty", {}, ImageKind::None},
      {"one byte", B("\xFF"), ImageKind::None},
      {"jpeg start alone", B("\xFF\xD8\xFF"), ImageKind::None},
      {"jpeg end marker sharing the start's FF", B("\xFF\xD8\xFF\xD9"), ImageKind::None},
      {"jpeg without end marker", B("\xFF\xD8\xFF\xE0\x00\x00"), ImageKind::None},
      {"jpeg of zeros after its start", Cat({B("\xFF\xD8\xFF"), Zeros(10)}), ImageKind::None},
      {"png signature alone", kPngSignature, ImageKind::None},
      {"png signature off by a byte", Cat({B("\x89PNG\r\n\x1A\r"), kPngEnd}), ImageKind::None},
      {"gif header alone with a trailer byte", B("GIF89a\x3B\x00\x00\x00\x00\x00\x3B"), ImageKind::None},
      {"gif of another version", Cat({B("GIF88a"), ByteSet(kGif.begin() + 6, kGif.end())}), ImageKind::None},
      {"riff header alone", B("RIFF\x04\x00\x00\x00WEBP"), ImageKind::None},
      {"bm alone", B("BM"), ImageKind::None},
      {"file type box alone", kAvifType, ImageKind::None},
      {"heic file type", Cat({FileType(B("heic"), B("mif1heic")), kMediaData}), ImageKind::None},
      {"box before the file type box", Cat({Box(B("free"), {}), kAvif}), ImageKind::None},
      {"html error page", B("<html><body>404 Not Found</body></html>"), ImageKind::None},
      {"zeros", Zeros(64), ImageKind::None},
  };
  for (const Sample& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(WholeImageKind(c.bytes), c.kind);
  }
}

}  // namespace
}  // namespace lv
