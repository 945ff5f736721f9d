#include "SPIDecodedLayout.h"

#include "platform/BitmapTypes.h"

#include <cstring>
#include <limits>

bool ReadDecodedLayout(const void* Info, size_t InfoBytes, size_t BitsBytes, TSPIDecodedLayout& Layout) {
  BITMAPINFOHEADER head;
  if (!Info || InfoBytes < sizeof(head)) return false;
  std::memcpy(&head, Info, sizeof(head));
  const int64_t bitCount = head.biBitCount;
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32) return false;
  if (head.biWidth <= 0 || head.biHeight == 0 || head.biHeight == std::numeric_limits<int32_t>::min()) return false;
  const int64_t colors = head.biClrUsed ? int64_t{head.biClrUsed} : bitCount <= 8 ? int64_t{1} << bitCount : 0;
  const int64_t infoSize = 40 + 4 * colors;
  const int64_t height = head.biHeight < 0 ? -int64_t{head.biHeight} : head.biHeight;
  const int64_t bitsSize = DIBRowBytes(head.biWidth, bitCount) * height;
  // Both sizes go into the 32-bit fields of a BMP file header.
  constexpr int64_t kLimit = std::numeric_limits<int32_t>::max() - 14;
  if (infoSize > kLimit || bitsSize > kLimit - infoSize) return false;
  if (static_cast<uint64_t>(infoSize) > InfoBytes || static_cast<uint64_t>(bitsSize) > BitsBytes) return false;
  Layout = TSPIDecodedLayout{head.biWidth,
                             head.biHeight,
                             static_cast<int32_t>(bitCount),
                             static_cast<int32_t>(colors),
                             static_cast<int32_t>(infoSize),
                             static_cast<int32_t>(bitsSize)};
  return true;
}
