// TKpDIB: sharing, pixels, palettes, sizes, drawing, bitmaps, the clipboard and the picture loader.

#include "dib/KpDIB.h"
#include "platform/Clipboard.h"
#include "platform/FileMapping.h"
#include "platform/Picture.h"
#include "support/BmpBuilder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

namespace {

// A DIB read from a BMP file built in the test.
void LoadBmp(TKpDIB& dib, const TBmpBuilder& bmp) {
  const std::vector<uint8_t> bytes = bmp.Bytes();
  TReadOnlyMemoryStream stream(bytes.data(), bytes.size());
  dib.LoadFromStream(stream);
}

template <class E>
std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const E& e) {
    return e.Message();
  }
  return "(nothing raised)";
}

struct TChangeCounter {
  int Count = 0;
  void Attach(TGraphic& graphic) {
    graphic.OnChange = [this](TGraphic&) { ++Count; };
  }
};

// A 24-bit DIB of w x h with a colour per position, bottom-up or top-down.
void MakeGradient(TKpDIB& dib, int w, int h, bool topDown = false) {
  dib.SetBitCount(24);
  dib.SetWidth(w);
  dib.SetHeight(topDown ? -h : h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) dib.SetPixels(x, y, static_cast<int32_t>(RGB(x * 255 / w, y * 255 / h, (x + y) % 256)));
}

TEST(KpDIB, CopiesShareUntilOneChanges) {
  TKpDIB first;
  MakeGradient(first, 4, 3);
  TKpDIB second;
  second.Assign(&first);
  EXPECT_EQ(first.Storage().RefCount, 2);
  EXPECT_EQ(&first.Storage(), &second.Storage());
  second.SetPixels(0, 0, 0x123456);
  EXPECT_EQ(first.Storage().RefCount, 1);
  EXPECT_EQ(second.Storage().RefCount, 1);
  EXPECT_EQ(first.GetPixels(0, 0), static_cast<int32_t>(RGB(0, 0, 0)));
  EXPECT_EQ(second.GetPixels(0, 0), 0x123456);
  // Saving a shared storage writes it without copying.
  TKpDIB third;
  third.Assign(&first);
  TMemoryStream stream;
  third.SaveToStream(stream);
  EXPECT_EQ(first.Storage().RefCount, 2);
}

TEST(KpDIB, PixelsAreAddressedFromTheTopRow) {
  for (bool topDown : {false, true}) {
    TKpDIB dib;
    dib.SetBitCount(24);
    dib.SetWidth(2);
    dib.SetHeight(topDown ? -3 : 3);
    dib.SetPixels(1, 0, 0x0A0B0C);
    const TKpDIBInfos& infos = dib.Storage().DIBInfos;
    const uint8_t* top = infos.pBits + (topDown ? 0 : 2 * RowBytes(infos));
    EXPECT_EQ((std::array{top[3], top[4], top[5]}), (std::array<uint8_t, 3>{0x0A, 0x0B, 0x0C})) << topDown;
    EXPECT_EQ(dib.GetScanLine(0), top);
  }
  for (int bits : {1, 4, 8}) {
    TKpDIB dib;
    dib.SetBitCount(bits);
    dib.SetWidth(9);
    const int top = (1 << bits) - 1;
    for (int x = 0; x < 9; ++x) dib.SetPixels(x, 0, x % 2 ? top : 0);
    for (int x = 0; x < 9; ++x) EXPECT_EQ(dib.GetPixels(x, 0), x % 2 ? top : 0) << bits << " bits, x " << x;
  }
}

