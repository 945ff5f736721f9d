#pragma once
// Small DIBs built by hand for the library's tests: a record that owns its pixel block.

#include "dib/KpDIBInfos.h"

#include <cstring>
#include <random>
#include <utility>
#include <vector>

class TTestDIB {
public:
  TTestDIB() = default;
  // A zero-filled uncompressed DIB; height < 0 makes it top-down.
  TTestDIB(int32_t width, int32_t height, uint16_t bitCount, uint32_t clrUsed = 0, bool useFMO = false) : FUseFMO(useFMO) {
    Infos.W3Head.biSize = 40;
    Infos.W3Head.biWidth = width;
    Infos.W3Head.biHeight = height;
    Infos.W3Head.biPlanes = 1;
    Infos.W3Head.biBitCount = bitCount;
    Infos.W3Head.biXPelsPerMeter = kDefaultPelsPerMeter;
    Infos.W3Head.biYPelsPerMeter = kDefaultPelsPerMeter;
    Infos.W3Head.biClrUsed = clrUsed;
    const int32_t size = CheckedBitsSize(width, AbsHeight(Infos), bitCount, "TTestDIB");
    GetMemory(size, Infos.hFile, Infos.pBits, useFMO);
    Infos.BitsSize = size;
  }
  // Takes over a record filled by a routine (its block is released with the given flag).
  static TTestDIB Adopt(const TKpDIBInfos& infos, bool useFMO = false) {
    TTestDIB dib;
    dib.Infos = infos;
    dib.FUseFMO = useFMO;
    return dib;
  }
  // A compressed DIB whose pixel block is the given stream.
  static TTestDIB Compressed(int32_t width, int32_t height, uint16_t bitCount, const std::vector<uint8_t>& stream) {
    TTestDIB dib(width, height, bitCount == 4 ? 4 : 8, DefaultClrUsed(bitCount));
    ReleaseMemory(dib.Infos.hFile, dib.Infos.pBits, false);
    GetMemory(static_cast<int32_t>(stream.size()), dib.Infos.hFile, dib.Infos.pBits, false);
    if (!stream.empty()) std::memcpy(dib.Infos.pBits, stream.data(), stream.size());
    dib.Infos.BitsSize = static_cast<int32_t>(stream.size());
    dib.Infos.W3Head.biCompression = bitCount == 4 ? BI_RLE4 : BI_RLE8;
    dib.Infos.W3Head.biSizeImage = static_cast<uint32_t>(stream.size());
    return dib;
  }
  TTestDIB(TTestDIB&& other) noexcept : Infos(other.Infos), FUseFMO(other.FUseFMO) { other.Infos.pBits = nullptr; }
  TTestDIB& operator=(TTestDIB&& other) noexcept {
    std::swap(Infos, other.Infos);
    std::swap(FUseFMO, other.FUseFMO);
    return *this;
  }
  ~TTestDIB() {
    if (Infos.pBits) ReleaseMemory(Infos.hFile, Infos.pBits, FUseFMO);
  }

  int32_t Width() const { return Infos.W3Head.biWidth; }
  int32_t Height() const { return AbsHeight(Infos); }
  int64_t Stride() const { return RowBytes(Infos); }
  // Rows in memory order.
  uint8_t* Row(int32_t memoryRow) { return Infos.pBits + memoryRow * Stride(); }
  std::vector<uint8_t> Bytes() const { return {Infos.pBits, Infos.pBits + Infos.BitsSize}; }

  // Pixel of an uncompressed DIB at memory row y: an index, or 0x00BBGGRR for 24 bits.
  uint32_t Pixel(int32_t x, int32_t y) {
    const uint8_t* row = Row(y);
    switch (Infos.W3Head.biBitCount) {
      case 1: return (row[x / 8] >> (7 - x % 8)) & 1;
      case 4: return x % 2 ? row[x / 2] & 15 : row[x / 2] >> 4;
      case 8: return row[x];
      default: return row[3 * x] << 16 | row[3 * x + 1] << 8 | row[3 * x + 2];
    }
  }
  void SetPixel(int32_t x, int32_t y, uint32_t value) {
    uint8_t* row = Row(y);
    switch (Infos.W3Head.biBitCount) {
      case 1: row[x / 8] = static_cast<uint8_t>((row[x / 8] & ~(0x80 >> (x % 8))) | ((value & 1) << (7 - x % 8))); break;
      case 4: row[x / 2] = static_cast<uint8_t>(x % 2 ? (row[x / 2] & 0xF0) | (value & 15) : (row[x / 2] & 0x0F) | (value << 4)); break;
      case 8: row[x] = static_cast<uint8_t>(value); break;
      default:
        row[3 * x] = static_cast<uint8_t>(value >> 16);
        row[3 * x + 1] = static_cast<uint8_t>(value >> 8);
        row[3 * x + 2] = static_cast<uint8_t>(value);
    }
  }
  void SetColor(int index, uint8_t r, uint8_t g, uint8_t b) { Infos.Colors()[index] = RGBQUAD{b, g, r, 0}; }

  TKpDIBInfos Infos;

private:
  bool FUseFMO = false;
};

// A true-colour image of random colours drawn from a few, the kind of input whose reduction is exact.
inline TTestDIB RandomFewColorDIB(std::mt19937& random, int32_t width, int32_t height, int colorCount) {
  TTestDIB dib(width, height, 24);
  std::vector<uint32_t> colors(static_cast<size_t>(colorCount));
  for (auto& c : colors) c = random() & 0xFFFFFF;
  for (int32_t y = 0; y < dib.Height(); ++y)
    for (int32_t x = 0; x < width; ++x) dib.SetPixel(x, y, colors[random() % colors.size()]);
  return dib;
}
