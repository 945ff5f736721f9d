#pragma once
// Large blocks that a module fills once, front to back (the pixel rows, a file read into memory).
// Touching a fresh block page by page costs a fault every 4 KiB; on a virtual machine that is more
// than the decode itself (some 200 ms for the 72 MB of a 24-megapixel picture, against 7 ms with
// huge pages). Asking for huge pages over such a block makes the faults few.

#include <cstddef>

namespace tvplugin {

// Advises huge pages over the whole 2 MiB pages inside the block; smaller blocks are left alone.
// Only a hint: the block's contents and ownership do not change.
void PreferHugePages(void* Block, size_t Bytes);

}  // namespace tvplugin
