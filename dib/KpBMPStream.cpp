// BMP files and packed DIBs: reading with full validation, 16- and 32-bit pixels turned into 24 bits,
// and writing in the library's one form (40-byte header, exact colour table, no masks).

#include "KpInternalDIB.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

namespace {

constexpr uint32_t kFileHeaderSize = sizeof(BITMAPFILEHEADER);
constexpr uint32_t kInfoHeaderSize = sizeof(BITMAPINFOHEADER);
constexpr uint32_t kCoreHeaderSize = sizeof(BITMAPCOREHEADER);
constexpr uint32_t kMasksSize = 12;
constexpr uint32_t kColorTableSize = 256 * sizeof(RGBQUAD);

bool IsStoredBitCount(uint32_t bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 24; }

void FixResolution(BITMAPINFOHEADER& head) {
  if (head.biXPelsPerMeter == 0) head.biXPelsPerMeter = kDefaultPelsPerMeter;
  if (head.biYPelsPerMeter == 0) head.biYPelsPerMeter = kDefaultPelsPerMeter;
}

// The core header and its RGBTRIPLE colours become the stored 40-byte header with RGBQUAD colours.
void CoreToInfoHeader(TKpDIBInfos& infos) {
  const BITMAPCOREHEADER core = infos.PMHead;
  const uint32_t count = DefaultClrUsed(core.bcBitCount);
  RGBTRIPLE triples[256];
  std::memcpy(triples, infos.PMHeadInfo.bmciColors, count * sizeof(RGBTRIPLE));
  std::memset(infos.Dummy, 0, sizeof(infos.Dummy));
  BITMAPINFOHEADER& head = infos.W3Head;
  head.biSize = kInfoHeaderSize;
  head.biWidth = core.bcWidth;
  head.biHeight = core.bcHeight;
  head.biPlanes = core.bcPlanes;
  head.biBitCount = core.bcBitCount;
  head.biXPelsPerMeter = kDefaultPelsPerMeter;
  head.biYPelsPerMeter = kDefaultPelsPerMeter;
  head.biClrUsed = count;
  for (uint32_t i = 0; i < count; ++i)
    infos.Colors()[i] = RGBQUAD{triples[i].rgbtBlue, triples[i].rgbtGreen, triples[i].rgbtRed, 0};
}

void CheckWidthAndHeight(const BITMAPINFOHEADER& head) {
  if (head.biWidth <= 0 || head.biHeight == 0 || head.biHeight == INT32_MIN)
    throw EKpDIBInvalidDIB("TKpInternalDIB.LoadFromStream: Invalid Width or Height");
}

// Rows of an uncompressed block: their total must fit a pixel block and the data must cover them.
void CheckPixelBlock(const TKpDIBInfos& infos, const char* message) {
  const BITMAPINFOHEADER& head = infos.W3Head;
  if (infos.BitsSize <= 0) throw EKpDIBInvalidDIB(message);
  // An RLE stream has no row structure to check before it is decoded; anything else is read as rows.
  const bool rle = (head.biBitCount == 8 && head.biCompression == BI_RLE8) || (head.biBitCount == 4 && head.biCompression == BI_RLE4);
  if (rle) return;
  const int64_t row = DIBRowBytes(head.biWidth, head.biBitCount);
  if (row > infos.BitsSize / AbsHeight(infos)) throw EKpDIBInvalidDIB(message);
}

// One channel of a bit-field mask: pixel values (p and mask) moved by the shift land in 0..Scale,
// and Levels maps them to 0..255.
struct TMaskChannel {
  uint32_t Mask;
  int Shift;
  uint8_t Levels[256];

