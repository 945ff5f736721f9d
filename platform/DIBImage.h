#pragma once
// DIB pixel data as Qt images, the way DIB drawing reads it: any bit count, bit fields, RLE streams
// and both row orders. Damaged data draws what it holds; nothing is read beyond the given block.

#include "BitmapTypes.h"

#include <QImage>

// The whole DIB as a top-down image: Format_Indexed8 with the colour table for 1, 4 and 8 bits,
// Format_RGB32 for 16, 24 and 32 bits. A null image when the header is unusable.
QImage DIBToImage(const BITMAPINFO& info, const void* bits, size_t bitsSize);

// A colour table of the DIB's palette-sized bit counts, as Qt colours.
QList<QRgb> DIBColorTable(const BITMAPINFO& info);
