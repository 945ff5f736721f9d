#include "KpInternalDIB.h"

#include <cstring>

TKpInternalDIB::TKpInternalDIB(bool AnUseFMO) : UseFMO(AnUseFMO) { CreateDIB(1, 1, 256, 8); }

TKpInternalDIB::~TKpInternalDIB() {
  try {
    FreeDIB();
  } catch (const EAssertionFailed&) {
    // a block that cannot be unmapped is lost either way; a destructor must not throw
  }
}

void TKpInternalDIB::CreateDIB(int32_t AWidth, int32_t AHeight, int32_t ClrUsed, int32_t BitCount) {
  const bool valid = AWidth > 0 && AHeight != 0 && AHeight != INT32_MIN && ClrUsed >= 0 && ClrUsed <= 256 &&
                     (BitCount == 1 || BitCount == 4 || BitCount == 8 || BitCount == 24);
  const int64_t rows = AHeight < 0 ? -static_cast<int64_t>(AHeight) : AHeight;
  if (!valid || DIBRowBytes(AWidth, BitCount) > kMaxBitsSize / rows)
    throw EKpDIBInvalidDIBPara("TKpInternalDIB.CreateDIB: Invalid Parameters");
  const int32_t size = static_cast<int32_t>(rows * DIBRowBytes(AWidth, BitCount));
  GetMemory(size, DIBInfos.hFile, DIBInfos.pBits, UseFMO);
  DIBInfos.BitsSize = size;
  Palette = 0;
  Width = AWidth;
  Height = static_cast<int32_t>(rows);
  std::memset(DIBInfos.Dummy, 0, sizeof(DIBInfos.Dummy));
  BITMAPINFOHEADER& head = DIBInfos.W3Head;
  head.biSize = 40;
  head.biWidth = AWidth;
  head.biHeight = AHeight;
  head.biPlanes = 1;
  head.biBitCount = static_cast<uint16_t>(BitCount);
  head.biCompression = BI_RGB;
  head.biXPelsPerMeter = kDefaultPelsPerMeter;
  head.biYPelsPerMeter = kDefaultPelsPerMeter;
  head.biClrUsed = static_cast<uint32_t>(ClrUsed);
  PaletteModified = true;
}

void TKpInternalDIB::FreeDIB() {
  if (DIBInfos.pBits) {
    uint8_t* bits = DIBInfos.pBits;
    DIBInfos.pBits = nullptr;
    const uint32_t file = DIBInfos.hFile;
    DIBInfos.hFile = 0;
    DIBInfos.BitsSize = 0;
    ReleaseMemory(file, bits, UseFMO);
  }
  if (Palette) {
    DeleteObject(Palette);
    Palette = 0;
  }
}

void TKpInternalDIB::CopyFrom(const TKpInternalDIB& Source) {
  TKpDIBInfos copy = Source.DIBInfos;
  copy.pBits = nullptr;
  copy.hFile = 0;
  TPixelBlockGuard guard(copy, UseFMO);
  GetMemory(copy.BitsSize, copy.hFile, copy.pBits, UseFMO);
  std::memcpy(copy.pBits, Source.DIBInfos.pBits, static_cast<size_t>(copy.BitsSize));
  guard.Keep();
  Install(copy);
}

void TKpInternalDIB::Install(const TKpDIBInfos& NewInfos) {
  FreeDIB();
  DIBInfos = NewInfos;
  Width = DIBInfos.W3Head.biWidth;
  Height = AbsHeight(DIBInfos);
  UpdatePalette();
}

void TKpInternalDIB::UpdatePalette() {
  KpAssert(RefCount == 1, "TKpInternalDIB.UpdatePalette: RefCount Must be 1");
  if (Palette) {
    DeleteObject(Palette);
    Palette = 0;
  }
  PaletteModified = true;
}

TKpPixelFormat TKpInternalDIB::GetPixelFormat() const {
  const BITMAPINFOHEADER& head = DIBInfos.W3Head;
  switch (head.biBitCount) {
    case 1:
      if (head.biCompression == BI_RGB) return kpPf1Bit;
      throw EKpDIBInvalidDIB("TKpInternalDIB.GetPixelFormat: Invalid DIB(1Bit)");
    case 4:
      if (head.biCompression == BI_RGB) return kpPf4Bit;
      if (head.biCompression == BI_RLE4) return kpPf4BitRLE;
      throw EKpDIBInvalidDIB("TKpInternalDIB.GetPixelFormat: Invalid DIB(4Bit)");
    case 8:
      if (head.biCompression == BI_RGB) return kpPf8Bit;
      if (head.biCompression == BI_RLE8) return kpPf8BitRLE;
      throw EKpDIBInvalidDIB("TKpInternalDIB.GetPixelFormat: Invalid DIB(8Bit)");
    case 24:
      if (head.biCompression == BI_RGB) return kpPf24Bit;
      throw EKpDIBInvalidDIB("TKpInternalDIB.GetPixelFormat: Invalid DIB(24Bit)");
    default: throw EKpDIBInvalidDIB("TKpInternalDIB.GetPixelFormat: Invalid DIB(Illegal BitCount)");
  }
}

HPALETTE GetPaletteFromDIBInfos(const TKpDIBInfos& DIBInfos) {
  const uint32_t count = DIBInfos.W3Head.biClrUsed;
  if (count == 0) return 0;
  LOGPALETTE logPalette{0x300, static_cast<uint16_t>(count), {}};
  for (uint32_t i = 0; i < count && i < 256; ++i) {
    const RGBQUAD& c = DIBInfos.Colors()[i];
    logPalette.palPalEntry[i] = PALETTEENTRY{c.rgbRed, c.rgbGreen, c.rgbBlue, 0};
  }
  const HPALETTE palette = CreatePalette(logPalette);
  if (!palette) throw EOutOfResources("GetPaletteFromDIBInfos: Cannot Make Palette");
  return palette;
}
