#pragma once
// Where the rows of a stored picture land in the DIB of the picture turned upright by its EXIF
// orientation. Each stored row becomes a straight line of pixels in the DIB: a start and a step.

#include "Dib.h"

#include <cstddef>
#include <cstdint>

namespace tvplugin {

// Orientations 5 to 8 swap the sides.
inline bool SwapsSides(int Orientation) { return Orientation >= 5 && Orientation <= 8; }

class TOrientedRows {
public:
  // StoredWidth x StoredHeight as decoded; Dib is the upright picture.
  TOrientedRows(const TDib& Dib, int Orientation, int32_t StoredWidth, int32_t StoredHeight);
  // Copies stored row y (BytesPerPixel bytes a pixel, as the DIB's) into its place.
  void Put(int32_t y, const uint8_t* Row) const;

private:
  uint8_t* Address(int32_t x, int32_t y) const;

  const TDib& FDib;
  int FOrientation;
  int32_t FWidth;
  int32_t FHeight;
  size_t FPixelBytes;
};

}  // namespace tvplugin