TEST(KpDIB, PixelErrors) {
  TKpDIB dib;
  EXPECT_EQ(MessageOf<EKpDIBPixelPositionRange>([&] { dib.GetPixels(1, 0); }), "TKpDIB.GetPixels: Pixel Position is Out of Range");
  EXPECT_EQ(MessageOf<EKpDIBPixelPositionRange>([&] { dib.SetPixels(0, -1, 0); }), "TKpDIB.SetPixels: Pixel Position is Out of Range");
  EXPECT_EQ(MessageOf<EKpDIBPixelPositionRange>([&] { dib.GetScanLine(1); }), "TKpDIB.GetScanLine: y is Out of Range");
  EXPECT_THROW(dib.SetPixels(0, 0, 256), ERangeError);
  dib.SetBitCount(24);
  EXPECT_THROW(dib.SetPixels(0, 0, -1), ERangeError);

  TBmpBuilder rle;
  rle.BitCount = 8;
  rle.Compression = BI_RLE8;
  rle.Width = 3;
  rle.Height = 1;
  rle.GrayColors(256);
  rle.Pixels = {3, 7, 0, 0, 0, 1};
  LoadBmp(dib, rle);
  EXPECT_EQ(MessageOf<EKpDIBBadDIBType>([&] { dib.GetPixels(0, 0); }), "TKpDIB.GetPixels: Bad DIB Type");
  EXPECT_EQ(MessageOf<EKpDIBBadDIBType>([&] { dib.SetPixels(0, 0, 1); }), "TKpDIB.SetPixels: Bad DIB Type");
  EXPECT_EQ(MessageOf<EKpDIBBadDIBType>([&] { dib.GetScanLine(0); }), "TKpDIB.GetScanLine: Bad DIB Type");
}

TEST(KpDIB, SizeAndBitCountChangesBlankThePicture) {
  TKpDIB dib;
  dib.SetColors(0, clWhite);
  TChangeCounter changes;
  changes.Attach(dib);
  dib.SetWidth(1);
  EXPECT_EQ(changes.Count, 0) << "the same width changes nothing";
  dib.SetWidth(5);
  EXPECT_EQ(changes.Count, 1);
  EXPECT_EQ(dib.Width(), 5);
  EXPECT_EQ(dib.GetColors(0), clBlack) << "a new size comes with a black colour table";
  EXPECT_EQ(dib.GetPaletteSize(), 256);
  dib.SetHeight(-2);
  EXPECT_EQ(dib.Storage().DIBInfos.W3Head.biHeight, -2);
  EXPECT_EQ(MessageOf<EKpDIBInvalidDIBPara>([&] { dib.SetHeight(0); }), "TKpDIB.SetWidth: Invalid Height");
  EXPECT_EQ(MessageOf<EKpDIBInvalidDIBPara>([&] { dib.SetWidth(0); }), "TKpDIB.SetWidth: Invalid Width");
  EXPECT_EQ(MessageOf<EKpDIBInvalidDIBPara>([&] { dib.SetBitCount(16); }), "TKpDIB.SetBitCount: Invalid BitCount");
  dib.SetBitCount(4);
  EXPECT_EQ(dib.GetPaletteSize(), 16);
  EXPECT_EQ(dib.Storage().DIBInfos.W3Head.biHeight, 2) << "a new bit count makes a bottom-up DIB";
}

TEST(KpDIB, PaletteSizeAndColours) {
  TKpDIB dib;
  EXPECT_EQ(MessageOf<EKpDIBPaletteIndexRange>([&] { dib.SetPaletteSize(0); }),
            "TKpDIB.SetPaletteSize: Palette Index is Out of Range 2");
  EXPECT_EQ(MessageOf<EKpDIBPaletteIndexRange>([&] { dib.GetColors(256); }), "TKpDIB.GetColors: Palette Index is Out of Range");
  EXPECT_EQ(MessageOf<EKpDIBPaletteIndexRange>([&] { dib.SetColors(-1, 0); }), "TKpDIB.GetColors: Palette Index is Out of Range");
  dib.SetPaletteSize(16);
  dib.SetColors(200, clSilver);  // beyond biClrUsed: stored, table size unchanged
  EXPECT_EQ(dib.GetColors(200), clSilver);
  EXPECT_EQ(dib.GetPaletteSize(), 16);
  dib.SetColors(1, clWindow);
  EXPECT_EQ(static_cast<uint32_t>(dib.GetColors(1)), ColorToRGB(clWindow)) << "system colours are resolved";

  dib.SetBitCount(24);
  EXPECT_EQ(dib.GetPaletteSize(), 0);
  EXPECT_EQ(dib.Palette(), 0u);
  EXPECT_EQ(MessageOf<EKpDIBPaletteIndexRange>([&] { dib.SetPaletteSize(257); }),
            "TKpDIB.SetPaletteSize: Palette Index is Out of Range 1");
  dib.SetHalftoneMode(kpHtHalftone);
  EXPECT_EQ(GetPaletteEntries(dib.Palette(), 0, 0, nullptr), 215u);
  dib.SetHalftoneMode(kpHtHalftoneBW);
  EXPECT_EQ(GetPaletteEntries(dib.Palette(), 0, 0, nullptr), 2u);
}

