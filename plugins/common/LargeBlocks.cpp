#include "LargeBlocks.h"

#include <cstdint>
#include <sys/mman.h>

namespace tvplugin {

namespace {

constexpr uintptr_t kHugePage = uintptr_t{2} << 20;

}  // namespace

void PreferHugePages(void* Block, size_t Bytes) {
#ifdef MADV_HUGEPAGE
  const auto start = reinterpret_cast<uintptr_t>(Block);
  const uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t end = (start + Bytes) & ~(kHugePage - 1);
  // A refusal (no such pages on this kernel) leaves ordinary pages, which work as before.
  if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#else
  (void)Block;
  (void)Bytes;
#endif
}

}  // namespace tvplugin
