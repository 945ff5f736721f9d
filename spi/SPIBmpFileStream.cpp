#include "SPIBmpFileStream.h"

#include "platform/Exceptions.h"

#include <algorithm>
#include <cstring>

BITMAPFILEHEADER TSPIBmpFileStream::FileHeader(int32_t InfoSize, int32_t BitsSize) {
  const uint32_t offset = static_cast<uint32_t>(sizeof(BITMAPFILEHEADER)) + static_cast<uint32_t>(InfoSize);
  return BITMAPFILEHEADER{kBitmapFileType, offset + static_cast<uint32_t>(BitsSize), 0, 0, offset};
}

TSPIBmpFileStream::TSPIBmpFileStream(const void* Info, int32_t InfoSize, const void* Bits, int32_t BitsSize)
    : FHeader(FileHeader(InfoSize, BitsSize)),
      FSegments{{reinterpret_cast<const uint8_t*>(&FHeader), sizeof(BITMAPFILEHEADER)},
                {static_cast<const uint8_t*>(Info), InfoSize},
                {static_cast<const uint8_t*>(Bits), BitsSize}},
      FSize(int64_t{sizeof(BITMAPFILEHEADER)} + InfoSize + BitsSize) {}

int64_t TSPIBmpFileStream::Read(void* buffer, int64_t count) {
  int64_t done = 0;
  int64_t start = 0;
  auto* out = static_cast<uint8_t*>(buffer);
  for (const TSegment& segment : FSegments) {
    const int64_t end = start + segment.Size;
    if (count > done && FPosition < end) {
      const int64_t n = std::min(count - done, end - FPosition);
      std::memcpy(out + done, segment.Data + (FPosition - start), static_cast<size_t>(n));
      done += n;
      FPosition += n;
    }
    start = end;
  }
  return done;
}

int64_t TSPIBmpFileStream::Write(const void*, int64_t) { return 0; }

int64_t TSPIBmpFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int64_t base = origin == TSeekOrigin::soBeginning ? 0 : origin == TSeekOrigin::soCurrent ? FPosition : FSize;
  FPosition = std::max<int64_t>(0, base + offset);
  return FPosition;
}

void TSPIBmpFileStream::SetSize(int64_t) { throw EWriteError("Stream write error"); }
