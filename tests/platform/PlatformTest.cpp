// The platform layer: streams, handle tables, palettes, the picture loader's registry, bitmaps and DIB
// drawing.

#include "platform/Bitmap.h"
#include "platform/Canvas.h"
#include "platform/Exceptions.h"
#include "platform/GlobalMemory.h"
#include "platform/Palettes.h"
#include "platform/Picture.h"
#include "platform/Streams.h"
#include "support/BmpBuilder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(Streams, ShortReadsAndWritesRaise) {
  const uint8_t bytes[5] = {1, 2, 3, 4, 5};
  TReadOnlyMemoryStream stream(bytes, sizeof(bytes));
  uint8_t buffer[8];
  stream.ReadBuffer(buffer, 3);
  EXPECT_EQ(stream.Position(), 3);
  EXPECT_THROW(stream.ReadBuffer(buffer, 3), EReadError);
  EXPECT_THROW(stream.WriteBuffer(buffer, 1), EWriteError);
  EXPECT_EQ(stream.Seek(-100, TSeekOrigin::soCurrent), 0) << "seeking before the start stops at it";

  TMemoryStream memory;
  memory.WriteBuffer(bytes, 5);
  memory.SetPosition(2);
  memory.WriteBuffer(bytes, 5);
  EXPECT_EQ(memory.Size(), 7);
  EXPECT_EQ(memory.Memory()[6], 5);
  EXPECT_THROW(TFileStream("/nonexistent/folder/file", fmOpenRead), EFOpenError);
  EXPECT_THROW(TFileStream("/nonexistent/folder/file", fmCreate), EFCreateError);
}

TEST(HandleTables, StaleAndForeignHandlesFindNothing) {
  const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 16);
  ASSERT_NE(block, 0u);
  EXPECT_EQ(GlobalSize(block), 16u);
  EXPECT_EQ(static_cast<uint8_t*>(GlobalLock(block))[15], 0);
  EXPECT_FALSE(GlobalUnlock(block));
  EXPECT_EQ(GlobalFree(block), 0u);
  for (HGLOBAL bad : {block, HGLOBAL{0}, HGLOBAL{0xFFFFFFFF}}) {
    EXPECT_EQ(GlobalLock(bad), nullptr);
    EXPECT_EQ(GlobalSize(bad), 0u);
    EXPECT_EQ(GlobalFree(bad), bad);
  }
  const HGLOBAL next = GlobalAlloc(GMEM_MOVEABLE, 4);
  EXPECT_NE(next, block) << "a freed handle is not handed out again at once";
  GlobalFree(next);
}

TEST(Palettes, EntriesAndCopies) {
  LOGPALETTE log{0x300, 2, {}};
  log.palPalEntry[1] = {9, 8, 7, 0};
  const HPALETTE palette = CreatePalette(log);
  const HPALETTE copy = CopyPalette(palette);
  ASSERT_TRUE(DeleteObject(palette));
  PALETTEENTRY entries[4];
  EXPECT_EQ(GetPaletteEntries(copy, 1, 4, entries), 1u);
  EXPECT_EQ(entries[0].peRed, 9);
  EXPECT_EQ(GetPaletteEntries(palette, 0, 4, entries), 0u);
  EXPECT_FALSE(DeleteObject(palette));
  log.palNumEntries = 0;
  EXPECT_EQ(CreatePalette(log), 0u);
  DeleteObject(copy);
}

class TGraphicA : public TBitmap {
  TV_GRAPHIC_CLASS(TGraphicA)
};
TV_DEFINE_GRAPHIC_CLASS(TGraphicA, &TBitmap::StaticClass())

class TGraphicB : public TBitmap {
  TV_GRAPHIC_CLASS(TGraphicB)
};
TV_DEFINE_GRAPHIC_CLASS(TGraphicB, &TGraphicA::StaticClass())

TEST(PictureRegistry, LastRegistrationWinsAndUnregisterRemovesDescendants) {
  EXPECT_EQ(TPicture::FileFormatClass("BMP"), &TBitmap::StaticClass());
  TPicture::RegisterFileFormat("TST", "Test", TGraphicA::StaticClass());
  TPicture::RegisterFileFormat("tst", "Test", TGraphicB::StaticClass());
  EXPECT_EQ(TPicture::FileFormatClass("tst"), &TGraphicB::StaticClass());
  TPicture::RegisterClipboardFormat(77, TGraphicB::StaticClass());
  TPicture::UnregisterGraphicClass(TGraphicA::StaticClass());
  EXPECT_EQ(TPicture::FileFormatClass("tst"), nullptr);
  EXPECT_FALSE(TPicture::SupportsClipboardFormat(77));
  EXPECT_EQ(TPicture::FileFormatClass("bmp"), &TBitmap::StaticClass()) << "the parent class keeps its own";

  TPicture picture;
  try {
    picture.LoadFromFile("/tmp/picture.xyz");
    ADD_FAILURE();
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "Unknown picture file extension (.xyz)");
  }
}

