#pragma once
// Large blocks that are filled once, front to back (a decoded picture's rows, a file read into
// memory). Touching a fresh block page by page costs a fault every 4 KiB; on a virtual machine that is
// more than a decode itself (some 200 ms for the 72 MB of a 24-megapixel picture, against 7 ms with
// huge pages). Asking for huge pages over such a block makes the faults few. Shared by the program and
// the modules, so header only.

#include <cstddef>
#include <cstdint>
#include <sys/mman.h>

// Advises huge pages over the whole 2 MiB pages inside the block; smaller blocks are left alone.
// Only a hint: the block's contents and ownership do not change, and a kernel without such pages
// leaves ordinary ones.
inline void PreferHugePages(void* Block, size_t Bytes) {
#ifdef MADV_HUGEPAGE
  constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
  const auto start = reinterpret_cast<uintptr_t>(Block);
  const uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t end = (start + Bytes) & ~(kHugePage - 1);
  if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#else
  (void)Block;
  (void)Bytes;
#endif
}
