#include "KpHalftone.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr std::array<uint8_t, 6> kRedLevels{0, 51, 102, 153, 204, 255};
constexpr std::array<uint8_t, 7> kGreenLevels{0, 43, 85, 128, 171, 214, 255};
constexpr std::array<uint8_t, 5> kBlueLevels{0, 64, 128, 192, 255};
constexpr int kRedWeight = 35;
constexpr int kGreenWeight = 5;
constexpr int kCubeColors = 210;
constexpr RGBQUAD kExtraColors[5] = {
    {0, 0, 128, 0}, {0, 128, 128, 0}, {128, 0, 128, 0}, {192, 192, 192, 0}, {128, 128, 128, 0}};

// Corrected channel values: the stored errors never exceed 32 in magnitude, so v stays within -29..284;
// the tables cover a wider range.
constexpr int kLowest = -256;
constexpr int kHighest = 512;
constexpr int kTableSize = kHighest - kLowest + 1;

struct TQuantTable {
  uint8_t Index[kTableSize];  // the level's share of the output index
  uint8_t Value[kTableSize];  // the level's value
};

// lowerBounds[i] is the least v that reaches level i + 1. They are the midpoints between levels, except
// the top ones of red (231) and green (234).
template <size_t N>
constexpr TQuantTable MakeQuantTable(const std::array<uint8_t, N>& levels, const std::array<int, N - 1>& lowerBounds,
                                     int weight) {
  TQuantTable table{};
  for (int v = kLowest; v <= kHighest; ++v) {
    size_t level = 0;
    while (level < N - 1 && v >= lowerBounds[level]) ++level;
    table.Index[v - kLowest] = static_cast<uint8_t>(level * weight);
    table.Value[v - kLowest] = levels[level];
  }
  return table;
}

constexpr TQuantTable kRedTable = MakeQuantTable(kRedLevels, std::array<int, 5>{26, 77, 128, 179, 231}, kRedWeight);
constexpr TQuantTable kGreenTable =
    MakeQuantTable(kGreenLevels, std::array<int, 6>{22, 64, 107, 150, 193, 234}, kGreenWeight);
constexpr TQuantTable kBlueTable = MakeQuantTable(kBlueLevels, std::array<int, 4>{32, 96, 160, 224}, 1);

struct TError {
  int16_t R, G, B;
};

struct TColor {
  int R, G, B;
};

template <int Bits>
TColor SourceColor(const uint8_t* row, const RGBQUAD* colors, int64_t x) {
  if constexpr (Bits == 24) {
    const uint8_t* p = row + 3 * x;
    return {p[2], p[1], p[0]};
  } else {
    uint8_t index;
    if constexpr (Bits == 8)
      index = row[x];
    else if constexpr (Bits == 4)
      index = x & 1 ? row[x >> 1] & 0x0F : row[x >> 1] >> 4;
    else
      index = (row[x >> 3] >> (7 - (x & 7))) & 1;
    const RGBQUAD& c = colors[index];
    return {c.rgbRed, c.rgbGreen, c.rgbBlue};
  }
}

// One row in scan order. Each pixel takes 12/32 of the error carried along the row, 12/32 of the error of
// the pixel above and 5/32 of the one above and behind; errors of the previous row come from `previous`,
// this row's go to `current` (entry x + 1, margins 0 and width + 1 stay zero).
template <int Bits, bool BW>
void HalftoneRow(const uint8_t* src, const RGBQUAD* colors, uint8_t* dst, int64_t width, bool leftToRight,
                 const TError* previous, TError* current) {
  const int64_t step = leftToRight ? 1 : -1;
  int64_t x = leftToRight ? 0 : width - 1;
  int eR = 0;
  int eG = 0;
  int eB = 0;
  for (int64_t n = 0; n < width; ++n, x += step) {
    const TColor c = SourceColor<Bits>(src, colors, x);
    const TError& above = previous[x + 1];
    const TError& behind = previous[x + 1 - step];
    const int vR = c.R - (12 * eR + 12 * above.R + 5 * behind.R) / 32;
    const int vG = c.G - (12 * eG + 12 * above.G + 5 * behind.G) / 32;
    const int vB = c.B - (12 * eB + 12 * above.B + 5 * behind.B) / 32;
    if constexpr (BW) {
      const bool white = vR + vG + vB >= 384;
      const uint8_t mask = static_cast<uint8_t>(0x80 >> (x & 7));
      if (white)
        dst[x >> 3] |= mask;
      else
        dst[x >> 3] &= static_cast<uint8_t>(~mask);
      const int chosen = white ? 255 : 0;
      eR = chosen - vR;
      eG = chosen - vG;
      eB = chosen - vB;
    } else {
      dst[x] = static_cast<uint8_t>(kRedTable.Index[vR - kLowest] + kGreenTable.Index[vG - kLowest] +
                                    kBlueTable.Index[vB - kLowest]);
      eR = kRedTable.Value[vR - kLowest] - vR;
      eG = kGreenTable.Value[vG - kLowest] - vG;
      eB = kBlueTable.Value[vB - kLowest] - vB;
    }
    current[x + 1] = {static_cast<int16_t>(eR), static_cast<int16_t>(eG), static_cast<int16_t>(eB)};
  }
}

