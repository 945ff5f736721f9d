#include "KpRLE.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

namespace {

// The escape codes that follow a zero first byte.
constexpr uint8_t kEndOfLine = 0;
constexpr uint8_t kEndOfBitmap = 1;
constexpr uint8_t kDelta = 2;

// Reads the stream strictly inside Src's block: a code, delta or literal that would run past its end
// means the stream was cut short.
class TRLEReader {
public:
  TRLEReader(const TKpDIBInfos& src, const char* cutShort)
      : FData(src.pBits), FSize(src.pBits && src.BitsSize > 0 ? src.BitsSize : 0), FCutShort(cutShort) {}

  const uint8_t* Take(int64_t count) {
    if (count > FSize - FPos) throw EKpDIBInvalidDIB(FCutShort);
    const uint8_t* bytes = FData + FPos;
    FPos += count;
    return bytes;
  }

private:
  const uint8_t* FData;
  int64_t FSize;
  int64_t FPos = 0;
  const char* FCutShort;
};

// Pixels x .. x + n - 1 of a 4-bit row. A pixel at an even x sets the whole byte (low nibble 0), one at
// an odd x is or-ed into the low nibble.
void PutRun4(uint8_t* row, int64_t x, int n, uint8_t value) {
  if (x & 1) {
    row[x >> 1] |= value >> 4;
    ++x;
    --n;
    value = static_cast<uint8_t>(value << 4 | value >> 4);  // the run now starts with the low nibble
  }
  uint8_t* bytes = row + (x >> 1);
  std::memset(bytes, value, static_cast<size_t>(n >> 1));
  if (n & 1) bytes[n >> 1] = value & 0xF0;
}

void PutLiteral4(uint8_t* row, int64_t x, int n, const uint8_t* nibbles) {
  if (!(x & 1)) {
    std::memcpy(row + (x >> 1), nibbles, static_cast<size_t>(n >> 1));
    if (n & 1) row[(x >> 1) + (n >> 1)] = nibbles[n >> 1] & 0xF0;
    return;
  }
  for (int i = 0; i < n; ++i, ++x) {
    const uint8_t pixel = i & 1 ? nibbles[i >> 1] & 0x0F : nibbles[i >> 1] >> 4;
    if (x & 1)
      row[x >> 1] |= pixel;
    else
      row[x >> 1] = static_cast<uint8_t>(pixel << 4);
  }
}

// The rows of an uncompressed source must lie inside its block.
void CheckSourceRows(const TKpDIBInfos& src, int64_t rowBytes, int64_t rows, const char* routine) {
  if (!src.pBits || rowBytes * rows > src.BitsSize)
    throw EKpDIBInvalidDIB(std::string(routine) + ": Pixel Block Too Small");
}

// Bits 8: one pixel a byte, counts up to 255, literals of two written as two single runs.
// Bits 4: two pixels a byte, counts up to 127 bytes, counts in the stream given in pixels and cut at the
// row's width, so the last byte of an odd-width row contributes one pixel.
template <int Bits>
class TRLEEncoder {
public:
  static constexpr int kMaxCount = Bits == 8 ? 255 : 127;

  TRLEEncoder(int32_t width, int32_t workSize, const char* compressionFailed, const char* absoluteError)
      : FWidth(width), FBuffer(std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(workSize))),
        FSize(workSize), FCompressionFailed(compressionFailed), FAbsoluteError(absoluteError) {}

  void EncodeRow(const uint8_t* row) {
    const int64_t count = Bits == 8 ? FWidth : (static_cast<int64_t>(FWidth) + 1) / 2;
    FWritten = 0;
    // The pending pixels: a single one (row[i - 1]), a run of value, or the literal row[start .. i - 1].
    enum { kSingle, kRun, kLiteral } state = kSingle;
    uint8_t value = row[0];
    int pending = 1;
    int64_t start = 0;
    for (int64_t i = 1; i < count; ++i) {
      const uint8_t q = row[i];
      switch (state) {
        case kSingle:
          if (q == value) {
            state = kRun;
          } else {
            state = kLiteral;
            start = i - 1;
          }
          pending = 2;
          break;
        case kRun:
          if (q == value && pending < kMaxCount) {
            ++pending;
          } else {
            WriteRun(pending, value);
            state = kSingle;
            value = q;
            pending = 1;
          }
          break;
        case kLiteral:
          if (q == row[i - 1]) {
            // the literal's last pixel starts a run with q instead
            WriteAbsolute(row + start, pending - 1);
            state = kRun;
            value = q;
            pending = 2;
          } else if (pending < kMaxCount) {
            ++pending;
          } else {
            WriteAbsolute(row + start, pending);
            state = kSingle;
            value = q;
            pending = 1;
          }
          break;
      }
    }
    if (state == kLiteral)
      WriteAbsolute(row + start, pending);
    else
      WriteRun(pending, value);
    Room(4);
    Put(0, kEndOfLine);
  }

