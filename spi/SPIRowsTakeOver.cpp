#include "SPIRowsTakeOver.h"

#include "SPIDecodedLayout.h"
#include "platform/Exceptions.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

void FreeBlock(void* handle) { LocalFree(static_cast<HLOCAL>(reinterpret_cast<uintptr_t>(handle))); }

void TurnRowsOver(uint8_t* rows, size_t stride, int height) {
  for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom)
    std::swap_ranges(rows + top * stride, rows + (top + 1) * stride, rows + bottom * stride);
}

bool AnyAlpha(const uint8_t* rows, size_t stride, int width, int height) {
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = rows + y * stride;
    for (int x = 0; x < width; ++x)
      if (row[4 * x + 3] != 0) return true;
  }
  return false;
}

}  // namespace

bool RowsCanBeTakenOver(const void* Info, size_t InfoBytes, size_t BitsBytes) {
  TSPIDecodedLayout layout;
  if (!ReadDecodedLayout(Info, InfoBytes, BitsBytes, layout)) return false;
  BITMAPINFOHEADER head;
  std::memcpy(&head, Info, sizeof(head));
  return head.biSize == 40 && head.biCompression == BI_RGB && (layout.BitCount == 24 || layout.BitCount == 32);
}

QImage ImageOverRows(HLOCAL Bits, const BITMAPINFOHEADER& Head) {
  auto* rows = static_cast<uint8_t*>(LocalLock(Bits));
  const int width = Head.biWidth;
  const int height = Head.biHeight < 0 ? -Head.biHeight : Head.biHeight;
  const auto stride = static_cast<size_t>(DIBRowBytes(width, Head.biBitCount));
  if (Head.biHeight > 0) TurnRowsOver(rows, stride, height);
  const QImage::Format format = Head.biBitCount == 24                    ? QImage::Format_BGR888
                                : AnyAlpha(rows, stride, width, height) ? QImage::Format_ARGB32
                                                                         : QImage::Format_RGB32;
  QImage image(rows, width, height, static_cast<qsizetype>(stride), format, FreeBlock,
               reinterpret_cast<void*>(static_cast<uintptr_t>(Bits)));
  if (image.isNull()) {
    LocalFree(Bits);
    throw EOutOfMemory("Out of memory");
  }
  return image;
}
