// BMP files and packed DIBs in and out of the DIB storage.

#include "dib/KpInternalDIB.h"
#include "platform/FileMapping.h"
#include "support/BmpBuilder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

void Load(TKpInternalDIB& dib, const std::vector<uint8_t>& bytes) {
  TReadOnlyMemoryStream stream(bytes.data(), bytes.size());
  dib.LoadFromStream(stream);
}

std::vector<uint8_t> Save(const TKpInternalDIB& dib) {
  TMemoryStream stream;
  dib.SaveToStream(stream);
  return {stream.Memory(), stream.Memory() + stream.Size()};
}

const uint8_t* TopRow(const TKpInternalDIB& dib) {
  const TKpDIBInfos& infos = dib.DIBInfos;
  return infos.pBits + (infos.W3Head.biHeight < 0 ? 0 : (dib.Height - 1) * RowBytes(infos));
}

TEST(BmpStream, TwentyFourBitFileSavesBackByteIdentical) {
  TBmpBuilder bmp;
  bmp.Width = 3;
  bmp.XPels = 1000;
  bmp.FillRows(0);
  for (size_t i = 0; i < bmp.Pixels.size(); ++i) bmp.Pixels[i] = static_cast<uint8_t>(i % 12 < 9 ? i * 7 : 0);
  TKpInternalDIB dib(false);
  Load(dib, bmp.Bytes());
  EXPECT_EQ(dib.DIBInfos.W3Head.biClrUsed, 0u);
  EXPECT_EQ(dib.GetPixelFormat(), kpPf24Bit);
  EXPECT_EQ(Save(dib), bmp.Bytes());
}

TEST(BmpStream, ColourTablesAreCountedAndCapped) {
  TBmpBuilder implicit;
  implicit.BitCount = 8;
  implicit.GrayColors(256).FillRows(5);
  TKpInternalDIB dib(false);
  Load(dib, implicit.Bytes());
  EXPECT_EQ(dib.DIBInfos.W3Head.biClrUsed, 256u);

  TBmpBuilder oversized = implicit;
  oversized.ClrUsed = 300;
  oversized.GrayColors(300);
  oversized.Colors[255] = RGBQUAD{1, 2, 3, 0};
  Load(dib, oversized.Bytes());
  EXPECT_EQ(dib.DIBInfos.W3Head.biClrUsed, 256u);
  EXPECT_EQ(dib.DIBInfos.Colors()[255].rgbRed, 3);
  EXPECT_EQ(dib.DIBInfos.pBits[0], 5) << "the 44 extra colours are skipped, not read as pixels";
}

TEST(BmpStream, CoreHeaderBecomesInfoHeader) {
  TBmpBuilder core;
  core.HeaderSize = 12;
  core.BitCount = 4;
  core.Width = 5;
  core.Height = 3;
  core.GrayColors(16).FillRows(0x12);
  core.Colors[1] = RGBQUAD{10, 20, 30, 99};
  TKpInternalDIB dib(true);
  Load(dib, core.Bytes());
  const BITMAPINFOHEADER& head = dib.DIBInfos.W3Head;
  EXPECT_EQ(head.biSize, 40u);
  EXPECT_EQ(head.biClrUsed, 16u);
  EXPECT_EQ(head.biXPelsPerMeter, 3780);
  EXPECT_EQ(head.biYPelsPerMeter, 3780);
  EXPECT_EQ(dib.GetPixelFormat(), kpPf4Bit);
  const RGBQUAD c = dib.DIBInfos.Colors()[1];
  EXPECT_EQ((std::array{c.rgbBlue, c.rgbGreen, c.rgbRed, c.rgbReserved}), (std::array<uint8_t, 4>{10, 20, 30, 0}));
  EXPECT_EQ(Save(dib).size(), 14 + 40 + 16 * 4 + core.Pixels.size());
}

