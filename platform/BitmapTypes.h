#pragma once
// The device-independent bitmap records as BMP files and the clipboard store them: little-endian,
// packed, with the field names and meanings the DIB library and the plug-in host rely on.

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)

struct BITMAPFILEHEADER {
  uint16_t bfType;
  uint32_t bfSize;
  uint16_t bfReserved1;
  uint16_t bfReserved2;
  uint32_t bfOffBits;
};

struct BITMAPINFOHEADER {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
};

struct BITMAPCOREHEADER {
  uint32_t bcSize;
  uint16_t bcWidth;
  uint16_t bcHeight;
  uint16_t bcPlanes;
  uint16_t bcBitCount;
};

struct RGBQUAD {
  uint8_t rgbBlue;
  uint8_t rgbGreen;
  uint8_t rgbRed;
  uint8_t rgbReserved;
};

struct RGBTRIPLE {
  uint8_t rgbtBlue;
  uint8_t rgbtGreen;
  uint8_t rgbtRed;
};

// The colour table is declared at its largest, so a record of this type holds any DIB header.
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[256];
};

struct BITMAPCOREINFO {
  BITMAPCOREHEADER bmciHeader;
  RGBTRIPLE bmciColors[256];
};

#pragma pack(pop)

static_assert(sizeof(BITMAPFILEHEADER) == 14);
static_assert(sizeof(BITMAPINFOHEADER) == 40);
static_assert(sizeof(BITMAPCOREHEADER) == 12);
static_assert(sizeof(RGBQUAD) == 4 && sizeof(RGBTRIPLE) == 3);

constexpr uint16_t kBitmapFileType = 0x4D42;  // "BM"

constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_RLE8 = 1;
constexpr uint32_t BI_RLE4 = 2;
constexpr uint32_t BI_BITFIELDS = 3;

constexpr uint32_t DIB_RGB_COLORS = 0;

// Raster operations and stretch modes of DIB drawing.
constexpr uint32_t SRCCOPY = 0x00CC0020;
constexpr int BLACKONWHITE = 1;
constexpr int WHITEONBLACK = 2;
constexpr int COLORONCOLOR = 3;
constexpr int HALFTONE = 4;

// The file header that turns a packed DIB (header, masks, colours, pixels) of size bytes into a BMP file.
inline BITMAPFILEHEADER FileHeaderForPackedDIB(const void* packed, size_t size) {
  BITMAPINFOHEADER head{};
  const size_t headBytes = size < sizeof(head) ? size : sizeof(head);
  for (size_t i = 0; i < headBytes; ++i) reinterpret_cast<uint8_t*>(&head)[i] = static_cast<const uint8_t*>(packed)[i];
  uint64_t offset = 14 + uint64_t{head.biSize};
  if (head.biSize == sizeof(BITMAPCOREHEADER)) {
    const auto* core = reinterpret_cast<const BITMAPCOREHEADER*>(&head);
    offset += core->bcBitCount <= 8 ? (uint64_t{1} << core->bcBitCount) * 3 : 0;
  } else {
    offset += (head.biClrUsed ? uint64_t{head.biClrUsed} : head.biBitCount <= 8 ? uint64_t{1} << head.biBitCount : 0) * 4;
    if (head.biSize == sizeof(BITMAPINFOHEADER) && head.biCompression == BI_BITFIELDS) offset += 12;
  }
  const uint64_t fileSize = 14 + uint64_t{size};
  return BITMAPFILEHEADER{kBitmapFileType, static_cast<uint32_t>(fileSize), 0, 0,
                          static_cast<uint32_t>(offset < fileSize ? offset : fileSize)};
}

// Bytes of one uncompressed row: whole 32-bit words. 64-bit, so hostile widths cannot overflow it.
constexpr int64_t DIBRowBytes(int64_t width, int64_t bitCount) { return (width * bitCount + 31) / 32 * 4; }
