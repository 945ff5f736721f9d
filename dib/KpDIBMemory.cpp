#include "KpDIBInfos.h"

#include "platform/FileMapping.h"

#include <cstring>
#include <string>

int32_t CheckedBitsSize(int64_t width, int64_t height, int64_t bitCount, const char* message) {
  if (width <= 0 || height <= 0 || width > kMaxBitsSize || height > kMaxBitsSize) throw EKpDIBInvalidDIB(message);
  const int64_t row = DIBRowBytes(width, bitCount);
  if (row > kMaxBitsSize / height) throw EKpDIBInvalidDIB(message);
  return static_cast<int32_t>(row * height);
}

void GetMemory(int32_t size, uint32_t& hFile, uint8_t*& pBits, bool useFMO) {
  const size_t bytes = size > 0 ? static_cast<size_t>(size) : 0;
  if (useFMO) {
    const HANDLE mapping = CreateFileMapping(bytes);
    if (mapping == 0) throw EOutOfResources("GetMemory: Cannot Make File Mapping Object");
    void* view = MapViewOfFile(mapping, bytes);
    if (!view) {
      CloseHandle(mapping);
      throw EOutOfResources("GetMemory: Cannot Make View of File Map");
    }
    hFile = mapping;
    pBits = static_cast<uint8_t*>(view);
  } else {
    void* block = std::calloc(bytes ? bytes : 1, 1);
    if (!block) throw EOutOfMemory("Out of memory");
    hFile = 0;
    pBits = static_cast<uint8_t*>(block);
  }
}

void ReleaseMemory(uint32_t hFile, uint8_t* pBits, bool useFMO) {
  if (useFMO) {
    KpAssert(UnmapViewOfFile(pBits), "ReleaseMemory: Failed To Unmap View of File map");
    KpAssert(CloseHandle(hFile), "ReleaseMemory: Failed To Close File Map");
  } else {
    std::free(pBits);
  }
}

void MakeConversionResult(const TKpDIBInfos& src, TKpDIBInfos& dst, uint16_t bitCount, bool useFMO, const char* routine) {
  dst = src;
  dst.pBits = nullptr;
  dst.hFile = 0;
  dst.BitsSize = 0;
  const int32_t size = CheckedBitsSize(src.W3Head.biWidth, AbsHeight(src), bitCount, (std::string(routine) + ": DIB is too large").c_str());
  GetMemory(size, dst.hFile, dst.pBits, useFMO);
  dst.BitsSize = size;
  dst.W3Head.biBitCount = bitCount;
  dst.W3Head.biCompression = BI_RGB;
  dst.W3Head.biSizeImage = 0;
}
