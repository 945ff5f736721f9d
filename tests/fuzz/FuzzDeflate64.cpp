// Fuzz target: the deflate64 decoder alone, fed in small pieces so refills land everywhere, with a
// bounded output that it must never pass.

#include "platform/Deflate64.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t piece = 1 + data[0] % 64;  // the first byte chooses how the input is cut
  const uint64_t limit = 1u << 20;
  size_t at = 1;
  uint64_t produced = 0;
  const TDeflate64Source source = [&](uint8_t* buffer, size_t capacity) {
    const size_t n = std::min({piece, capacity, size - at});
    std::memcpy(buffer, data + at, n);
    at += n;
    return n;
  };
  const TDeflate64Sink sink = [&](const uint8_t*, size_t count) {
    produced += count;
    if (produced > limit) std::abort();
  };
  try {
    if (Deflate64Decode(source, sink, limit) != produced) std::abort();
  } catch (const EDeflate64Error&) {
  }
  return 0;
}
