// Fuzz target: one decoder module (the one linked in) over the memory-block source. The head probe,
// GetPictureInfo and GetPicture run on every input; inputs whose length is a multiple of 16 are told
// to stop at the third progress report. Every local-memory handle must be freed again.

#include "ModuleEdge.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Pictures larger than this are only measured: decoding them would measure the machine's memory.
constexpr int64_t kMostPixels = 16 * 1024 * 1024;

int32_t StopAtThird(int32_t, int32_t, intptr_t data) {
  auto* calls = reinterpret_cast<int*>(data);
  return ++*calls >= 3 ? 1 : 0;
}

int32_t GoOn(int32_t, int32_t, intptr_t) { return 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > INT32_MAX) return 0;
  const size_t liveAtStart = LocalLiveHandles();
  const char* block = reinterpret_cast<const char*>(data);
  const auto length = static_cast<int32_t>(size);

  std::vector<uint8_t> head(SPI_HEAD_BYTES + 128, 0);
  std::memcpy(head.data(), data, std::min(size, head.size()));
  IsSupported("fuzz", head.data());

  TPictureInfo info{};
  if (GetPictureInfo(block, length, SPI_SOURCE_MEMORY, &info) == SPI_SUCCESS) {
    if (info.Width <= 0 || info.Height <= 0) std::abort();
    if (int64_t{info.Width} * info.Height > kMostPixels) return 0;
  }
  HLOCAL bitmapInfo = 0, bits = 0;
  int calls = 0;
  const bool stop = size % 16 == 0;
  const int32_t result = GetPicture(block, length, SPI_SOURCE_MEMORY, &bitmapInfo, &bits, stop ? StopAtThird : GoOn,
                                    reinterpret_cast<intptr_t>(&calls));
  if (result == SPI_SUCCESS) {
    if (bitmapInfo == 0 || bits == 0) std::abort();
    // The header must describe the pixel block it comes with.
    const auto* header = static_cast<const tvplugin::TDibHeader*>(LocalLock(bitmapInfo));
    const size_t stride = (static_cast<size_t>(header->biWidth) * header->biBitCount + 31) / 32 * 4;
    if (header->biHeight <= 0 || LocalSize(bits) < stride * static_cast<size_t>(header->biHeight)) std::abort();
    LocalUnlock(bitmapInfo);
    LocalFree(bitmapInfo);
    LocalFree(bits);
  } else if (bitmapInfo != 0 || bits != 0) {
    std::abort();
  }
  if (LocalLiveHandles() != liveAtStart) std::abort();
  return 0;
}
