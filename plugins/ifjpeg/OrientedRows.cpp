#include "OrientedRows.h"

#include <cstring>

namespace tvplugin {

TOrientedRows::TOrientedRows(const TDib& Dib, int Orientation, int32_t StoredWidth, int32_t StoredHeight)
    : FDib(Dib), FOrientation(Orientation), FWidth(StoredWidth), FHeight(StoredHeight),
      FPixelBytes(static_cast<size_t>(Dib.BitCount() / 8)) {}

uint8_t* TOrientedRows::Address(int32_t x, int32_t y) const {
  int32_t column = x, row = y;
  switch (FOrientation) {
    case 2: column = FWidth - 1 - x; break;
    case 3: column = FWidth - 1 - x; row = FHeight - 1 - y; break;
    case 4: row = FHeight - 1 - y; break;
    case 5: column = y; row = x; break;
    case 6: column = FHeight - 1 - y; row = x; break;
    case 7: column = FHeight - 1 - y; row = FWidth - 1 - x; break;
    case 8: column = y; row = FWidth - 1 - x; break;
    default: break;
  }
  return FDib.Row(row) + static_cast<size_t>(column) * FPixelBytes;
}

void TOrientedRows::Put(int32_t y, const uint8_t* Row) const {
  uint8_t* target = Address(0, y);
  const ptrdiff_t step = FWidth > 1 ? Address(1, y) - target : 0;
  for (int32_t x = 0; x < FWidth; ++x, target += step, Row += FPixelBytes) std::memcpy(target, Row, FPixelBytes);
}

}  // namespace tvplugin
