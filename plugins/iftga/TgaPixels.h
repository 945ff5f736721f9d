#pragma once
// The pixels of a TGA file in the order they are stored, a row at a time, as blue, green, red and
// alpha bytes: colour-mapped, true-colour (15, 16, 24, 32 bits) or grey (8 bits, or 16 with alpha),
// uncompressed or run-length encoded. Runs may go on from one row into the next.

#include "TgaHeader.h"

#include <cstdint>
#include <span>
#include <vector>

namespace tvplugin {

class TTgaPixels {
public:
  // Image is the whole file. Raises EModuleError SPI_BROKEN_DATA when the colour map is cut short.
  TTgaPixels(const TTgaHeader& Header, std::span<const uint8_t> Image);

  // The next row, Width pixels of 4 bytes each. Raises SPI_BROKEN_DATA when the data ends first.
  void NextRow(uint8_t* Row);
  // The next row as it is stored, for uncompressed true-colour pixels of 24 or 32 bits only.
  const uint8_t* NextStoredRow();

private:
  uint32_t Stored(const uint8_t* Pixel) const;
  uint32_t Entry(const uint8_t* Entry, uint8_t Bits) const;
  const uint8_t* Take(size_t Bytes);

  const TTgaHeader& FHeader;
  std::span<const uint8_t> FImage;
  size_t FAt;
  size_t FPixelBytes;
  std::vector<uint32_t> FMap;
  // The packet under way: a run repeats FRunPixel, a raw packet reads pixels; FLeft more to come.
  bool FInRun = false;
  uint32_t FRunPixel = 0;
  uint32_t FLeft = 0;
};

}  // namespace tvplugin
