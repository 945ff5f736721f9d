#include "KpDIBInfos.h"

#include "platform/FileMapping.h"

#include <cstring>
#include <sys/mman.h>
#include <unistd.h>
#include <string>

namespace {

// Pixel blocks are written whole right after they are made. Faulting their pages in with one call
// instead of one fault per page halves the cost of a large block on virtual machines; where the
// kernel lacks the call, the pages fault in as they are touched.
void PrefaultBlock(void* block, size_t bytes) {
#ifdef MADV_POPULATE_WRITE
  constexpr size_t kWorthIt = 1 << 20;
  if (bytes < kWorthIt) return;
  const uintptr_t page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  const uintptr_t start = (reinterpret_cast<uintptr_t>(block) + page - 1) & ~(page - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(block) + bytes) & ~(page - 1);
  if (end > start) ::madvise(reinterpret_cast<void*>(start), end - start, MADV_POPULATE_WRITE);
#else
  (void)block, (void)bytes;
#endif
}

}  // namespace

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
    PrefaultBlock(view, bytes);
  } else {
    void* block = std::calloc(bytes ? bytes : 1, 1);
    if (!block) throw EOutOfMemory("Out of memory");
    PrefaultBlock(block, bytes);
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