TEST(KpDIB, PaletteHandlesAreTakenOverAndReleased) {
  const uint32_t before = LivePaletteObjects();
  {
    TKpDIB dib;
    LOGPALETTE log{0x300, 3, {}};
    log.palPalEntry[2] = {10, 20, 30, 0};
    const HPALETTE palette = CreatePalette(log);
    dib.SetPalette(palette);
    EXPECT_EQ(dib.GetPaletteSize(), 3);
    EXPECT_EQ(dib.GetColors(2), static_cast<TColor>(RGB(10, 20, 30)));
    EXPECT_EQ(dib.Palette(), palette) << "the handle becomes the cached palette";
    dib.SetPalette(0);
    EXPECT_EQ(dib.Palette(), 0u);
    EXPECT_EQ(dib.GetPaletteSize(), 0);
    EXPECT_EQ(MessageOf<EKpDIBInvalidPalette>([&] { dib.SetPalette(0xDEAD); }), "TKpDIB.SetPalette: Invalid Palette");
    dib.SetPaletteSize(16);
    EXPECT_NE(dib.Palette(), 0u) << "a colour table makes a palette on demand";
  }
  EXPECT_EQ(LivePaletteObjects(), before);
}

TEST(KpDIB, ClipboardFormatExchange) {
  TKpDIB source;
  MakeGradient(source, 5, 4);
  uint16_t format = 0;
  HGLOBAL data = 0;
  HPALETTE palette = 1;
  source.SaveToClipboardFormat(format, data, palette);
  EXPECT_EQ(format, CF_DIB);
  EXPECT_EQ(palette, 0u);
  TKpDIB copy;
  copy.LoadFromClipboardFormat(CF_DIB, data, 0);
  EXPECT_EQ(copy.GetPixels(4, 3), source.GetPixels(4, 3));
  EXPECT_EQ(MessageOf<EInvalidGraphic>([&] { copy.LoadFromClipboardFormat(CF_BITMAP, data, 0); }),
            "TKpDIB.LoadFromClipboardFormat: Invalid Clipboard Format or No Data");
  EXPECT_EQ(copy.Width(), 5) << "a refused format leaves the picture";
  GlobalFree(data);

  // Through the system clipboard and back.
  Clipboard().Assign(&source);
  TKpDIB pasted;
  pasted.Assign(&Clipboard());
  EXPECT_EQ(pasted.Width(), 5);
  EXPECT_EQ(pasted.GetPixels(2, 1), source.GetPixels(2, 1));
}

TEST(KpDIB, BitmapRoundTripKeepsPixelsAndColours) {
  for (int bits : {1, 4, 8, 24}) {
    TKpDIB dib;
    dib.SetBitCount(bits);
    dib.SetWidth(11);
    dib.SetHeight(6);
    std::mt19937 random(bits);
    for (int i = 0; i < (bits == 24 ? 0 : 1 << bits); ++i) dib.SetColors(i, static_cast<TColor>(random() & 0xFFFFFF));
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 11; ++x) dib.SetPixels(x, y, static_cast<int32_t>(random() & (bits == 24 ? 0xFFFFFF : (1 << bits) - 1)));
    TBitmap bitmap;
    bitmap.Assign(&dib);
    EXPECT_EQ(bitmap.BitsPerPixel(), bits);
    EXPECT_EQ(bitmap.Width(), 11);
    TKpDIB back;
    back.Assign(&bitmap);
    EXPECT_EQ(back.GetBitCount(), bits);
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 11; ++x) ASSERT_EQ(back.GetPixels(x, y), dib.GetPixels(x, y)) << bits << " bits at " << x << "," << y;
    for (int i = 0; i < (bits == 24 ? 0 : 1 << bits); ++i) EXPECT_EQ(back.GetColors(i), dib.GetColors(i));
  }
  TBitmap empty;
  TKpDIB dib;
  EXPECT_EQ(MessageOf<EKpDIBInvalidDIBPara>([&] { dib.Assign(&empty); }), "TKpInternalDIB.CreateDIB: Invalid Parameters");
  EXPECT_EQ(dib.Width(), 1);
}

