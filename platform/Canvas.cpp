#include "Canvas.h"

#include "AreaAverage.h"
#include "DIBImage.h"

#include <QPainter>
#include <cstring>

void TCanvas::SetSurface(QImage* surface, bool bottomUp) {
  FSurface = surface;
  FBottomUp = bottomUp;
}

int TCanvas::SetStretchBltMode(int mode) {
  const int old = FStretchMode;
  FStretchMode = mode;
  return old;
}

HPALETTE TCanvas::SelectPalette(HPALETTE palette, bool) {
  const HPALETTE old = FPalette;
  FPalette = palette;
  return old;
}

uint32_t TCanvas::RealizePalette() { return FPalette ? GetPaletteEntries(FPalette, 0, 0, nullptr) : 0; }

// QPainter cannot paint on indexed images: those are painted in true colour and mapped back to their
// own colour table, the nearest entry for each pixel.
template <class Paint>
void TCanvas::PaintOnSurface(Paint&& paint) {
  if (!FSurface || FSurface->isNull()) return;
  const bool indexed = FSurface->format() == QImage::Format_Indexed8 || FSurface->format() == QImage::Format_Mono ||
                       FSurface->format() == QImage::Format_MonoLSB;
  QImage scratch;
  QImage* target = FSurface;
  if (indexed) {
    scratch = FSurface->convertToFormat(QImage::Format_RGB32);
    target = &scratch;
  }
  {
    QPainter painter(target);
    if (FBottomUp) {
      painter.translate(0, target->height());
      painter.scale(1, -1);
    }
    paint(painter);
  }
  if (indexed) {
    // Written back row by row: the surface may be a view of memory it does not own.
    const QImage mapped = scratch.convertToFormat(FSurface->format(), FSurface->colorTable(), Qt::ThresholdDither | Qt::AvoidDither);
    const size_t bytes = static_cast<size_t>(std::min(mapped.bytesPerLine(), FSurface->bytesPerLine()));
    for (int y = 0; y < FSurface->height(); ++y) std::memcpy(FSurface->scanLine(y), mapped.constScanLine(y), bytes);
  }
  if (OnChange) OnChange();
}

void TCanvas::StretchImage(const TRect& dest, const QImage& image, const QRect& source) {
  if (image.isNull() || dest.Width() == 0 || dest.Height() == 0 || source.isEmpty()) return;
  PaintOnSurface([&](QPainter& painter) {
    const QRect target(std::min(dest.Left, dest.Right), std::min(dest.Top, dest.Bottom), std::abs(dest.Width()),
                       std::abs(dest.Height()));
    const bool mirrorX = dest.Width() < 0;
    const bool mirrorY = dest.Height() < 0;
    if (mirrorX || mirrorY) {
      painter.translate(mirrorX ? target.left() * 2 + target.width() : 0, mirrorY ? target.top() * 2 + target.height() : 0);
      painter.scale(mirrorX ? -1 : 1, mirrorY ? -1 : 1);
    }
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    if (FStretchMode == HALFTONE && target.size() != source.size()) {
      // Reduced by area averaging; enlarged by Qt's smooth (bilinear) scaling, as averaging over
      // less than a pixel would only repeat the pixels.
      const QImage part = source == image.rect() ? image : image.copy(source);
      const bool reduces = target.width() <= part.width() && target.height() <= part.height();
      painter.drawImage(target.topLeft(), reduces ? AreaAveraged(part, target.size())
                                                  : part.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    } else {
      painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
      painter.drawImage(target, image, source);
    }
  });
}

int TCanvas::StretchDIBits(int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc, int srcWidth,
                           int srcHeight, const void* bits, size_t bitsSize, const BITMAPINFO& info, uint32_t, uint32_t) {
  const QImage image = DIBToImage(info, bits, bitsSize);
  if (image.isNull()) return 0;
  // Source coordinates count rows from the bottom for bottom-up DIBs.
  const int top = info.bmiHeader.biHeight > 0 ? image.height() - ySrc - srcHeight : ySrc;
  const QRect source = QRect(xSrc, top, srcWidth, srcHeight).intersected(image.rect());
  if (source.isEmpty()) return 0;
  // A 1:1 copy of an indexed DIB onto an indexed surface of the same colours keeps the indexes.
  if (FSurface && FSurface->format() == QImage::Format_Indexed8 && destWidth == srcWidth && destHeight == srcHeight &&
      FSurface->colorTable() == image.colorTable() && !FBottomUp) {
    const QRect target = QRect(xDest, yDest, source.width(), source.height()).intersected(FSurface->rect());
    for (int y = 0; y < target.height(); ++y)
      std::memcpy(FSurface->scanLine(target.top() + y) + target.left(),
                  image.constScanLine(source.top() + (target.top() - yDest) + y) + source.left() + (target.left() - xDest),
                  static_cast<size_t>(target.width()));
    if (OnChange) OnChange();
    return source.height();
  }
  StretchImage(Rect(xDest, yDest, xDest + destWidth, yDest + destHeight), image, source);
  return source.height();
}

void TCanvas::StretchDraw(const TRect& R, TGraphic& Graphic) { Graphic.Draw(*this, R); }

void TCanvas::Draw(int X, int Y, TGraphic& Graphic) {
  Graphic.Draw(*this, Rect(X, Y, X + Graphic.Width(), Y + Graphic.Height()));
}

void TCanvas::FillRect(const TRect& R) {
  const uint32_t rgb = ColorToRGB(BrushColor);
  PaintOnSurface([&](QPainter& painter) {
    painter.fillRect(QRect(R.Left, R.Top, R.Width(), R.Height()), QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb)));
  });
}

TColor TCanvas::Pixel(int X, int Y) const {
  if (!FSurface || !FSurface->valid(X, FBottomUp ? FSurface->height() - 1 - Y : Y)) return -1;
  const QRgb c = FSurface->pixel(X, FBottomUp ? FSurface->height() - 1 - Y : Y);
  return static_cast<TColor>(RGB(static_cast<uint8_t>(qRed(c)), static_cast<uint8_t>(qGreen(c)), static_cast<uint8_t>(qBlue(c))));
}
