// Fit-to-window drawing: the whole picture, its aspect ratio kept, enlarged or reduced to the display
// panel, drawn from the hidden holder into the shown image with area-averaging resampling.

#include "app/Form_Tovasel.h"
#include "platform/Bitmap.h"
#include "viewer/FitSize.h"
#include "viewer/ImageControl.h"

void TForm_Tovasel::myGazoRedraw(TImage& imag1, TImage& imag2) {
  TBitmap& source = imag1.Picture.Bitmap();
  const QSize fitted = FitSize(source.Width(), source.Height(), pnlGamen->width(), pnlGamen->height());
  imag2.move(0, 0);
  imag2.resize(fitted);
  TBitmap& target = imag2.Picture.Bitmap();
  // Transparent pixels stay transparent, so the panel's background shows through them.
  target.SetPixelFormat(source.Image().hasAlphaChannel() ? pf32bit : pf24bit);
  target.SetWidth(fitted.width());
  target.SetHeight(fitted.height());
  if (!fitted.isEmpty() && !source.Empty()) {
    TCanvas& canvas = target.Canvas();
    canvas.SetStretchBltMode(HALFTONE);
    canvas.StretchImage(Rect(0, 0, fitted.width(), fitted.height()), source.Image(), source.Image().rect());
  }
  imag2.update();
}

void TForm_Tovasel::Panel1Resize() {
  if (Viewer.firstShowDone) myGazoRedraw(*Image1, *Image2);
}

void TForm_Tovasel::pnlGamenResize() {
  if (Viewer.firstShowDone) ListBox1Click();
}
