#include "Palettes.h"

#include "HandleTable.h"

#include <algorithm>
#include <vector>

namespace {

struct TPaletteObject {
  std::vector<PALETTEENTRY> Entries;
};

THandleTable<TPaletteObject>& PaletteTable() {
  // Never destroyed: objects with static storage may still free their handles at exit.
  static auto* const table = new THandleTable<TPaletteObject>;
  return *table;
}

}  // namespace

HPALETTE CreatePalette(const LOGPALETTE& logPalette) {
  if (logPalette.palNumEntries == 0 || logPalette.palNumEntries > 256) return 0;
  auto object = std::make_unique<TPaletteObject>();
  object->Entries.assign(logPalette.palPalEntry, logPalette.palPalEntry + logPalette.palNumEntries);
  return PaletteTable().Add(std::move(object));
}

bool DeleteObject(HPALETTE palette) { return PaletteTable().Remove(palette) != nullptr; }

uint32_t GetPaletteEntries(HPALETTE palette, uint32_t start, uint32_t count, PALETTEENTRY* entries) {
  const TPaletteObject* object = PaletteTable().Find(palette);
  if (!object) return 0;
  const uint32_t size = static_cast<uint32_t>(object->Entries.size());
  if (!entries) return size;
  if (start >= size) return 0;
  const uint32_t n = std::min(count, size - start);
  std::copy_n(object->Entries.begin() + start, n, entries);
  return n;
}

HPALETTE CopyPalette(HPALETTE palette) {
  LOGPALETTE copy{0x300, 0, {}};
  copy.palNumEntries = static_cast<uint16_t>(GetPaletteEntries(palette, 0, 256, copy.palPalEntry));
  return copy.palNumEntries ? CreatePalette(copy) : 0;
}

uint32_t LivePaletteObjects() { return static_cast<uint32_t>(PaletteTable().LiveCount()); }
