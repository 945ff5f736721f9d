#pragma once
// The device-dependent bitmap: a Qt image with a pixel format, a palette and a canvas, read from and
// written to BMP streams.

#include "BitmapTypes.h"
#include "Canvas.h"
#include "Graphics.h"

#include <QImage>

enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };

class TBitmap : public TGraphic {
  TV_GRAPHIC_CLASS(TBitmap)

public:
  TBitmap();
  ~TBitmap() override;

  void Assign(const TPersistent* Source) override;
  void Draw(TCanvas& ACanvas, const TRect& R) override;
  void LoadFromStream(TStream& Stream) override;
  void SaveToStream(TStream& Stream) override;
  void LoadFromClipboardFormat(uint16_t AFormat, HGLOBAL AData, HPALETTE APalette) override;
  void SaveToClipboardFormat(uint16_t& AFormat, HGLOBAL& AData, HPALETTE& APalette) override;

  TCanvas& Canvas();
  TPixelFormat PixelFormat() const { return FPixelFormat; }
  void SetPixelFormat(TPixelFormat Value);
  // Bits per pixel of the stored image: 1, 4, 8, 24 or 32.
  int BitsPerPixel() const;

  // The pixels: Format_Indexed8 for 1, 4 and 8 bits (a colour table of 2, 16 or 256 entries),
  // Format_BGR888 for 24 bits, Format_ARGB32 (straight alpha) or Format_RGB32 for 32 bits.
  const QImage& Image() const { return FImage; }
  // Takes a Qt image as it is; its format decides the pixel format.
  void SetImage(QImage image);
  // The rows bottom-up in the DIB layout of the bitmap's bit count, with its colour table; bits has
  // room for DIBRowBytes(width, bitCount) * height bytes.
  void GetDIBits(BITMAPINFO& Info, uint8_t* Bits) const;

protected:
  bool GetEmpty() const override { return FImage.isNull(); }
  int GetWidth() const override { return FImage.isNull() ? FPendingWidth : FImage.width(); }
  int GetHeight() const override { return FImage.isNull() ? FPendingHeight : FImage.height(); }
  void SetWidthValue(int Value) override;
  void SetHeightValue(int Value) override;
  HPALETTE GetPalette() const override { return FPalette; }
  // The bitmap takes the handle over; an indexed image takes its colours.
  void SetPaletteValue(HPALETTE Value) override;

private:
  void Resize(int width, int height);
  void SetPaletteHandle(HPALETTE palette);
  void DrawingChanged();

  QImage FImage;
  // A size with one side 0 makes no image, but the other side is kept for when both are set.
  int FPendingWidth = 0;
  int FPendingHeight = 0;
  TPixelFormat FPixelFormat = pf24bit;
  HPALETTE FPalette = 0;
  std::unique_ptr<TCanvas> FCanvas;
};
