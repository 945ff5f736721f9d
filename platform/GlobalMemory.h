#pragma once
// Global memory blocks: movable blocks named by handles, as the clipboard exchanges them.

#include <cstddef>
#include <cstdint>

using HGLOBAL = uint32_t;

constexpr uint32_t GMEM_FIXED = 0x0000;
constexpr uint32_t GMEM_MOVEABLE = 0x0002;
constexpr uint32_t GMEM_ZEROINIT = 0x0040;

// 0 when the block cannot be had.
HGLOBAL GlobalAlloc(uint32_t flags, size_t bytes);
// The block's address, or nullptr for a bad handle. Every lock wants an unlock.
void* GlobalLock(HGLOBAL handle);
bool GlobalUnlock(HGLOBAL handle);
// 0 on success, the handle itself when it names no block.
HGLOBAL GlobalFree(HGLOBAL handle);
// 0 for a bad handle.
size_t GlobalSize(HGLOBAL handle);
size_t GlobalLiveBlocks();
