#pragma once
// The picture a module hands back: a BITMAPINFOHEADER (no colour table) and the pixel rows, each in a
// local-memory block. Rows are bottom-up, as the host expects; Row(y) counts from the top, so decoders
// write their rows where they belong without a second pass. Both blocks are freed unless handed over.

#include "platform/kernel/LargeBlocks.h"
#include "spi/SusieAbi.h"

#include <cstddef>
#include <cstdint>

namespace tvplugin {

#pragma pack(push, 1)
struct TDibHeader {
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
#pragma pack(pop)
static_assert(sizeof(TDibHeader) == 40);

class TDib {
public:
  // BitCount 24 (blue, green, red) or 32 (blue, green, red, straight alpha). Raises EModuleError
  // SPI_NO_MEMORY when the block cannot be had or its size does not fit the host's 32-bit sizes.
  TDib(int32_t Width, int32_t Height, int BitCount);
  ~TDib();
  TDib(TDib&& other) noexcept;
  TDib& operator=(TDib&&) = delete;
  TDib(const TDib&) = delete;
  TDib& operator=(const TDib&) = delete;

  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  int BitCount() const { return FBitCount; }
  size_t Stride() const { return FStride; }
  // The row shown at y from the top.
  uint8_t* Row(int32_t y) const { return FBits + static_cast<size_t>(FHeight - 1 - y) * FStride; }
  uint8_t* Bits() const { return FBits; }
  // Dots per inch of the picture, 0 when unknown.
  void SetDensity(uint32_t XDpi, uint32_t YDpi);

  // Gives both blocks to the caller (unlocked); the TDib is empty afterwards.
  void HandOver(HLOCAL* HBMInfo, HLOCAL* HBM);

private:
  void Release();

  int32_t FWidth;
  int32_t FHeight;
  int FBitCount;
  size_t FStride;
  HLOCAL FInfoHandle = 0;
  HLOCAL FBitsHandle = 0;
  TDibHeader* FHeader = nullptr;
  uint8_t* FBits = nullptr;
  TPagesAhead FPagesAhead;
};

}  // namespace tvplugin
