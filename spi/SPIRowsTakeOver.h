#pragma once
// The pixel block a module decoded, taken over by a Qt image without a copy. The rows of a
// 24-megapixel picture are 72 MB: copying them into a fresh image costs the copy and, more, the
// faults of touching that much fresh memory.

#include "platform/BitmapTypes.h"
#include "platform/kernel/LocalMemory.h"

#include <QImage>

#include <cstddef>

// Whether rows described by Info (InfoBytes long) can be taken over: uncompressed 24-bit or 32-bit
// rows under a 40-byte header, the block (BitsBytes long) holding them all.
bool RowsCanBeTakenOver(const void* Info, size_t InfoBytes, size_t BitsBytes);

// A Qt image over the rows of Bits, laid out as Head says (which RowsCanBeTakenOver accepted), the
// rows turned top-down in place. The image owns the block from here on: it is freed when the last
// image sharing it goes. 24-bit rows come as Format_BGR888; 32-bit rows as Format_ARGB32, or as
// Format_RGB32 when every fourth byte is 0 (a BMP's unused byte, not transparency).
QImage ImageOverRows(HLOCAL Bits, const BITMAPINFOHEADER& Head);
