#pragma once
// What a decoder module's two blocks hold, read from the bitmap header it returned: a header with
// its colour table, then uncompressed pixel rows.

#include <cstddef>
#include <cstdint>

struct TSPIDecodedLayout {
  int32_t Width = 0;       // biWidth
  int32_t Height = 0;      // biHeight, negative for rows stored top-down
  int32_t BitCount = 0;    // biBitCount
  int32_t ColorCount = 0;  // biClrUsed, or the full table of 1, 4 and 8 bits when that is 0
  int32_t InfoSize = 0;    // header and colour table: 40 + 4 * ColorCount
  int32_t BitsSize = 0;    // pixel rows: whole 32-bit words a row, times abs(Height)
};

// The layout of the header at Info, or false when it cannot describe a picture or when the blocks
// are smaller than it says (InfoBytes and BitsBytes are the blocks' sizes): such a picture is
// never read.
bool ReadDecodedLayout(const void* Info, size_t InfoBytes, size_t BitsBytes, TSPIDecodedLayout& Layout);