TEST(Bitmap, ReadsAndWritesEveryPlainBitCount) {
  for (uint16_t bits : {1, 4, 8, 24, 32}) {
    for (int32_t height : {3, -3}) {
      TBmpBuilder bmp;
      bmp.Width = 5;
      bmp.Height = height;
      bmp.BitCount = bits;
      if (bits <= 8) bmp.GrayColors(1 << bits);
      bmp.FillRows(0);
      bmp.Pixels[0] = 0xC0;  // first row in the file
      if (bits == 32) bmp.Pixels[3] = 0xFF;
      const std::vector<uint8_t> bytes = bmp.Bytes();
      TReadOnlyMemoryStream in(bytes.data(), bytes.size());
      TBitmap bitmap;
      bitmap.LoadFromStream(in);
      EXPECT_EQ(bitmap.BitsPerPixel(), bits);
      EXPECT_EQ(bitmap.Width(), 5);
      const int firstRow = height < 0 ? 0 : 2;
      const QRgb expected = bits == 1 ? qRgb(1, 1, 1) : bits == 4 ? qRgb(12, 12, 12) : bits == 8 ? qRgb(0xC0, 0xC0, 0xC0) : qRgba(0, 0, 0xC0, 0xFF);
      EXPECT_EQ(bitmap.Image().pixel(0, firstRow), expected) << bits << " bits, height " << height;

      TMemoryStream out;
      bitmap.SaveToStream(out);
      TBitmap again;
      out.SetPosition(0);
      again.LoadFromStream(out);
      EXPECT_EQ(again.Image().convertToFormat(QImage::Format_ARGB32), bitmap.Image().convertToFormat(QImage::Format_ARGB32)) << bits;
    }
  }
  const uint8_t junk[20] = {'B', 'M'};
  TReadOnlyMemoryStream in(junk, sizeof(junk));
  TBitmap bitmap;
  EXPECT_THROW(bitmap.LoadFromStream(in), EInvalidGraphic);
}

TEST(Bitmap, GeneralReaderTakesOtherHeaders) {
  TBmpBuilder rle;
  rle.BitCount = 8;
  rle.Compression = BI_RLE8;
  rle.Width = 4;
  rle.Height = 2;
  rle.GrayColors(256);
  rle.Pixels = {4, 200, 0, 0, 2, 100, 0, 1};
  const std::vector<uint8_t> bytes = rle.Bytes();
  TReadOnlyMemoryStream in(bytes.data(), bytes.size());
  TBitmap bitmap;
  bitmap.LoadFromStream(in);
  EXPECT_EQ(bitmap.Image().pixel(0, 1), qRgb(200, 200, 200)) << "the first RLE row is the bottom row";
  EXPECT_EQ(bitmap.Image().pixel(1, 0), qRgb(100, 100, 100));
}

TEST(Canvas, StretchDIBitsDrawsRLEAndBothRowOrders) {
  BITMAPINFO info{};
  info.bmiHeader = BITMAPINFOHEADER{40, 4, 2, 1, 8, BI_RLE8, 0, 0, 0, 2, 0};
  info.bmiColors[1] = RGBQUAD{0, 0, 255, 0};
  const uint8_t stream[] = {2, 1, 0, 0, 0, 2, 2, 1, 0, 1};  // bottom row: 1 1 . .; delta to (2, 1) of nothing
  QImage surface(8, 4, QImage::Format_RGB32);
  surface.fill(Qt::white);
  TCanvas canvas;
  canvas.SetSurface(&surface);
  EXPECT_EQ(canvas.StretchDIBits(0, 0, 8, 4, 0, 0, 4, 2, stream, sizeof(stream), info, DIB_RGB_COLORS, SRCCOPY), 2);
  EXPECT_EQ(surface.pixel(0, 3), qRgb(255, 0, 0));
  EXPECT_EQ(surface.pixel(0, 0), qRgb(0, 0, 0));
  // A stream cut anywhere draws what it holds.
  for (size_t cut = 0; cut < sizeof(stream); ++cut)
    canvas.StretchDIBits(0, 0, 8, 4, 0, 0, 4, 2, stream, cut, info, DIB_RGB_COLORS, SRCCOPY);

  const uint8_t rows[8] = {0, 0, 255, 0, 255, 0, 0, 0};  // 1 x 2, 24 bits, top-down: red above blue
  info.bmiHeader = BITMAPINFOHEADER{40, 1, -2, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  canvas.StretchDIBits(0, 0, 8, 4, 0, 0, 1, 2, rows, sizeof(rows), info, DIB_RGB_COLORS, SRCCOPY);
  EXPECT_EQ(surface.pixel(4, 0), qRgb(255, 0, 0));
  EXPECT_EQ(surface.pixel(4, 3), qRgb(0, 0, 255));
  EXPECT_EQ(canvas.StretchDIBits(0, 0, 8, 4, 0, 0, 1, 2, rows, 3, info, DIB_RGB_COLORS, SRCCOPY), 2)
      << "rows missing from a short block draw black, nothing is read past it";
}

TEST(Canvas, HalftoneStretchAveragesAreas) {
  QImage source(4, 1, QImage::Format_RGB32);
  source.setPixel(0, 0, qRgb(0, 0, 0));
  source.setPixel(1, 0, qRgb(255, 255, 255));
  source.setPixel(2, 0, qRgb(0, 0, 0));
  source.setPixel(3, 0, qRgb(255, 255, 255));
  QImage surface(2, 1, QImage::Format_RGB32);
  TCanvas canvas;
  canvas.SetSurface(&surface);
  canvas.SetStretchBltMode(HALFTONE);
  canvas.StretchImage(Rect(0, 0, 2, 1), source, source.rect());
  EXPECT_NEAR(qRed(surface.pixel(0, 0)), 128, 2);
  EXPECT_NEAR(qRed(surface.pixel(1, 0)), 128, 2);
}

}  // namespace
