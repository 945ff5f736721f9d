#include "LocalMemory.h"

#include "platform/HandleTable.h"

#include <cstring>
#include <memory>
#include <new>

namespace {

struct TLocalBlock {
  std::unique_ptr<uint8_t[]> Bytes;
  size_t Size = 0;
  uint32_t LockCount = 0;
};

// Made on first use and never destroyed: modules and the host may free blocks from their own
// static destructors, in any order.
THandleTable<TLocalBlock>& Blocks() {
  static auto* table = new THandleTable<TLocalBlock>;
  return *table;
}

}  // namespace

extern "C" {

HLOCAL LocalAlloc(uint32_t uFlags, size_t uBytes) {
  auto block = std::make_unique<TLocalBlock>();
  // A zero-sized block still gets an address, as callers lock every handle they receive.
  const size_t bytes = uBytes ? uBytes : 1;
  // Pixel blocks are large and written whole by their maker: zero them only when asked.
  block->Bytes.reset((uFlags & LMEM_ZEROINIT) ? new (std::nothrow) uint8_t[bytes]() : new (std::nothrow) uint8_t[bytes]);
  if (!block->Bytes) return 0;
  block->Size = uBytes;
  try {
    return Blocks().Add(std::move(block));
  } catch (...) {
    return 0;
  }
}

void* LocalLock(HLOCAL hMem) {
  TLocalBlock* block = Blocks().Find(hMem);
  if (!block) return nullptr;
  ++block->LockCount;
  return block->Bytes.get();
}

int32_t LocalUnlock(HLOCAL hMem) {
  TLocalBlock* block = Blocks().Find(hMem);
  if (!block || block->LockCount == 0) return 0;
  return --block->LockCount != 0;
}

HLOCAL LocalFree(HLOCAL hMem) { return Blocks().Remove(hMem) ? 0 : hMem; }

size_t LocalSize(HLOCAL hMem) {
  TLocalBlock* block = Blocks().Find(hMem);
  return block ? block->Size : 0;
}

size_t LocalLiveHandles(void) { return Blocks().LiveCount(); }

}  // extern "C"