TEST(BmpStream, HighColourPixelsBecomeTwentyFourBits) {
  struct TCase {
    const char* Name;
    uint16_t Bits;
    std::vector<uint32_t> Masks;
    std::vector<uint32_t> Pixels;
    std::vector<uint8_t> BGR;  // expected, blue green red per pixel
  };
  const TCase cases[] = {
      {"16-bit 5-5-5 defaults", 16, {}, {0x7FFF, 0x0001}, {255, 255, 255, 8, 0, 0}},
      {"16-bit 5-6-5 fields", 16, {0xF800, 0x07E0, 0x001F}, {0xF800, 0x07E0}, {0, 0, 255, 0, 255, 0}},
      {"32-bit defaults", 32, {}, {0x00102030, 0xFF000000}, {0x30, 0x20, 0x10, 0, 0, 0}},
      {"32-bit 8-8-8 fields", 32, {0xFF0000, 0xFF00, 0xFF}, {0x00FF8001, 0x00000080}, {1, 0x80, 0xFF, 0x80, 0, 0}},
  };
  for (const TCase& c : cases) {
    TBmpBuilder bmp;
    bmp.Width = 2;
    bmp.Height = -1;
    bmp.BitCount = c.Bits;
    bmp.Masks = c.Masks;
    bmp.Compression = c.Masks.empty() ? BI_RGB : BI_BITFIELDS;
    for (uint32_t p : c.Pixels)
      for (int b = 0; b < c.Bits / 8; ++b) bmp.Pixels.push_back(static_cast<uint8_t>(p >> (8 * b)));
    TKpInternalDIB dib(false);
    Load(dib, bmp.Bytes());
    const BITMAPINFOHEADER& head = dib.DIBInfos.W3Head;
    EXPECT_EQ(head.biBitCount, 24) << c.Name;
    EXPECT_EQ(head.biCompression, BI_RGB) << c.Name;
    EXPECT_EQ(head.biHeight, -1) << c.Name;
    EXPECT_EQ(dib.DIBInfos.BitsSize, 8) << c.Name;
    EXPECT_EQ(std::vector<uint8_t>(dib.DIBInfos.pBits, dib.DIBInfos.pBits + 6), c.BGR) << c.Name;
  }
}

TEST(BmpStream, TopDownFileKeepsItsRowOrder) {
  TBmpBuilder bmp;
  bmp.BitCount = 8;
  bmp.Height = -2;
  bmp.GrayColors(256).FillRows(0);
  bmp.Pixels[0] = 9;  // first row in the file: the top row of a top-down picture
  TKpInternalDIB dib(false);
  Load(dib, bmp.Bytes());
  EXPECT_EQ(dib.DIBInfos.W3Head.biHeight, -2);
  EXPECT_EQ(dib.Height, 2);
  EXPECT_EQ(TopRow(dib)[0], 9);
}

TEST(BmpStream, GapBeforePixelsIsSkipped) {
  TBmpBuilder bmp;
  bmp.Gap = 10;
  bmp.FillRows(0x44);
  TKpInternalDIB dib(false);
  Load(dib, bmp.Bytes());
  EXPECT_EQ(dib.DIBInfos.pBits[0], 0x44);
}