TEST(KpDIB, DrawsStretchedOntoACanvas) {
  TKpDIB dib;
  dib.SetBitCount(8);
  dib.SetWidth(2);
  dib.SetHeight(2);
  dib.SetColors(1, static_cast<TColor>(RGB(255, 0, 0)));
  dib.SetPixels(1, 0, 1);  // top right red, the rest black
  QImage surface(8, 8, QImage::Format_RGB32);
  surface.fill(Qt::white);
  TCanvas canvas;
  canvas.SetSurface(&surface);
  canvas.StretchDraw(Rect(0, 0, 8, 8), dib);
  EXPECT_EQ(surface.pixel(7, 0), qRgb(255, 0, 0));
  EXPECT_EQ(surface.pixel(0, 7), qRgb(0, 0, 0));
  EXPECT_EQ(surface.pixel(4, 3), qRgb(255, 0, 0));
  EXPECT_EQ(surface.pixel(3, 4), qRgb(0, 0, 0));
}

TEST(KpDIB, HalftoneDrawing) {
  TKpDIB dib;
  dib.SetBitCount(24);
  dib.SetWidth(4);
  dib.SetHeight(4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) dib.SetPixels(x, y, static_cast<int32_t>(RGB(51, 43, 64)));
  dib.SetHalftoneMode(kpHtHalftone);
  QImage surface(6, 6, QImage::Format_RGB32);
  surface.fill(Qt::white);
  TCanvas canvas;
  canvas.SetSurface(&surface);
  canvas.StretchDraw(Rect(1, 1, 1, 5), dib);
  EXPECT_EQ(surface.pixel(1, 2), qRgb(255, 255, 255)) << "an empty rectangle draws nothing";
  canvas.StretchDraw(Rect(0, 0, 6, 6), dib);
  EXPECT_EQ(surface.pixel(3, 3), qRgb(51, 43, 64)) << "a colour of the cube comes out unchanged";
  EXPECT_EQ(dib.HalftoneMode(), kpHtHalftone) << "the mode is restored after drawing";
}

TEST(KpDIBCanvas, DrawsIntoTheDIBItself) {
  for (bool topDown : {false, true}) {
    TKpDIB dib;
    MakeGradient(dib, 6, 4, topDown);
    TChangeCounter changes;
    changes.Attach(dib);
    {
      TKpDIBCanvas canvas(&dib);
      canvas.BrushColor = static_cast<TColor>(RGB(1, 2, 3));
      canvas.FillRect(Rect(0, 0, 2, 1));  // the top-left corner of the picture
    }
    EXPECT_EQ(dib.GetPixels(0, 0), static_cast<int32_t>(RGB(1, 2, 3))) << topDown;
    EXPECT_EQ(dib.GetPixels(1, 0), static_cast<int32_t>(RGB(1, 2, 3))) << topDown;
    EXPECT_NE(dib.GetPixels(0, 1), static_cast<int32_t>(RGB(1, 2, 3))) << topDown;
    EXPECT_EQ(changes.Count, 1) << "closing the canvas tells the DIB's users";
  }
  TKpDIB heap;
  heap.SetUseFMO(false);
  EXPECT_EQ(MessageOf<EKpDIBCanvasFailed>([&] { TKpDIBCanvas canvas(&heap); }), "TKpDIBCanvas.Create: Cannot Create Canvas");
  EXPECT_EQ(MessageOf<EKpDIBCanvasFailed>([&] { TKpDIBCanvas canvas(nullptr); }), "TKpDIBCanvas.Create: Cannot Create Canvas");
  TKpDIB rle;
  TBmpBuilder bmp;
  bmp.BitCount = 8;
  bmp.Compression = BI_RLE8;
  bmp.Width = 3;
  bmp.Height = 1;
  bmp.GrayColors(256);
  bmp.Pixels = {3, 7, 0, 1};
  LoadBmp(rle, bmp);
  EXPECT_EQ(MessageOf<EOutOfResources>([&] { TKpDIBCanvas canvas(&rle); }), "TKpDIBCanvas.Create: Cannot Create Memory DC");
}