  explicit TMaskChannel(uint32_t mask) : Mask(mask), Shift(0) {
    uint32_t scale = mask;
    while (scale >= 256) {
      scale >>= 1;
      ++Shift;
    }
    while (scale < 128) {
      scale <<= 1;
      --Shift;
    }
    for (uint32_t v = 0; v < 256; ++v) Levels[v] = static_cast<uint8_t>(std::min<uint32_t>(v, scale) * 255 / scale);
  }
  uint8_t Value(uint32_t pixel) const {
    const uint32_t bits = pixel & Mask;
    return Levels[Shift >= 0 ? bits >> Shift : bits << -Shift];
  }
};

// Builds a 24-bit block from 16- or 32-bit rows that readRow delivers in storage order. On entry the
// header holds the file's header and (with bit fields) the masks; on return it describes 24 bits.
void ConvertHighColorTo24(TKpDIBInfos& infos, bool useFMO, const std::function<void(uint8_t*, size_t)>& readRow) {
  BITMAPINFOHEADER& head = infos.W3Head;
  const bool sixteen = head.biBitCount == 16;
  const bool bitFields = head.biCompression == BI_BITFIELDS;
  uint32_t masks[3];
  if (bitFields) std::memcpy(masks, infos.Dummy + kInfoHeaderSize, sizeof(masks));
  else if (sixteen) masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
  else masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
  if (masks[0] == 0 || masks[1] == 0 || masks[2] == 0)
    throw EKpDIBInvalidDIB("TKpInternalDIB.LoadFromStream: Invalid Masks");

  const int64_t width = head.biWidth;
  const int64_t rows = AbsHeight(infos);
  const int64_t srcRow = sixteen ? (width * 2 + 3) & ~int64_t{3} : width * 4;
  const int64_t dstRow = (width * 3 + 3) & ~int64_t{3};
  if (dstRow > kMaxBitsSize / rows) throw EKpDIBInvalidDIB("TKpInternalDIB.LoadFromStream: Invalid Width or Height");
  infos.BitsSize = static_cast<int32_t>(dstRow * rows);
  GetMemory(infos.BitsSize, infos.hFile, infos.pBits, useFMO);

  const TMaskChannel red(masks[0]), green(masks[1]), blue(masks[2]);
  std::vector<uint8_t> scratch = WorkVector<uint8_t>(static_cast<size_t>(srcRow));
  for (int64_t y = 0; y < rows; ++y) {
    readRow(scratch.data(), scratch.size());
    uint8_t* out = infos.pBits + y * dstRow;
    std::memset(out + dstRow - std::min<int64_t>(dstRow, 4), 0, static_cast<size_t>(std::min<int64_t>(dstRow, 4)));
    const uint8_t* in = scratch.data();
    for (int64_t x = 0; x < width; ++x, out += 3) {
      uint32_t p;
      if (sixteen) p = in[2 * x] | in[2 * x + 1] << 8;
      else std::memcpy(&p, in + 4 * x, 4);
      out[0] = blue.Value(p);
      out[1] = green.Value(p);
      out[2] = red.Value(p);
    }
  }
  if (bitFields) std::memmove(infos.Dummy + kInfoHeaderSize, infos.Dummy + kInfoHeaderSize + kMasksSize, kColorTableSize);
  head.biCompression = BI_RGB;
  head.biBitCount = 24;
  head.biSizeImage = 0;
}

}  // namespace