TEST(BmpStream, MalformedFilesAreRejectedAndTheOldPictureStays) {
  struct TCase {
    const char* Name;
    std::function<void(TBmpBuilder&)> Break;
    const char* Message;
  };
  const TCase cases[] = {
      {"not BM", [](TBmpBuilder& b) { b.Type = 0x4D43; }, "TKpInternalDIB.LoadFromFile: File type is invalid"},
      {"2 bits", [](TBmpBuilder& b) { b.BitCount = 2; }, "TKpInternalDIB.LoadFromStream: Invalid BitCout"},
      {"64 bits", [](TBmpBuilder& b) { b.BitCount = 64; }, "TKpInternalDIB.LoadFromStream: Invalid BitCout"},
      {"core 16 bits", [](TBmpBuilder& b) { b.HeaderSize = 12, b.BitCount = 16; }, "TKpInternalDIB.LoadFromStream: Invalid BitCount"},
      {"V4 header", [](TBmpBuilder& b) { b.HeaderSize = 108; }, "TKpInternalDIB.LoadFromStream: Invalid Bitmap Header Size"},
      {"V5 header", [](TBmpBuilder& b) { b.HeaderSize = 124; }, "TKpInternalDIB.LoadFromStream: Invalid Bitmap Header Size"},
      {"bfOffBits 53", [](TBmpBuilder& b) { b.OffBits = 53; }, "TKpInternalDIB.LoadFromFile: bfOffBits is too small"},
      {"colours past bfOffBits", [](TBmpBuilder& b) { b.BitCount = 8, b.ClrUsed = 300, b.GrayColors(300), b.OffBits = 54 + 1024; },
       "TKpInternalDIB.LoadFromFile: bfOffBits is too small"},
      {"zero width", [](TBmpBuilder& b) { b.Width = 0; }, "TKpInternalDIB.LoadFromStream: Invalid Width or Height"},
      {"negative width", [](TBmpBuilder& b) { b.Width = -4; }, "TKpInternalDIB.LoadFromStream: Invalid Width or Height"},
      {"zero height", [](TBmpBuilder& b) { b.Height = 0; }, "TKpInternalDIB.LoadFromStream: Invalid Width or Height"},
      {"lowest height", [](TBmpBuilder& b) { b.Height = INT32_MIN; }, "TKpInternalDIB.LoadFromStream: Invalid Width or Height"},
      {"zero mask", [](TBmpBuilder& b) { b.BitCount = 16, b.Compression = BI_BITFIELDS, b.Masks = {0xF800, 0, 0x1F}, b.FillRows(0, 16); },
       "TKpInternalDIB.LoadFromStream: Invalid Masks"},
      {"rows cut short", [](TBmpBuilder& b) { b.Pixels.resize(b.Pixels.size() - 1); }, "TKpInternalDIB.LoadFromStream: Invalid Bits Size"},
      {"file size below offset", [](TBmpBuilder& b) { b.FileSize = 10; }, "TKpInternalDIB.LoadFromStream: Invalid Bits Size"},
      {"huge rows", [](TBmpBuilder& b) { b.Width = 1 << 30, b.Height = 1 << 20; }, "TKpInternalDIB.LoadFromStream: Invalid Bits Size"},
      {"empty RLE stream", [](TBmpBuilder& b) { b.BitCount = 8, b.Compression = BI_RLE8, b.GrayColors(256), b.Pixels.clear(); },
       "TKpInternalDIB.LoadFromStream: Invalid Bits Size"},
  };
  for (const TCase& c : cases) {
    TBmpBuilder bmp;
    bmp.FillRows(0x11);
    c.Break(bmp);
    TKpInternalDIB dib(true);
    const size_t views = LiveFileMappingViews();
    try {
      Load(dib, bmp.Bytes());
      ADD_FAILURE() << c.Name << ": loaded";
    } catch (const EKpDIBError& e) {
      EXPECT_EQ(e.Message(), c.Message) << c.Name;
    }
    EXPECT_EQ(dib.Width, 1) << c.Name;
    EXPECT_EQ(dib.DIBInfos.W3Head.biBitCount, 8) << c.Name;
    EXPECT_EQ(LiveFileMappingViews(), views) << c.Name << ": a pixel block was left behind";
  }
}

TEST(BmpStream, StreamThatEndsEarlyRaisesReadError) {
  TBmpBuilder bmp;
  bmp.BitCount = 32;
  bmp.Width = 100;
  bmp.Height = 100;
  bmp.FillRows(7);
  const std::vector<uint8_t> bytes = bmp.Bytes();
  for (size_t cut : {size_t{10}, size_t{30}, size_t{54}, bytes.size() - 1}) {
    TKpInternalDIB dib(false);
    TReadOnlyMemoryStream stream(bytes.data(), cut);
    EXPECT_THROW(dib.LoadFromStream(stream), EReadError) << cut;
    EXPECT_EQ(dib.Width, 1);
  }
}

TEST(BmpStream, CompressedDIBIsKeptAndWrittenCompressed) {
  TBmpBuilder bmp;
  bmp.BitCount = 8;
  bmp.Compression = BI_RLE8;
  bmp.Width = 3;
  bmp.Height = 1;
  bmp.GrayColors(256);
  bmp.Pixels = {3, 7, 0, 0, 0, 1};
  TKpInternalDIB dib(false);
  Load(dib, bmp.Bytes());
  EXPECT_EQ(dib.GetPixelFormat(), kpPf8BitRLE);
  const std::vector<uint8_t> saved = Save(dib);
  BITMAPINFOHEADER head;
  std::memcpy(&head, saved.data() + 14, sizeof(head));
  EXPECT_EQ(head.biCompression, BI_RLE8);
  EXPECT_EQ(std::vector<uint8_t>(saved.end() - 6, saved.end()), bmp.Pixels);
}