TEST(KpDIB, SharedFileMappingsAreReleased) {
  const size_t views = LiveFileMappingViews();
  {
    TKpDIB a;
    MakeGradient(a, 30, 20);
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 30; ++x) a.SetPixels(x, y, x < 15 ? 0x204080 : 0x808080);
    TKpDIB b;
    b.Assign(&a);
    b.SetPixelFormat(kpPf8BitRLE);
    b.SetPixelFormat(kpPf4BitRLE);
    b.SetUseFMO(false);
    b.SetUseFMO(true);
  }
  EXPECT_EQ(LiveFileMappingViews(), views);
}

struct TProgressLog {
  std::vector<std::tuple<TProgressStage, int, std::string>> Reports;
  void Attach(TGraphic& graphic) {
    graphic.OnProgress = [this](TGraphic&, TProgressStage stage, int percent, bool, const TRect&, const std::string& msg) {
      Reports.emplace_back(stage, percent, msg);
    };
  }
};

TEST(KpDIBPixelFormat, ProgressOfColourReductions) {
  TKpDIB dib;
  MakeGradient(dib, 64, 48);
  dib.SetConvertMode(kpCmFine);
  TProgressLog log;
  log.Attach(dib);
  dib.SetPixelFormat(kpPf8BitRLE);
  ASSERT_GE(log.Reports.size(), 2u);
  EXPECT_EQ(log.Reports.front(), std::make_tuple(TProgressStage::psStarting, 0, std::string("PixelFormat 24Bit -> 8BitRLE")));
  EXPECT_EQ(log.Reports.back(), std::make_tuple(TProgressStage::psEnding, 100, std::string("PixelFormat 24Bit -> 8BitRLE")));
  EXPECT_EQ(log.Reports.size(), 2u + 255u) << "256 steps, the last one unreported";
  int last = 0;
  for (size_t i = 1; i + 1 < log.Reports.size(); ++i) {
    EXPECT_EQ(std::get<0>(log.Reports[i]), TProgressStage::psRunning);
    EXPECT_GE(std::get<1>(log.Reports[i]), last);
    last = std::get<1>(log.Reports[i]);
  }
  EXPECT_EQ(dib.GetPixelFormat(), kpPf8BitRLE);

  log.Reports.clear();
  TKpDIB mono;
  mono.SetBitCount(1);
  log.Attach(mono);
  mono.SetPixelFormat(kpPf24Bit);
  EXPECT_TRUE(log.Reports.empty()) << "expansions report nothing";
}

TEST(KpDIBPixelFormat, SameFormatChangesNothing) {
  TKpDIB a;
  MakeGradient(a, 3, 3);
  TKpDIB b;
  b.Assign(&a);
  TChangeCounter changes;
  changes.Attach(b);
  b.SetPixelFormat(kpPf24Bit);
  EXPECT_EQ(changes.Count, 0);
  EXPECT_EQ(a.Storage().RefCount, 2) << "no private copy was made";
}

TEST(KpDIBPixelFormat, EveryPairConvertsAndKeepsAFewColours) {
  // Four colours survive every path: expansions keep them, reductions find them exactly.
  const uint32_t colors[4] = {RGB(255, 255, 255), RGB(200, 30, 40), RGB(20, 90, 220), RGB(0, 0, 0)};
  const TKpPixelFormat stored[] = {kpPf1Bit, kpPf4Bit, kpPf4BitRLE, kpPf8Bit, kpPf8BitRLE, kpPf24Bit};
  for (TKpPixelFormat from : stored) {
    for (TKpPixelFormat to : stored) {
      TKpDIB dib;
      dib.SetBitCount(24);
      dib.SetWidth(40);
      dib.SetHeight(10);
      for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 40; ++x) dib.SetPixels(x, y, static_cast<int32_t>(colors[(from == kpPf1Bit ? x / 20 * 3 : x / 10) % 4]));
      for (TKpConvertMode mode : {kpCmNormal, kpCmFine}) {
        TKpDIB copy;
        copy.Assign(&dib);
        copy.SetConvertMode(mode);
        copy.SetBGColor(clWhite);
        copy.SetPixelFormat(from);
        ASSERT_EQ(copy.GetPixelFormat(), from);
        copy.SetPixelFormat(to);
        EXPECT_EQ(copy.GetPixelFormat(), to);
        copy.SetPixelFormat(kpPf24Bit);
        for (int x = 0; x < 40; x += 5) {
          const int32_t expected = copy.GetPixels(x, 0);
          const int32_t original = dib.GetPixels(x, 0);
          if (from == kpPf1Bit || to == kpPf1Bit) EXPECT_EQ(expected, original == clWhite ? clWhite : clBlack) << from << "->" << to;
          else EXPECT_EQ(expected, original) << from << "->" << to << " mode " << mode << " x " << x;
        }
      }
    }
  }
}

