#include "PixelRows.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace tvplugin {

void RgbaToBgra(uint8_t* Dest, const uint8_t* Source, size_t Width) {
  for (size_t x = 0; x < Width; ++x, Dest += 4, Source += 4) {
    const uint8_t red = Source[0];
    Dest[0] = Source[2];
    Dest[1] = Source[1];
    Dest[2] = red;
    Dest[3] = Source[3];
  }
}

void RgbaToBgr(uint8_t* Dest, const uint8_t* Source, size_t Width) {
  for (size_t x = 0; x < Width; ++x, Dest += 3, Source += 4) {
    Dest[0] = Source[2];
    Dest[1] = Source[1];
    Dest[2] = Source[0];
  }
}

void BgraToBgr(uint8_t* Dest, const uint8_t* Source, size_t Width) {
  for (size_t x = 0; x < Width; ++x, Dest += 3, Source += 4) {
    Dest[0] = Source[0];
    Dest[1] = Source[1];
    Dest[2] = Source[2];
  }
}

void UnpremultiplyBgra(uint8_t* Row, size_t Width) {
  for (size_t x = 0; x < Width; ++x, Row += 4) {
    const unsigned alpha = Row[3];
    if (alpha == 255) continue;
    if (alpha == 0) {
      Row[0] = Row[1] = Row[2] = 0;
      continue;
    }
    for (int c = 0; c < 3; ++c) Row[c] = static_cast<uint8_t>(std::min(255u, (Row[c] * 255u + alpha / 2) / alpha));
  }
}

void FlipRows(const TDib& Dib) {
  const size_t stride = Dib.Stride();
  const auto spare = std::make_unique_for_overwrite<uint8_t[]>(stride);
  for (int32_t top = 0, bottom = Dib.Height() - 1; top < bottom; ++top, --bottom) {
    uint8_t* a = Dib.Bits() + static_cast<size_t>(top) * stride;
    uint8_t* b = Dib.Bits() + static_cast<size_t>(bottom) * stride;
    std::memcpy(spare.get(), a, stride);
    std::memcpy(a, b, stride);
    std::memcpy(b, spare.get(), stride);
  }
}

}  // namespace tvplugin