void TKpInternalDIB::LoadFromStream(TStream& Stream) {
  TKpDIBInfos infos;
  TPixelBlockGuard guard(infos, UseFMO);

  BITMAPFILEHEADER file;
  Stream.ReadBuffer(&file, kFileHeaderSize);
  if (file.bfType != kBitmapFileType) throw EKpDIBInvalidDIBFile("TKpInternalDIB.LoadFromFile: File type is invalid");
  uint32_t headerSize;
  Stream.ReadBuffer(&headerSize, 4);
  BITMAPINFOHEADER& head = infos.W3Head;
  head.biSize = headerSize;
  const auto checkOffBits = [&](int64_t needed) {
    if (file.bfOffBits < needed) throw EKpDIBInvalidDIB("TKpInternalDIB.LoadFromFile: bfOffBits is too small");
    Stream.Seek(file.bfOffBits - needed, TSeekOrigin::soCurrent);
  };
  infos.BitsSize = static_cast<int32_t>(file.bfSize - file.bfOffBits);

  if (headerSize == kInfoHeaderSize) {
    Stream.ReadBuffer(infos.Dummy + 4, kInfoHeaderSize - 4);
    FixResolution(head);
    const uint16_t bits = head.biBitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
      throw EKpDIBInvalidDIB("TKpInternalDIB.LoadFromStream: Invalid BitCout");
    if (head.biClrUsed == 0) head.biClrUsed = DefaultClrUsed(bits);
    const int64_t colors = head.biClrUsed;
    const int64_t masks = head.biCompression == BI_BITFIELDS ? kMasksSize : 0;
    const int64_t tableBytes = masks + std::min<int64_t>(colors, 256) * 4;
    Stream.ReadBuffer(infos.Dummy + kInfoHeaderSize, tableBytes);
    if (colors > 256) Stream.Seek((colors - 256) * 4, TSeekOrigin::soCurrent);
    checkOffBits(kFileHeaderSize + kInfoHeaderSize + colors * 4 + masks);
    head.biClrUsed = static_cast<uint32_t>(std::min<int64_t>(colors, 256));
  } else if (headerSize == kCoreHeaderSize) {
    Stream.ReadBuffer(infos.Dummy + 4, kCoreHeaderSize - 4);
    if (!IsStoredBitCount(infos.PMHead.bcBitCount))
      throw EKpDIBInvalidDIB("TKpInternalDIB.LoadFromStream: Invalid BitCount");
    const uint32_t colors = DefaultClrUsed(infos.PMHead.bcBitCount);
    Stream.ReadBuffer(infos.Dummy + kCoreHeaderSize, colors * sizeof(RGBTRIPLE));
    checkOffBits(kCoreHeaderSize + kFileHeaderSize + colors * sizeof(RGBTRIPLE));
    CoreToInfoHeader(infos);
  } else {
    throw EKpDIBInvalidDIB("TKpInternalDIB.LoadFromStream: Invalid Bitmap Header Size");
  }
  CheckWidthAndHeight(head);

  const int64_t available = Stream.Size() - Stream.Position();
  if (IsStoredBitCount(head.biBitCount)) {
    CheckPixelBlock(infos, "TKpInternalDIB.LoadFromStream: Invalid Bits Size");
    // A header that promises more than the stream holds fails as the read would, before allocating.
    if (infos.BitsSize > available) throw EReadError("Stream read error");
    GetMemory(infos.BitsSize, infos.hFile, infos.pBits, UseFMO);
    Stream.ReadBuffer(infos.pBits, infos.BitsSize);
  } else if (head.biBitCount == 16 || head.biBitCount == 32) {
    const int64_t srcRow = head.biBitCount == 16 ? (int64_t{head.biWidth} * 2 + 3) & ~int64_t{3} : int64_t{head.biWidth} * 4;
    if (srcRow > available / AbsHeight(infos)) throw EReadError("Stream read error");
    ConvertHighColorTo24(infos, UseFMO, [&](uint8_t* row, size_t size) { Stream.ReadBuffer(row, static_cast<int64_t>(size)); });
  } else {
    throw EKpDIBInvalidDIB("TKpInternalDIB.LoadFromStream: Invalid biBitCount");
  }
  guard.Keep();
  Install(infos);
}

void TKpInternalDIB::SaveToStream(TStream& Stream) const {
  const uint32_t tableBytes = DIBInfos.W3Head.biClrUsed * 4;
  BITMAPFILEHEADER file{kBitmapFileType, 0, 0, 0, kFileHeaderSize + kInfoHeaderSize + tableBytes};
  file.bfSize = file.bfOffBits + static_cast<uint32_t>(DIBInfos.BitsSize);
  Stream.WriteBuffer(&file, kFileHeaderSize);
  Stream.WriteBuffer(DIBInfos.Dummy, kInfoHeaderSize + tableBytes);
  Stream.WriteBuffer(DIBInfos.pBits, DIBInfos.BitsSize);
}

