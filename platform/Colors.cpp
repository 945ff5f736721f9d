#include "Colors.h"

namespace {

// The classic desktop scheme, indexed by system colour number.
constexpr uint32_t kSystemColors[] = {
    0xC8C8C8, 0x000000, 0xD1B499, 0xDBCDBF, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000, 0x000000, 0x000000,
    0xB4B4B4, 0xFCF7F4, 0xABABAB, 0xD77800, 0xFFFFFF, 0xF0F0F0, 0xA0A0A0, 0x6D6D6D, 0x000000, 0x000000,
    0xFFFFFF, 0x696969, 0xE3E3E3, 0x000000, 0xE1FFFF, 0xB5B5B5, 0xCC6600, 0xEAD1B9, 0xF2E4D7, 0xD77800,
    0xF0F0F0,
};

}  // namespace

uint32_t ColorToRGB(TColor color) {
  if (color < 0) {
    const uint32_t index = static_cast<uint32_t>(color) & 0xFF;
    return index < sizeof(kSystemColors) / sizeof(kSystemColors[0]) ? kSystemColors[index] : 0;
  }
  return static_cast<uint32_t>(color) & 0xFFFFFF;
}
