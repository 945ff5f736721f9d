#pragma once
// One DIB as the library stores it: a 40-byte info header, up to 256 RGBQUAD colours and one pixel
// block, in the layout that DIB drawing takes directly.

#include "KpDIBErrors.h"
#include "platform/BitmapTypes.h"

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <new>
#include <vector>

#pragma pack(push, 1)
struct TKpDIBInfos {
  int32_t BitsSize = 0;      // bytes in the pixel block
  uint32_t hFile = 0;        // file-mapping object holding the block; 0 for a heap block
  uint8_t* pBits = nullptr;  // the pixel block, nullptr when there is none
  union {
    BITMAPINFOHEADER W3Head;
    BITMAPINFO W3HeadInfo;
    BITMAPCOREHEADER PMHead;
    BITMAPCOREINFO PMHeadInfo;
    uint8_t Dummy[1080];  // header, three bit-field masks and 256 colours
  };
  TKpDIBInfos() : Dummy{} {}

  RGBQUAD* Colors() { return W3HeadInfo.bmiColors; }
  const RGBQUAD* Colors() const { return W3HeadInfo.bmiColors; }
};
#pragma pack(pop)

enum TKpPixelFormat { kpPf1Bit, kpPf4Bit, kpPf4BitRLE, kpPf8Bit, kpPf8BitRLE, kpPf24Bit, kpPfHalftone, kpPfHalftoneBW };
enum TKpConvertMode { kpCmNormal, kpCmFine };

constexpr int32_t kDefaultPelsPerMeter = 3780;  // 96 dots per inch

// Colour-table entries a bit count implies when biClrUsed is 0.
constexpr uint32_t DefaultClrUsed(uint32_t bitCount) {
  return bitCount == 1 ? 2 : bitCount == 4 ? 16 : bitCount == 8 ? 256 : 0;
}

inline int32_t AbsHeight(const TKpDIBInfos& infos) {
  const int32_t h = infos.W3Head.biHeight;
  return h == INT32_MIN ? INT32_MAX : h < 0 ? -h : h;
}

inline int64_t RowBytes(const TKpDIBInfos& infos) { return DIBRowBytes(infos.W3Head.biWidth, infos.W3Head.biBitCount); }

// Largest pixel block the library makes or accepts: BitsSize is a signed 32-bit count.
constexpr int64_t kMaxBitsSize = INT32_MAX;

// Bytes of width x |height| uncompressed rows of bitCount bits, checked: a size that does not fit
// raises EKpDIBInvalidDIB with message.
int32_t CheckedBitsSize(int64_t width, int64_t height, int64_t bitCount, const char* message);

// Pixel blocks: an anonymous file mapping (useFMO) or a heap block, zero-filled.
void GetMemory(int32_t size, uint32_t& hFile, uint8_t*& pBits, bool useFMO);
void ReleaseMemory(uint32_t hFile, uint8_t* pBits, bool useFMO);

// Work memory of a routine: what cannot be had raises EOutOfMemory, as a pixel block would.
template <class T>
std::vector<T> WorkVector(size_t size, const T& value = T{}) {
  try {
    return std::vector<T>(size, value);
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory("Out of memory");
  }
}

// Releases the pixel block of a record that a routine is still building, unless Keep() is called.
class TPixelBlockGuard {
public:
  TPixelBlockGuard(TKpDIBInfos& infos, bool useFMO) : FInfos(infos), FUseFMO(useFMO) {}
  ~TPixelBlockGuard() {
    if (FArmed && FInfos.pBits) {
      ReleaseMemory(FInfos.hFile, FInfos.pBits, FUseFMO);
      FInfos.pBits = nullptr;
      FInfos.hFile = 0;
      FInfos.BitsSize = 0;
    }
  }
  TPixelBlockGuard(const TPixelBlockGuard&) = delete;
  TPixelBlockGuard& operator=(const TPixelBlockGuard&) = delete;
  void Keep() { FArmed = false; }

private:
  TKpDIBInfos& FInfos;
  bool FUseFMO;
  bool FArmed = true;
};

// Starts a conversion result: a copy of src's header and colour table with a new zero-filled block
// of |height| rows of bitCount bits, biBitCount := bitCount, biCompression and biSizeImage := 0.
// A result too large for a pixel block raises EKpDIBInvalidDIB "<routine>: DIB is too large".
void MakeConversionResult(const TKpDIBInfos& src, TKpDIBInfos& dst, uint16_t bitCount, bool useFMO, const char* routine);

// The callback that colour-reducing routines call once per step of their work.
using TKpProgressCallback = std::function<void()>;