using TRowRoutine = void (*)(const uint8_t*, const RGBQUAD*, uint8_t*, int64_t, bool, const TError*, TError*);

template <bool BW>
TRowRoutine RowRoutine(uint16_t bitCount) {
  switch (bitCount) {
    case 1: return HalftoneRow<1, BW>;
    case 4: return HalftoneRow<4, BW>;
    case 8: return HalftoneRow<8, BW>;
    case 24: return HalftoneRow<24, BW>;
    default: return nullptr;
  }
}

template <bool BW>
void Halftone(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO, const char* routine, const char* invalidFormat,
              const char* invalidBitCount) {
  KpAssert(Src.W3Head.biCompression == BI_RGB, invalidFormat);
  MakeConversionResult(Src, Dst, BW ? 1 : 8, UseFMO, routine);
  TPixelBlockGuard guard(Dst, UseFMO);
  if constexpr (BW) {
    Dst.W3Head.biClrUsed = 2;
    Dst.Colors()[0] = RGBQUAD{0, 0, 0, 0};
    Dst.Colors()[1] = RGBQUAD{255, 255, 255, 0};
  } else {
    RGBQUAD colors[215];
    GetHalftoneColors(colors);
    Dst.W3Head.biClrUsed = 215;
    std::copy(std::begin(colors), std::end(colors), Dst.Colors());
  }
  const TRowRoutine row = RowRoutine<BW>(Src.W3Head.biBitCount);
  KpAssert(row != nullptr, invalidBitCount);

  const int64_t width = Src.W3Head.biWidth;
  const int64_t height = AbsHeight(Src);
  const int64_t srcStride = RowBytes(Src);
  const int64_t dstStride = RowBytes(Dst);
  if (!Src.pBits || srcStride * height > Src.BitsSize)
    throw EKpDIBInvalidDIB(std::string(routine) + ": Pixel Block Too Small");

  // Every entry of a row but the margins is rewritten before the next row reads it, so swapping the rows
  // does what copying the current row over the previous one would.
  std::vector<TError> previous = WorkVector<TError>(static_cast<size_t>(width) + 2);
  std::vector<TError> current = WorkVector<TError>(static_cast<size_t>(width) + 2);
  for (int64_t y = 0; y < height; ++y) {
    std::swap(previous, current);
    row(Src.pBits + y * srcStride, Src.Colors(), Dst.pBits + y * dstStride, width, y % 2 == 0, previous.data(),
        current.data());
  }
  guard.Keep();
}

}  // namespace

void GetHalftoneColors(RGBQUAD (&Colors)[215]) {
  for (size_t r = 0; r < kRedLevels.size(); ++r)
    for (size_t g = 0; g < kGreenLevels.size(); ++g)
      for (size_t b = 0; b < kBlueLevels.size(); ++b)
        Colors[kRedWeight * r + kGreenWeight * g + b] = RGBQUAD{kBlueLevels[b], kGreenLevels[g], kRedLevels[r], 0};
  for (int i = 0; i < 5; ++i) Colors[kCubeColors + i] = kExtraColors[i];
}

void ConvertToHalfTone(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO) {
  Halftone<false>(Src, Dst, UseFMO, "ConvertToHalfTone", "ConvertToHalfTone: Invalid DIB Format",
                  "ConvertToHalfTone: Invalid Bit Count");
}

void ConvertToHalfToneBW(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO) {
  Halftone<true>(Src, Dst, UseFMO, "ConvertToHalfToneBW", "ConvertToHalfToneBW: Invalid DIB Format",
                 "ConvertToHalfToneBW: Invalid Bit Count");
}
