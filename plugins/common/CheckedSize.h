#pragma once
// Size arithmetic that fails instead of wrapping: every buffer a module allocates is sized through
// these, so a header that claims a huge picture ends in SPI_NO_MEMORY, never in a short block.

#include "ModuleError.h"

#include <cstddef>
#include <cstdint>

namespace tvplugin {

inline size_t CheckedMul(size_t a, size_t b) {
  size_t product;
  if (__builtin_mul_overflow(a, b, &product)) Fail(SPI_NO_MEMORY);
  return product;
}

inline size_t CheckedMul(size_t a, size_t b, size_t c) { return CheckedMul(CheckedMul(a, b), c); }

inline size_t CheckedAdd(size_t a, size_t b) {
  size_t sum;
  if (__builtin_add_overflow(a, b, &sum)) Fail(SPI_NO_MEMORY);
  return sum;
}

// A picture side the interface can carry (int32) and that is not empty.
inline int32_t CheckedSide(uint64_t side) {
  if (side == 0) Fail(SPI_BROKEN_DATA);
  if (side > INT32_MAX) Fail(SPI_NO_MEMORY);
  return static_cast<int32_t>(side);
}

}  // namespace tvplugin