TEST(BmpStream, PixelFormatClassification) {
  struct TCase {
    uint16_t Bits;
    uint32_t Compression;
    const char* Message;  // nullptr: accepted
  };
  const TCase cases[] = {
      {1, BI_RGB, nullptr},
      {1, BI_RLE8, "TKpInternalDIB.GetPixelFormat: Invalid DIB(1Bit)"},
      {4, BI_RLE8, "TKpInternalDIB.GetPixelFormat: Invalid DIB(4Bit)"},
      {8, BI_RLE4, "TKpInternalDIB.GetPixelFormat: Invalid DIB(8Bit)"},
      {24, BI_BITFIELDS, "TKpInternalDIB.GetPixelFormat: Invalid DIB(24Bit)"},
  };
  for (const TCase& c : cases) {
    TBmpBuilder bmp;
    bmp.BitCount = c.Bits;
    bmp.Compression = c.Compression;
    bmp.GrayColors(static_cast<int>(DefaultClrUsed(c.Bits))).FillRows(0);
    if (c.Compression == BI_BITFIELDS) bmp.Masks = {0xFF0000, 0xFF00, 0xFF};
    TKpInternalDIB dib(false);
    Load(dib, bmp.Bytes());
    if (!c.Message) {
      EXPECT_NO_THROW(dib.GetPixelFormat());
      continue;
    }
    try {
      dib.GetPixelFormat();
      ADD_FAILURE() << c.Bits << "/" << c.Compression;
    } catch (const EKpDIBInvalidDIB& e) {
      EXPECT_EQ(e.Message(), c.Message);
    }
  }
}

TEST(PackedDIB, RoundTripAndErrors) {
  TBmpBuilder bmp;
  bmp.BitCount = 4;
  bmp.Width = 7;
  bmp.GrayColors(16).FillRows(0x5A);
  TKpInternalDIB source(false);
  Load(source, bmp.Bytes());
  const HGLOBAL block = source.SaveToClipboardFormat();
  EXPECT_EQ(GlobalSize(block), 40 + 16 * 4 + bmp.Pixels.size());
  TKpInternalDIB copy(true);
  copy.LoadFromClipboardFormat(block);
  EXPECT_EQ(Save(copy), Save(source));
  EXPECT_EQ(GlobalLock(block) != nullptr && !GlobalUnlock(block), true) << "the block is unlocked and stays the caller's";
  GlobalFree(block);

  const auto packed = [](std::vector<uint8_t> bytes) {
    const HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    std::memcpy(GlobalLock(h), bytes.data(), bytes.size());
    GlobalUnlock(h);
    return h;
  };
  std::vector<uint8_t> withoutFileHeader = bmp.Bytes();
  withoutFileHeader.erase(withoutFileHeader.begin(), withoutFileHeader.begin() + 14);
  struct TCase {
    const char* Name;
    std::vector<uint8_t> Bytes;
    const char* Message;
  };
  std::vector<uint8_t> badSize = withoutFileHeader;
  badSize[0] = 108;
  std::vector<uint8_t> cut = withoutFileHeader;
  cut.resize(40 + 16 * 4 + 1);
  std::vector<uint8_t> manyColours = withoutFileHeader;
  manyColours[32] = 0xFF, manyColours[33] = 0xFF, manyColours[34] = 0xFF;
  std::vector<uint8_t> twoBits = withoutFileHeader;
  twoBits[14] = 2;
  const TCase cases[] = {
      {"header size 108", badSize, "TKpDIB.LoadFromClipboardFormat: Invalid Clipboard Data"},
      {"header only", {withoutFileHeader.begin(), withoutFileHeader.begin() + 20}, "TKpDIB.LoadFromClipboardFormat: Invalid Clipboard Data"},
      {"rows cut short", cut, "TKpDIB.LoadFromClipboardFormat: Invalid Clipboard Data"},
      {"colour table past the block", manyColours, "TKpDIB.LoadFromClipboardFormat: Invalid Clipboard Data"},
      {"2 bits", twoBits, "TKpInternalDIB.LoadFromClipboardFormat: Invalid biBitCount"},
  };
  for (const TCase& c : cases) {
    const HGLOBAL h = packed(c.Bytes);
    TKpInternalDIB dib(false);
    try {
      dib.LoadFromClipboardFormat(h);
      ADD_FAILURE() << c.Name;
    } catch (const EKpDIBInvalidDIB& e) {
      EXPECT_EQ(e.Message(), c.Message) << c.Name;
    }
    EXPECT_EQ(dib.Width, 1) << c.Name;
    GlobalFree(h);
  }
  EXPECT_THROW(TKpInternalDIB(false).LoadFromClipboardFormat(0x1234), EKpDIBInvalidDIB);
}

