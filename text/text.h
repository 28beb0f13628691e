// Text primitives: every other piece of Lumivant cuts, searches, splits and
// converts its texts through these, so their edge results are exact.
//
// A Text holds code page 936 bytes. Lengths and positions count bytes;
// positions are 1-based and a search that finds nothing gives -1. A missing
// text and the empty text are the same value. Every routine returns a new
// value owned by the caller and leaves its arguments alone.
//
// "Character-wise" routines walk the text a character at a time: a byte of
// 0x80 or more starts a two-byte character with the byte after it, so a match
// is only tried at a character start and a lone lead byte before the end of
// the text stops the walk. The other routines work on plain bytes.
//
// No Windows header here: this builds and is tested natively too.
#pragma once

#include <climits>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lv {

using Text = std::string;
// Raw bytes: HTTP bodies, image data, Base64 input.
using ByteSet = std::vector<std::uint8_t>;
// Result of Split. The members are numbered 1..count in the system's
// vocabulary; in code they sit at [0..size()-1].
using TextArray = std::vector<Text>;

// --- Cutting and measuring (byte-wise) ---
int Len(std::string_view t);
Text Left(std::string_view t, int n);
Text Right(std::string_view t, int n);
// Bytes start .. start+n-1, cut at the end; start < 1 gives "" (not clamped).
Text Mid(std::string_view t, int start, int n);
// The byte at pos (1-based) as a signed 8-bit number; 0 outside the text.
int CharCode(std::string_view t, int pos = 1);
Text CharFromCode(int c);

// --- Searching (character-wise) ---
// First occurrence of sub beginning at a character start at or after start.
// start <= 1 means byte 1; start > length gives -1. An empty sub is found at
// byte 1 whenever at least one byte lies at or after start.
int Find(std::string_view t, std::string_view sub, int start = 1,
         bool ignoreCase = false);
// Last occurrence lying wholly inside the window: the whole text when start
// is kWholeText (left out), else its first start-1 bytes (start <= 1: -1).
constexpr int kWholeText = INT_MIN;
int FindBackward(std::string_view t, std::string_view sub,
                 int start = kWholeText, bool ignoreCase = false);

// --- Replacing and splitting (character-wise) ---
// count < 0 means all. Note the case switch: true means match case exactly.
constexpr int kAll = -1;
Text Replace(std::string_view t, std::string_view sub, std::string_view repl,
             int start, int count, bool matchCase);
inline Text Replace(std::string_view t, std::string_view sub,
                    std::string_view repl, bool matchCase) {
  return Replace(t, sub, repl, 1, kAll, matchCase);
}
// Empty pieces stay, except that nothing follows a delimiter at the very end.
// max < 0 keeps every piece.
TextArray Split(std::string_view t, std::string_view delimiter = ",",
                int max = -1);

// --- Trimming and case (character-wise) ---
// Removes ASCII spaces and full-width spaces (A1 A1) at both ends only.
Text Trim(std::string_view t);
Text Upper(std::string_view t);

// --- Comparing and joining ---
int Compare(std::string_view a, std::string_view b);
ByteSet JoinBytes(const std::vector<ByteSet>& parts);

// --- Bytes and text ---
ByteSet ToBytes(std::string_view t);
// Up to, not including, the first zero byte.
Text BytesToText(const ByteSet& b);
Text BytesToText(const std::uint8_t* data, std::size_t size);
int BytesLen(const ByteSet& b);
// Unlike Mid, start is clamped into 1 .. count+1.
ByteSet BytesMid(const ByteSet& b, int start, int n);
ByteSet BlankBytes(int n);
Text BlankText(int n);

// --- Numbers ---
std::uint8_t ToByte(std::int32_t v);
std::int32_t ShiftLeft(std::int32_t v, int n);
std::int32_t ShiftRight(std::int32_t v, int n);
std::int32_t BitAnd(std::int32_t a, std::int32_t b);
double Modulo(double a, double b);
// A number turned into an int: cut toward zero and held within the int
// range; NaN, which has no whole part, gives 0. Every count, index and status
// that arrives as a double goes through here, since converting a double the
// int range cannot hold is undefined.
int ClampToInt(double v);
Text ToText(long long v);
// Full-width forms become ASCII first, then the longest leading decimal real
// number is read (after leading white space); no number gives 0.
double ToNumber(std::string_view t);

}  // namespace lv