  // The stream with its end code, in a new block of exactly its length.
  void Finish(const TKpDIBInfos& src, TKpDIBInfos& dst, bool useFMO) {
    Room(2);
    Put(0, kEndOfBitmap);
    TKpDIBInfos result = src;
    result.pBits = nullptr;
    result.hFile = 0;
    GetMemory(static_cast<int32_t>(FPos), result.hFile, result.pBits, useFMO);
    std::memcpy(result.pBits, FBuffer.get(), static_cast<size_t>(FPos));
    result.BitsSize = static_cast<int32_t>(FPos);
    result.W3Head.biHeight = AbsHeight(src);
    result.W3Head.biCompression = Bits == 8 ? BI_RLE8 : BI_RLE4;
    result.W3Head.biSizeImage = static_cast<uint32_t>(FPos);
    dst = result;
  }

private:
  void Room(int64_t needed) const {
    if (FSize - FPos < needed) throw EKpDIBCompressionFailed(FCompressionFailed);
  }
  void Put(uint8_t first, uint8_t second) {
    FBuffer[FPos++] = first;
    FBuffer[FPos++] = second;
  }
  // Pixels the stream may claim for count bytes, cut at the row's end.
  uint8_t Pixels(int count) {
    if constexpr (Bits == 8) return static_cast<uint8_t>(count);
    const int64_t pixels = std::min<int64_t>(2 * count, FWidth - FWritten);
    FWritten += pixels;
    return static_cast<uint8_t>(pixels);
  }

  void WriteRun(int count, uint8_t value) {
    Room(6);
    Put(Pixels(count), value);
  }

  void WriteAbsolute(const uint8_t* bytes, int length) {
    KpAssert(length > 0, FAbsoluteError);
    if (length == 1 || (Bits == 8 && length == 2)) {
      for (int i = 0; i < length; ++i) WriteRun(1, bytes[i]);
      return;
    }
    const int padded = (length + 1) & ~1;
    Room(padded + 6);
    Put(0, Pixels(length));
    std::memcpy(FBuffer.get() + FPos, bytes, static_cast<size_t>(length));
    if (length & 1) FBuffer[FPos + length] = 0;
    FPos += padded;
  }

  const int32_t FWidth;
  std::unique_ptr<uint8_t[]> FBuffer;
  const int64_t FSize;
  int64_t FPos = 0;
  int64_t FWritten = 0;  // pixels of the current row the stream has claimed
  const char* FCompressionFailed;
  const char* FAbsoluteError;
};

template <int Bits>
void EncodeRLE(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO, const char* routine, const char* badType,
               const char* compressionFailed, const char* absoluteError) {
  if (Src.W3Head.biBitCount != Bits || Src.W3Head.biCompression != BI_RGB) throw EKpDIBBadDIBType(badType);
  const int32_t height = AbsHeight(Src);
  // The work buffer is as large as the uncompressed block: an image that does not shrink is refused.
  const int32_t workSize =
      CheckedBitsSize(Src.W3Head.biWidth, height, Bits, (std::string(routine) + ": DIB is too large").c_str());
  const int64_t stride = RowBytes(Src);
  CheckSourceRows(Src, stride, height, routine);
  TRLEEncoder<Bits> encoder(Src.W3Head.biWidth, workSize, compressionFailed, absoluteError);
  const bool topDown = Src.W3Head.biHeight < 0;
  for (int32_t k = 0; k < height; ++k) encoder.EncodeRow(Src.pBits + (topDown ? height - 1 - k : k) * stride);
  encoder.Finish(Src, Dst, UseFMO);
}

}  // namespace

