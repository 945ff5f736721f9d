#include "GlobalMemory.h"

#include "HandleTable.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

struct TGlobalBlock {
  explicit TGlobalBlock(size_t size) : Data(static_cast<uint8_t*>(std::malloc(size ? size : 1))), Size(size) {}
  ~TGlobalBlock() { std::free(Data); }
  TGlobalBlock(const TGlobalBlock&) = delete;
  TGlobalBlock& operator=(const TGlobalBlock&) = delete;
  uint8_t* Data;
  size_t Size;
  int LockCount = 0;
};

THandleTable<TGlobalBlock>& Blocks() {
  // Never destroyed: objects with static storage may still free their handles at exit.
  static auto* const table = new THandleTable<TGlobalBlock>;
  return *table;
}

}  // namespace

HGLOBAL GlobalAlloc(uint32_t flags, size_t bytes) {
  auto block = std::make_unique<TGlobalBlock>(bytes);
  if (!block->Data) return 0;
  if (flags & GMEM_ZEROINIT) std::memset(block->Data, 0, bytes);
  return Blocks().Add(std::move(block));
}

void* GlobalLock(HGLOBAL handle) {
  TGlobalBlock* block = Blocks().Find(handle);
  if (!block) return nullptr;
  ++block->LockCount;
  return block->Data;
}

bool GlobalUnlock(HGLOBAL handle) {
  TGlobalBlock* block = Blocks().Find(handle);
  if (!block || block->LockCount == 0) return false;
  return --block->LockCount > 0;
}

HGLOBAL GlobalFree(HGLOBAL handle) { return Blocks().Remove(handle) ? 0 : handle; }

size_t GlobalSize(HGLOBAL handle) {
  TGlobalBlock* block = Blocks().Find(handle);
  return block ? block->Size : 0;
}

size_t GlobalLiveBlocks() { return Blocks().LiveCount(); }
