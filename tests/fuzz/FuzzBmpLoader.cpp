// Fuzz target: a BMP file read into the DIB storage, then drawn out of it as every reader would.

#include "dib/KpInternalDIB.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TKpInternalDIB dib(size % 2 == 0);
  TReadOnlyMemoryStream stream(data, size);
  try {
    dib.LoadFromStream(stream);
    // A loaded RLE picture must decode or fail cleanly too (small ones only: a few bytes of RLE may
    // rightly describe a picture of gigabytes, which is slow, not wrong).
    const TKpPixelFormat format = dib.GetPixelFormat();
    if ((format == kpPf4BitRLE || format == kpPf8BitRLE) && int64_t{dib.Width} * dib.Height <= 1 << 22)
      dib.SetPixelFormat(kpPf24Bit, kpCmNormal, [] {}, 0xFFFFFF);
    TMemoryStream out;
    dib.SaveToStream(out);
  } catch (const Exception&) {
  }
  return 0;
}
