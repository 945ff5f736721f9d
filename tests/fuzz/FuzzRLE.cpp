// Fuzz target: RLE4 and RLE8 streams decoded into rows; whatever decodes must encode and decode back
// to the same rows when the encoder can fit it.

#include "dib/KpRLE.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

struct TOwned {
  TKpDIBInfos Infos;
  ~TOwned() {
    if (Infos.pBits) ReleaseMemory(Infos.hFile, Infos.pBits, false);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const bool fourBit = data[0] & 1;
  TOwned source;
  BITMAPINFOHEADER& head = source.Infos.W3Head;
  head.biSize = 40;
  head.biWidth = 1 + data[1] % 64;
  head.biHeight = 1 + data[2] % 64;
  head.biPlanes = 1;
  head.biBitCount = fourBit ? 4 : 8;
  head.biCompression = fourBit ? BI_RLE4 : BI_RLE8;
  head.biClrUsed = fourBit ? 16 : 256;
  // The stream gets a block of its own size, so reading past it is caught.
  GetMemory(static_cast<int32_t>(size - 3), source.Infos.hFile, source.Infos.pBits, false);
  std::memcpy(source.Infos.pBits, data + 3, size - 3);
  source.Infos.BitsSize = static_cast<int32_t>(size - 3);

  TOwned decoded;
  try {
    (fourBit ? Convert4BitRLETo4BitRGB : Convert8BitRLETo8BitRGB)(source.Infos, decoded.Infos, false);
  } catch (const Exception&) {
    return 0;
  }
  TOwned encoded;
  TOwned again;
  try {
    (fourBit ? Convert4BitRGBTo4BitRLE : Convert8BitRGBTo8BitRLE)(decoded.Infos, encoded.Infos, false);
  } catch (const EKpDIBCompressionFailed&) {
    return 0;
  }
  (fourBit ? Convert4BitRLETo4BitRGB : Convert8BitRLETo8BitRGB)(encoded.Infos, again.Infos, false);
  // Rows compare over their pixels; an odd 4-bit width leaves a spare nibble that need not survive.
  const int64_t stride = RowBytes(decoded.Infos);
  const int64_t pixelBytes = fourBit ? (head.biWidth + 1) / 2 : head.biWidth;
  for (int64_t y = 0; y < head.biHeight; ++y) {
    const uint8_t* a = decoded.Infos.pBits + y * stride;
    const uint8_t* b = again.Infos.pBits + y * stride;
    for (int64_t x = 0; x < pixelBytes; ++x) {
      const uint8_t mask = fourBit && head.biWidth % 2 && x == pixelBytes - 1 ? 0xF0 : 0xFF;
      if ((a[x] & mask) != (b[x] & mask)) std::abort();
    }
  }
  return 0;
}