void TKpInternalDIB::LoadFromClipboardFormat(HGLOBAL hData) {
  const auto* block = static_cast<const uint8_t*>(GlobalLock(hData));
  if (!block) throw EKpDIBInvalidDIB("TKpDIB.LoadFromClipboardFormat: Invalid Clipboard Data");
  struct TUnlock {
    HGLOBAL Handle;
    ~TUnlock() { GlobalUnlock(Handle); }
  } unlock{hData};
  const int64_t blockSize = static_cast<int64_t>(GlobalSize(hData));

  TKpDIBInfos infos;
  TPixelBlockGuard guard(infos, UseFMO);
  BITMAPINFOHEADER& head = infos.W3Head;
  const auto invalid = [] { return EKpDIBInvalidDIB("TKpDIB.LoadFromClipboardFormat: Invalid Clipboard Data"); };
  uint32_t headerSize = 0;
  if (blockSize >= 4) std::memcpy(&headerSize, block, 4);
  int64_t h;
  if (headerSize == kInfoHeaderSize && blockSize >= kInfoHeaderSize) {
    std::memcpy(infos.Dummy, block, kInfoHeaderSize);
    const int64_t colors = head.biClrUsed ? head.biClrUsed : DefaultClrUsed(head.biBitCount);
    h = colors * 4 + kInfoHeaderSize + (head.biCompression == BI_BITFIELDS ? kMasksSize : 0);
    if (h > blockSize) throw invalid();
    std::memcpy(infos.Dummy, block, static_cast<size_t>(std::min<int64_t>(h, 1076)));
    FixResolution(head);
    head.biClrUsed = static_cast<uint32_t>(std::min<int64_t>(colors, 256));
  } else if (headerSize == kCoreHeaderSize && blockSize >= kCoreHeaderSize) {
    std::memcpy(infos.Dummy, block, kCoreHeaderSize);
    h = DefaultClrUsed(infos.PMHead.bcBitCount) * 3 + kCoreHeaderSize;
    if (h > blockSize) throw invalid();
    std::memcpy(infos.Dummy, block, static_cast<size_t>(h));
    CoreToInfoHeader(infos);
  } else {
    throw invalid();
  }
  infos.BitsSize = static_cast<int32_t>(std::min<int64_t>(blockSize - h, kMaxBitsSize));
  CheckWidthAndHeight(head);

  if (IsStoredBitCount(head.biBitCount)) {
    CheckPixelBlock(infos, "TKpDIB.LoadFromClipboardFormat: Invalid Clipboard Data");
    GetMemory(infos.BitsSize, infos.hFile, infos.pBits, UseFMO);
    std::memcpy(infos.pBits, block + h, static_cast<size_t>(infos.BitsSize));
  } else if (head.biBitCount == 16 || head.biBitCount == 32) {
    const int64_t srcRow = head.biBitCount == 16 ? (int64_t{head.biWidth} * 2 + 3) & ~int64_t{3} : int64_t{head.biWidth} * 4;
    if (srcRow > (blockSize - h) / AbsHeight(infos)) throw invalid();
    const uint8_t* next = block + h;
    ConvertHighColorTo24(infos, UseFMO, [&](uint8_t* row, size_t size) {
      std::memcpy(row, next, size);
      next += size;
    });
  } else {
    throw EKpDIBInvalidDIB("TKpInternalDIB.LoadFromClipboardFormat: Invalid biBitCount");
  }
  guard.Keep();
  Install(infos);
}

HGLOBAL TKpInternalDIB::SaveToClipboardFormat() const {
  const size_t infoBytes = kInfoHeaderSize + DIBInfos.W3Head.biClrUsed * 4;
  const HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, infoBytes + static_cast<size_t>(DIBInfos.BitsSize));
  if (!handle) throw EOutOfMemory("TKpInternalDIB.SaveToClipboardFormat: Out Of Memory");
  auto* block = static_cast<uint8_t*>(GlobalLock(handle));
  std::memcpy(block, DIBInfos.Dummy, infoBytes);
  std::memcpy(block + infoBytes, DIBInfos.pBits, static_cast<size_t>(DIBInfos.BitsSize));
  GlobalUnlock(handle);
  return handle;
}
