#include "KpConvert.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

namespace {

using TTriple = std::array<uint8_t, 3>;  // blue, green, red as 24-bit rows store them

// Byte b of a 1-bit row as four 4-bit bytes, first pixel in the high nibble.
constexpr auto k1BitTo4Bit = [] {
  std::array<std::array<uint8_t, 4>, 256> table{};
  for (int b = 0; b < 256; ++b)
    for (int k = 0; k < 4; ++k) table[b][k] = static_cast<uint8_t>(((b >> (7 - 2 * k)) & 1) << 4 | ((b >> (6 - 2 * k)) & 1));
  return table;
}();

// Byte b of a 1-bit row as eight 8-bit pixels.
constexpr auto k1BitTo8Bit = [] {
  std::array<std::array<uint8_t, 8>, 256> table{};
  for (int b = 0; b < 256; ++b)
    for (int k = 0; k < 8; ++k) table[b][k] = static_cast<uint8_t>((b >> (7 - k)) & 1);
  return table;
}();

inline uint8_t Pixel1(const uint8_t* row, int64_t x) { return (row[x >> 3] >> (7 - (x & 7))) & 1; }
inline uint8_t Pixel4(const uint8_t* row, int64_t x) { return x & 1 ? row[x >> 1] & 0x0F : row[x >> 1] >> 4; }

// Every index's colour, read from the whole colour-table area whatever biClrUsed says.
std::array<TTriple, 256> ColorTriples(const TKpDIBInfos& src) {
  std::array<TTriple, 256> triples;
  for (int i = 0; i < 256; ++i) {
    const RGBQUAD& c = src.Colors()[i];
    triples[i] = {c.rgbBlue, c.rgbGreen, c.rgbRed};
  }
  return triples;
}

// Checks Src, makes the result block and fills it row by row in memory order. The row function gets
// the source row, the zero-filled result row and the width.
template <class TRowFunction>
void ConvertRows(const TKpDIBInfos& src, TKpDIBInfos& dst, bool useFMO, uint16_t dstBits, const char* routine,
                 TRowFunction rowFunction) {
  CheckSourceRows(src, routine);
  MakeConversionResult(src, dst, dstBits, useFMO, routine);
  TPixelBlockGuard guard(dst, useFMO);
  const int64_t srcStride = RowBytes(src);
  const int64_t dstStride = RowBytes(dst);
  const int64_t width = src.W3Head.biWidth;
  const int32_t rows = AbsHeight(src);
  for (int32_t y = 0; y < rows; ++y) rowFunction(src.pBits + y * srcStride, dst.pBits + y * dstStride, width);
  guard.Keep();
}

void Expand1To4Row(const uint8_t* s, uint8_t* d, int64_t width) {
  const int64_t full = width >> 3;
  for (int64_t i = 0; i < full; ++i) std::memcpy(d + 4 * i, k1BitTo4Bit[s[i]].data(), 4);
  for (int64_t x = full << 3; x < width; ++x) d[x >> 1] |= static_cast<uint8_t>(Pixel1(s, x) << (x & 1 ? 0 : 4));
}

void Expand1To8Row(const uint8_t* s, uint8_t* d, int64_t width) {
  const int64_t full = width >> 3;
  for (int64_t i = 0; i < full; ++i) std::memcpy(d + 8 * i, k1BitTo8Bit[s[i]].data(), 8);
  for (int64_t x = full << 3; x < width; ++x) d[x] = Pixel1(s, x);
}

void Expand4To8Row(const uint8_t* s, uint8_t* d, int64_t width) {
  const int64_t pairs = width >> 1;
  for (int64_t i = 0; i < pairs; ++i) {
    d[2 * i] = s[i] >> 4;
    d[2 * i + 1] = s[i] & 0x0F;
  }
  if (width & 1) d[width - 1] = s[pairs] >> 4;
}

// A 1-bit mask row: bit 1 where isBackground(x) holds, first pixel in the most significant bit.
template <class TIsBackground>
void MaskRow(uint8_t* d, int64_t width, TIsBackground isBackground) {
  for (int64_t x0 = 0; x0 < width; x0 += 8) {
    const int n = static_cast<int>(std::min<int64_t>(8, width - x0));
    uint8_t bits = 0;
    for (int k = 0; k < n; ++k) bits |= static_cast<uint8_t>(isBackground(x0 + k) << (7 - k));
    d[x0 >> 3] = bits;
  }
}

TTriple BackgroundTriple(uint32_t bgColor) {
  return {static_cast<uint8_t>(bgColor >> 16), static_cast<uint8_t>(bgColor >> 8), static_cast<uint8_t>(bgColor)};
}

// Which colour-table entries have exactly the background colour.
std::array<bool, 256> BackgroundIndexes(const TKpDIBInfos& src, uint32_t bgColor) {
  const std::array<TTriple, 256> colors = ColorTriples(src);
  const TTriple background = BackgroundTriple(bgColor);
  std::array<bool, 256> isBackground;
  for (int i = 0; i < 256; ++i) isBackground[i] = colors[i] == background;
  return isBackground;
}

void SetBlackWhite(TKpDIBInfos& dst) {
  dst.Colors()[0] = RGBQUAD{0, 0, 0, 0};
  dst.Colors()[1] = RGBQUAD{255, 255, 255, 0};
  dst.W3Head.biClrUsed = 2;
}

bool IsPlain(const TKpDIBInfos& src, uint16_t bitCount) {
  return src.W3Head.biBitCount == bitCount && src.W3Head.biCompression == BI_RGB;
}

}  // namespace

