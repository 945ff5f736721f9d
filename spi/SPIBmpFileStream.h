#pragma once
// A decoded picture read as a BMP file without copying it: the 14-byte file header, then the
// module's header block and pixel block in place. Read only; the blocks must outlive the stream.

#include "platform/BitmapTypes.h"
#include "platform/Streams.h"

class TSPIBmpFileStream : public TStream {
public:
  TSPIBmpFileStream(const void* Info, int32_t InfoSize, const void* Bits, int32_t BitsSize);

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t GetSize() override { return FSize; }
  void SetSize(int64_t size) override;

  // The file header of a BMP file with these two blocks.
  static BITMAPFILEHEADER FileHeader(int32_t InfoSize, int32_t BitsSize);

private:
  struct TSegment {
    const uint8_t* Data;
    int64_t Size;
  };

  BITMAPFILEHEADER FHeader;
  TSegment FSegments[3];
  int64_t FSize;
  int64_t FPosition = 0;
};