TEST(KpDIBPixelFormat, HalftoneTargetsAndTrueColourPalette) {
  TKpDIB dib;
  TBmpBuilder bmp;
  bmp.BitCount = 4;
  bmp.Compression = BI_RLE4;
  bmp.Width = 4;
  bmp.Height = 1;
  bmp.GrayColors(16);
  bmp.Pixels = {4, 0x12, 0, 1};
  LoadBmp(dib, bmp);
  dib.SetPaletteModified(false);
  dib.SetPixelFormat(kpPfHalftone);
  EXPECT_EQ(dib.GetPixelFormat(), kpPf8Bit);
  EXPECT_EQ(dib.GetPaletteSize(), 215);
  EXPECT_TRUE(dib.PaletteModified());

  TKpDIB eight;
  TProgressLog log;
  log.Attach(eight);
  EXPECT_EQ(MessageOf<EKpDIBBadDIBType>([&] { eight.CreateTrueColorPalette(); }),
            "TKpInternalDIB.CreateTrueColorPalette: Bad DIB Type");
  EXPECT_EQ(eight.GetPaletteSize(), 256);
  EXPECT_EQ(std::get<0>(log.Reports.back()), TProgressStage::psEnding) << "progress is closed on failure too";

  TKpDIB colour;
  MakeGradient(colour, 16, 16);
  const std::vector<uint8_t> before(colour.Storage().DIBInfos.pBits, colour.Storage().DIBInfos.pBits + colour.Storage().DIBInfos.BitsSize);
  colour.CreateTrueColorPalette();
  EXPECT_EQ(colour.GetBitCount(), 24);
  EXPECT_GT(colour.GetPaletteSize(), 16);
  EXPECT_EQ(std::vector<uint8_t>(colour.Storage().DIBInfos.pBits, colour.Storage().DIBInfos.pBits + colour.Storage().DIBInfos.BitsSize), before);
  EXPECT_NE(colour.Palette(), 0u);
}

TEST(KpDIBPixelFormat, FailedConversionLeavesThePicture) {
  TKpDIB dib;
  dib.SetBitCount(8);
  dib.SetWidth(1);
  EXPECT_EQ(MessageOf<EKpDIBCompressionFailed>([&] { dib.SetPixelFormat(kpPf8BitRLE); }),
            "Convert8BitRGBTo8BitRLE: Compression Failed");
  EXPECT_EQ(dib.GetPixelFormat(), kpPf8Bit);
  EXPECT_EQ(dib.Width(), 1);
}

TEST(KpDIBRegistration, PictureLoaderOpensDibFiles) {
  EXPECT_EQ(TPicture::FileFormatClass("DIB"), &TKpDIB::StaticClass());
  EXPECT_EQ(TPicture::ClipboardFormatClass(CF_DIB), &TKpDIB::StaticClass());
  TKpDIB dib;
  MakeGradient(dib, 7, 5);
  const std::string path = (std::filesystem::temp_directory_path() / "tovasel-registration.dib").string();
  dib.SaveToFile(path);
  TPicture picture;
  picture.LoadFromFile(path);
  ASSERT_NE(dynamic_cast<TKpDIB*>(picture.Graphic()), nullptr);
  EXPECT_EQ(picture.Width(), 7);
  std::filesystem::remove(path);
}

}  // namespace
