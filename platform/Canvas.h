#pragma once
// A drawing surface: a Qt image that graphics draw onto, with the state of a device context that
// DIB drawing consults (stretch mode, copy mode, selected palette, brush).

#include "BitmapTypes.h"
#include "Colors.h"
#include "Graphics.h"

#include <QImage>

class QPainter;

class TCanvas {
public:
  TCanvas() = default;
  virtual ~TCanvas() = default;
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  // The image drawn onto, or nullptr. bottomUp: the image's rows are stored bottom row first, so
  // drawing is mirrored vertically to appear upright when the rows are read that way.
  QImage* Surface() const { return FSurface; }
  void SetSurface(QImage* surface, bool bottomUp = false);
  bool HandleAllocated() const { return FSurface != nullptr; }

  uint32_t CopyMode = SRCCOPY;
  TColor BrushColor = clWhite;

  int SetStretchBltMode(int mode);
  int StretchBltMode() const { return FStretchMode; }
  // Returns the palette selected before. Surfaces are true colour or keep their own colour table, so
  // selecting and realising change no pixels.
  HPALETTE SelectPalette(HPALETTE palette, bool forceBackground);
  uint32_t RealizePalette();
  HPALETTE SelectedPalette() const { return FPalette; }

  // Draws the source rectangle of a DIB (any bit count, bit fields or RLE, either row order) into the
  // destination rectangle; negative destination sizes mirror. COLORONCOLOR picks nearest pixels,
  // HALFTONE averages areas. Returns the number of source rows drawn, 0 when nothing could be.
  int StretchDIBits(int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc, int srcWidth, int srcHeight,
                    const void* bits, size_t bitsSize, const BITMAPINFO& info, uint32_t usage, uint32_t rop);
  // Draws a Qt image into a rectangle with the current stretch mode.
  void StretchImage(const TRect& dest, const QImage& image, const QRect& source);

  void StretchDraw(const TRect& R, TGraphic& Graphic);
  void Draw(int X, int Y, TGraphic& Graphic);
  void FillRect(const TRect& R);
  // The colour at a point, -1 outside the surface.
  TColor Pixel(int X, int Y) const;

  // Called after every drawing operation, so owners of the surface can see the change.
  std::function<void()> OnChange;

private:
  template <class Paint>
  void PaintOnSurface(Paint&& paint);

  QImage* FSurface = nullptr;
  bool FBottomUp = false;
  int FStretchMode = BLACKONWHITE;
  HPALETTE FPalette = 0;
};