void CheckSourceRows(const TKpDIBInfos& Src, const char* Routine) {
  const std::string tooSmall = std::string(Routine) + ": Pixel Block Too Small";
  const int32_t size = CheckedBitsSize(Src.W3Head.biWidth, AbsHeight(Src), Src.W3Head.biBitCount, tooSmall.c_str());
  if (!Src.pBits || size > Src.BitsSize) throw EKpDIBInvalidDIB(tooSmall);
}

void Convert1BitRGBTo4BitRGB(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO) {
  if (!IsPlain(Src, 1))
    throw EKpDIBBadDIBType("Convert1BitRGBTo4BitRGB: Invalid Bitcount & Compression Combination");
  ConvertRows(Src, Dst, UseFMO, 4, "Convert1BitRGBTo4BitRGB", Expand1To4Row);
}

void Convert1BitRGBTo8BitRGB(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO) {
  if (!IsPlain(Src, 1))
    throw EKpDIBBadDIBType("Convert1BitRGBTo8BitRGB: Invalid Bitcount & Compression Combination");
  ConvertRows(Src, Dst, UseFMO, 8, "Convert1BitRGBTo8BitRGB", Expand1To8Row);
}

void Convert4BitRGBTo8BitRGB(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO) {
  if (!IsPlain(Src, 4))
    throw EKpDIBBadDIBType("Convert4BitRGBTo8BitRGB: Invalid Bitcount & Compression Combination");
  ConvertRows(Src, Dst, UseFMO, 8, "Convert4BitRGBTo8BitRGB", Expand4To8Row);
}

void Convert1BitRGBToTrueColor(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO) {
  if (!IsPlain(Src, 1))
    throw EKpDIBBadDIBType("Convert1BitRGBToTrueColor: Invalid Bitcount & Compression Combination");
  const std::array<TTriple, 256> colors = ColorTriples(Src);
  ConvertRows(Src, Dst, UseFMO, 24, "Convert1BitRGBToTrueColor", [&](const uint8_t* s, uint8_t* d, int64_t width) {
    for (int64_t x = 0; x < width; ++x) std::memcpy(d + 3 * x, colors[Pixel1(s, x)].data(), 3);
  });
}

void Convert4BitRGBToTrueColor(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO) {
  if (!IsPlain(Src, 4))
    throw EKpDIBBadDIBType("Convert4BitRGBToTrueColor: Invalid Bitcount & Compression Combination");
  const std::array<TTriple, 256> colors = ColorTriples(Src);
  ConvertRows(Src, Dst, UseFMO, 24, "Convert4BitRGBToTrueColor", [&](const uint8_t* s, uint8_t* d, int64_t width) {
    for (int64_t x = 0; x < width; ++x) std::memcpy(d + 3 * x, colors[Pixel4(s, x)].data(), 3);
  });
}

void Convert8BitRGBToTrueColor(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO) {
  if (!IsPlain(Src, 8))
    throw EKpDIBBadDIBType("Convert8BitRGBToTrueColor: Invalid Bitcount & Compression Combination");
  const std::array<TTriple, 256> colors = ColorTriples(Src);
  ConvertRows(Src, Dst, UseFMO, 24, "Convert8BitRGBToTrueColor", [&](const uint8_t* s, uint8_t* d, int64_t width) {
    for (int64_t x = 0; x < width; ++x) std::memcpy(d + 3 * x, colors[s[x]].data(), 3);
  });
}

void ConvertTrueColorTo1BitRGB(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO, uint32_t BGColor) {
  if (Src.W3Head.biBitCount != 24) throw EKpDIBBadDIBType("ConvertTrueColorTo1BitRGB: Invalid Bitcount");
  const TTriple background = BackgroundTriple(BGColor);
  ConvertRows(Src, Dst, UseFMO, 1, "ConvertTrueColorTo1BitRGB", [&](const uint8_t* s, uint8_t* d, int64_t width) {
    MaskRow(d, width, [&](int64_t x) {
      const uint8_t* p = s + 3 * x;
      return p[0] == background[0] && p[1] == background[1] && p[2] == background[2];
    });
  });
  SetBlackWhite(Dst);
}

void Convert8BitTo1BitRGB(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO, uint32_t BGColor) {
  if (!IsPlain(Src, 8)) throw EKpDIBBadDIBType("Convert8BitTo1BitRGB: Invalid Bitcount or Compression");
  const std::array<bool, 256> isBackground = BackgroundIndexes(Src, BGColor);
  ConvertRows(Src, Dst, UseFMO, 1, "Convert8BitTo1BitRGB", [&](const uint8_t* s, uint8_t* d, int64_t width) {
    MaskRow(d, width, [&](int64_t x) { return isBackground[s[x]]; });
  });
  SetBlackWhite(Dst);
}

void Convert4BitRGBTo1BitRGB(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO, uint32_t BGColor) {
  if (!IsPlain(Src, 4)) throw EKpDIBBadDIBType("Convert4BitRGBTo1BitRGB: Invalid Bitcount");
  const std::array<bool, 256> isBackground = BackgroundIndexes(Src, BGColor);
  ConvertRows(Src, Dst, UseFMO, 1, "Convert4BitRGBTo1BitRGB", [&](const uint8_t* s, uint8_t* d, int64_t width) {
    MaskRow(d, width, [&](int64_t x) { return isBackground[Pixel4(s, x)]; });
  });
  SetBlackWhite(Dst);
}
