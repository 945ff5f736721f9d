#pragma once
// The 18-byte header of a TGA file, which has no signature: a header is taken for TGA when every
// field holds a value the format defines.

#include <cstddef>
#include <cstdint>
#include <span>

namespace tvplugin {

struct TTgaHeader {
  uint8_t IdLength = 0;
  uint8_t ColourMapType = 0;
  uint8_t ImageType = 0;
  uint16_t MapFirst = 0;   // the index of the map's first entry
  uint16_t MapLength = 0;  // entries in the map
  uint8_t MapEntryBits = 0;
  uint16_t Width = 0;
  uint16_t Height = 0;
  uint8_t PixelBits = 0;
  uint8_t Descriptor = 0;

  bool Mapped() const { return ImageType == 1 || ImageType == 9; }
  bool Grey() const { return ImageType == 3 || ImageType == 11; }
  bool RunLength() const { return ImageType >= 9; }
  int AlphaBits() const { return Descriptor & 0x0F; }
  bool RightToLeft() const { return (Descriptor & 0x10) != 0; }
  bool TopDown() const { return (Descriptor & 0x20) != 0; }
  // Whether the decoded picture keeps an alpha channel.
  bool HasAlpha() const;
  // Where the pixels start: after the header, the image ID and the colour map.
  size_t PixelsOffset() const;
};

inline constexpr size_t kTgaHeaderBytes = 18;

// The header at the start of Head, or false when it is not one the decoder reads.
bool ReadTgaHeader(std::span<const uint8_t> Head, TTgaHeader& Header);

}  // namespace tvplugin
