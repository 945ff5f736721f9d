#include "Dib.h"

#include "CheckedSize.h"

#include <cstring>
#include <utility>

namespace tvplugin {

TDib::TDib(int32_t Width, int32_t Height, int BitCount) : FWidth(Width), FHeight(Height), FBitCount(BitCount) {
  if (Width <= 0 || Height <= 0 || (BitCount != 24 && BitCount != 32)) Fail(SPI_BROKEN_DATA);
  const size_t rowBits = CheckedMul(static_cast<size_t>(Width), static_cast<size_t>(BitCount));
  FStride = CheckedAdd(rowBits, 31) / 32 * 4;
  const size_t bytes = CheckedMul(FStride, static_cast<size_t>(Height));
  // The host keeps the size of the pixel block in 32 bits.
  if (bytes > INT32_MAX) Fail(SPI_NO_MEMORY);

  FInfoHandle = LocalAlloc(LHND, sizeof(TDibHeader));
  FBitsHandle = LocalAlloc(LMEM_MOVEABLE, bytes);
  if (FInfoHandle == 0 || FBitsHandle == 0) {
    Release();
    Fail(SPI_NO_MEMORY);
  }
  FHeader = static_cast<TDibHeader*>(LocalLock(FInfoHandle));
  FBits = static_cast<uint8_t*>(LocalLock(FBitsHandle));
  if (FHeader == nullptr || FBits == nullptr) {
    Release();
    Fail(SPI_MEMORY_ERROR);
  }
  // Decoders write the rows top row first, that is from the block's end.
  FPagesAhead = TPagesAhead(FBits, bytes);
  *FHeader = TDibHeader{40, Width, Height, 1, static_cast<uint16_t>(BitCount), 0, static_cast<uint32_t>(bytes), 0, 0, 0, 0};
}

TDib::TDib(TDib&& other) noexcept
    : FWidth(other.FWidth), FHeight(other.FHeight), FBitCount(other.FBitCount), FStride(other.FStride),
      FInfoHandle(std::exchange(other.FInfoHandle, 0)), FBitsHandle(std::exchange(other.FBitsHandle, 0)),
      FHeader(std::exchange(other.FHeader, nullptr)), FBits(std::exchange(other.FBits, nullptr)),
      FPagesAhead(std::move(other.FPagesAhead)) {}

TDib::~TDib() { Release(); }

void TDib::SetDensity(uint32_t XDpi, uint32_t YDpi) {
  // Pixels per metre, rounded; densities come as 16-bit values, so this cannot overflow.
  XDpi = XDpi > 0xFFFF ? 0xFFFF : XDpi;
  YDpi = YDpi > 0xFFFF ? 0xFFFF : YDpi;
  FHeader->biXPelsPerMeter = static_cast<int32_t>((XDpi * 10000u + 127u) / 254u);
  FHeader->biYPelsPerMeter = static_cast<int32_t>((YDpi * 10000u + 127u) / 254u);
}

void TDib::HandOver(HLOCAL* HBMInfo, HLOCAL* HBM) {
  FPagesAhead.Stop();
  // Decoders write the pixels; the padding at the end of each row is ours to clear, once the rows
  // are there (clearing it first would touch every page before the decoder and its helper do).
  const size_t used = static_cast<size_t>(FWidth) * static_cast<size_t>(FBitCount) / 8;
  if (used < FStride)
    for (int32_t y = 0; y < FHeight; ++y) std::memset(FBits + static_cast<size_t>(y) * FStride + used, 0, FStride - used);
  LocalUnlock(FInfoHandle);
  LocalUnlock(FBitsHandle);
  *HBMInfo = std::exchange(FInfoHandle, 0);
  *HBM = std::exchange(FBitsHandle, 0);
  FHeader = nullptr;
  FBits = nullptr;
}

void TDib::Release() {
  FPagesAhead.Stop();
  if (FInfoHandle != 0) {
    if (FHeader != nullptr) LocalUnlock(FInfoHandle);
    LocalFree(FInfoHandle);
  }
  if (FBitsHandle != 0) {
    if (FBits != nullptr) LocalUnlock(FBitsHandle);
    LocalFree(FBitsHandle);
  }
  FInfoHandle = FBitsHandle = 0;
  FHeader = nullptr;
  FBits = nullptr;
}

}  // namespace tvplugin