TEST(DIBStorage, CreateDIBChecksItsParameters) {
  TKpInternalDIB dib(false);
  EXPECT_EQ(dib.DIBInfos.W3Head.biClrUsed, 256u);
  EXPECT_EQ(dib.DIBInfos.BitsSize, 4);
  for (auto [w, h, colors, bits] : {std::array{0, 1, 0, 8}, {1, 0, 0, 8}, {1, 1, 257, 8}, {1, 1, -1, 8}, {1, 1, 0, 16},
                                    {1 << 30, 1 << 10, 0, 24}, {1, INT32_MIN, 0, 1}}) {
    dib.FreeDIB();
    EXPECT_THROW(dib.CreateDIB(w, h, colors, bits), EKpDIBInvalidDIBPara) << w << "x" << h << " " << bits;
  }
  dib.CreateDIB(3, -2, 2, 1);
  EXPECT_EQ(dib.DIBInfos.W3Head.biHeight, -2);
  EXPECT_EQ(dib.DIBInfos.BitsSize, 8);
}

TEST(DIBStorage, PaletteFollowsTheColourTable) {
  TKpInternalDIB dib(false);
  dib.DIBInfos.Colors()[3] = RGBQUAD{1, 2, 3, 0};
  const HPALETTE palette = GetPaletteFromDIBInfos(dib.DIBInfos);
  PALETTEENTRY entries[256];
  ASSERT_EQ(GetPaletteEntries(palette, 0, 256, entries), 256u);
  EXPECT_EQ(entries[3].peRed, 3);
  EXPECT_EQ(entries[3].peBlue, 1);
  DeleteObject(palette);
  dib.DIBInfos.W3Head.biClrUsed = 0;
  EXPECT_EQ(GetPaletteFromDIBInfos(dib.DIBInfos), 0u);
  dib.RefCount = 2;
  EXPECT_THROW(dib.UpdatePalette(), EAssertionFailed);
  dib.RefCount = 1;
}

// Every file of the public BMP corpus either loads into a valid storage or is refused with one of the
// library's errors; under the sanitizers nothing is read out of bounds.
TEST(BmpStream, PublicCorpus) {
  const std::filesystem::path root = TOVASEL_TESTDATA "/bmpsuite";
  if (!std::filesystem::exists(root)) GTEST_SKIP() << "no corpus at " << root;
  int loaded = 0;
  int refused = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    TMemoryStream bytes;
    bytes.LoadFromFile(entry.path());
    TKpInternalDIB dib(false);
    try {
      dib.LoadFromStream(bytes);
      ++loaded;
      const BITMAPINFOHEADER& head = dib.DIBInfos.W3Head;
      EXPECT_EQ(head.biSize, 40u) << entry.path();
      EXPECT_LE(head.biClrUsed, 256u) << entry.path();
      if (head.biCompression == BI_RGB) {
        EXPECT_GE(dib.DIBInfos.BitsSize, RowBytes(dib.DIBInfos) * dib.Height) << entry.path();
      }
    } catch (const EKpDIBError&) {
      ++refused;
    } catch (const EStreamError&) {
      ++refused;
    }
    if (entry.path().parent_path().filename() == "g" && entry.path().filename().string().find("rgb24") != std::string::npos) {
      EXPECT_GT(dib.Width, 1) << entry.path() << " is a plain good file";
    }
  }
  EXPECT_GT(loaded, 20);
  EXPECT_GT(refused, 10);
}

}  // namespace