void Convert8BitRLETo8BitRGB(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO) {
  if (Src.W3Head.biBitCount != 8 || Src.W3Head.biCompression != BI_RLE8)
    throw EKpDIBBadDIBType("Convert8BitRLETo8BitRGB: Invalid Bitcount & Compression Combination");
  MakeConversionResult(Src, Dst, 8, UseFMO, "Convert8BitRLETo8BitRGB");
  TPixelBlockGuard guard(Dst, UseFMO);
  const int64_t width = Dst.W3Head.biWidth;
  const int64_t height = AbsHeight(Dst);
  const int64_t stride = RowBytes(Dst);
  TRLEReader in(Src, "Convert8BitRLETo8BitRGB: Bad RLE Data 5");
  int64_t x = 0;
  int64_t y = 0;
  for (;;) {
    const uint8_t* pair = in.Take(2);
    const uint8_t n = pair[0];
    const uint8_t code = pair[1];
    if (n > 0) {
      if (x + n > width || y >= height) throw EKpDIBInvalidDIB("Convert8BitRLETo8BitRGB: Bad RLE Data 4");
      std::memset(Dst.pBits + y * stride + x, code, n);
      x += n;
    } else if (code == kEndOfLine) {
      if (++y > height) throw EKpDIBInvalidDIB("Convert8BitRLETo8BitRGB: Bad RLE Data 1");
      x = 0;
    } else if (code == kEndOfBitmap) {
      break;
    } else if (code == kDelta) {
      const uint8_t* delta = in.Take(2);
      x += delta[0];
      y += delta[1];
      if (x > width || y > height) throw EKpDIBInvalidDIB("Convert8BitRLETo8BitRGB: Bad RLE Data 2");
    } else {
      if (x + code > width || y >= height) throw EKpDIBInvalidDIB("Convert8BitRLETo8BitRGB: Bad RLE Data 3");
      const uint8_t* literal = in.Take(code + (code & 1));
      std::memcpy(Dst.pBits + y * stride + x, literal, code);
      x += code;
    }
  }
  guard.Keep();
}

void Convert4BitRLETo4BitRGB(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO) {
  if (Src.W3Head.biBitCount != 4 || Src.W3Head.biCompression != BI_RLE4)
    throw EKpDIBBadDIBType("Convert4BitRLETo4BitRGB: Invalid Bitcount & Compression Combination");
  MakeConversionResult(Src, Dst, 4, UseFMO, "Convert4BitRLETo4BitRGB");
  TPixelBlockGuard guard(Dst, UseFMO);
  // An odd-width row may fill the spare nibble of its last byte.
  const int64_t limit = (static_cast<int64_t>(Dst.W3Head.biWidth) + 1) & ~int64_t{1};
  const int64_t height = AbsHeight(Dst);
  const int64_t stride = RowBytes(Dst);
  TRLEReader in(Src, "Convert4BitRLETo4BitRGB: Bad RLE Data 9");
  int64_t x = 0;
  int64_t y = 0;
  for (;;) {
    const uint8_t* pair = in.Take(2);
    const uint8_t n = pair[0];
    const uint8_t code = pair[1];
    if (n > 0) {
      if (x + n > limit || y >= height) throw EKpDIBInvalidDIB("Convert4BitRLETo4BitRGB: Bad RLE Data 8");
      PutRun4(Dst.pBits + y * stride, x, n, code);
      x += n;
    } else if (code == kEndOfLine) {
      if (++y > height) throw EKpDIBInvalidDIB("Convert4BitRLETo4BitRGB: Bad RLE Data 5");
      x = 0;
    } else if (code == kEndOfBitmap) {
      break;
    } else if (code == kDelta) {
      const uint8_t* delta = in.Take(2);
      x += delta[0];
      y += delta[1];
      if (x > limit || y > height) throw EKpDIBInvalidDIB("Convert4BitRLETo4BitRGB: Bad RLE Data 6");
    } else {
      if (x + code > limit || y >= height) throw EKpDIBInvalidDIB("Convert4BitRLETo4BitRGB: Bad RLE Data 7");
      const uint8_t* nibbles = in.Take(2 * ((code + 3) / 4));
      PutLiteral4(Dst.pBits + y * stride, x, code, nibbles);
      x += code;
    }
  }
  guard.Keep();
}

void Convert8BitRGBTo8BitRLE(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO) {
  EncodeRLE<8>(Src, Dst, UseFMO, "Convert8BitRGBTo8BitRLE",
               "Convert8BitRGBTo8BitRLE: Invalid Bitcount & Compression Combination",
               "Convert8BitRGBTo8BitRLE: Compression Failed", "Convert8BitRGBTo8BitRLE: WriteAbsolute Error");
}

void Convert4BitRGBTo4BitRLE(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO) {
  EncodeRLE<4>(Src, Dst, UseFMO, "Convert4BitRGBTo4BitRLE",
               "Convert4BitRGBTo4BitRLE: Invalid Bitcount & Compression Combination",
               "Convert4BitRGBTo4BitRLE: Compression Failed", "Convert4BitRGBTo4BitRLE: WriteAbsolute Error");
}
