#pragma once
// Row conversions that decoders share when their library cannot write the DIB's layout itself.

#include "Dib.h"

#include <cstddef>
#include <cstdint>

namespace tvplugin {

// Four bytes a pixel, red first, into the DIB's order (blue first), keeping or dropping alpha.
void RgbaToBgra(uint8_t* Dest, const uint8_t* Source, size_t Width);
void RgbaToBgr(uint8_t* Dest, const uint8_t* Source, size_t Width);
void BgraToBgr(uint8_t* Dest, const uint8_t* Source, size_t Width);
// Premultiplied blue, green, red, alpha to straight alpha, in place (a fully transparent pixel
// keeps colour 0).
void UnpremultiplyBgra(uint8_t* Row, size_t Width);
// Turns rows written top-down into the bottom-up order of the DIB, in place.
void FlipRows(const TDib& Dib);

}  // namespace tvplugin
