#pragma once
// Logical palette objects behind handles. On true-colour surfaces selecting and realising a palette
// changes nothing, so those calls only keep the bookkeeping callers expect.

#include <cstdint>

using HPALETTE = uint32_t;

#pragma pack(push, 1)
struct PALETTEENTRY {
  uint8_t peRed;
  uint8_t peGreen;
  uint8_t peBlue;
  uint8_t peFlags;
};

struct LOGPALETTE {
  uint16_t palVersion;
  uint16_t palNumEntries;
  PALETTEENTRY palPalEntry[256];
};
#pragma pack(pop)

// 0 when the record is unusable (no entries, more than 256).
HPALETTE CreatePalette(const LOGPALETTE& logPalette);
// Destroys a palette; false for a handle that names none.
bool DeleteObject(HPALETTE palette);
// Copies up to count entries from start; returns how many were copied (0 for a bad handle). With
// entries nullptr it returns the palette's size.
uint32_t GetPaletteEntries(HPALETTE palette, uint32_t start, uint32_t count, PALETTEENTRY* entries);
// A new palette with the same entries, or 0.
HPALETTE CopyPalette(HPALETTE palette);
uint32_t LivePaletteObjects();
