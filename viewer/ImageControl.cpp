#include "ImageControl.h"

#include "platform/Bitmap.h"
#include "viewer/FitSize.h"

#include <QPainter>

TImage::TImage(QWidget* Parent) : QWidget(Parent) {
  Picture.OnChange = [this](TPicture&) { update(); };
}

void TImage::paintEvent(QPaintEvent*) {
  const auto* bitmap = dynamic_cast<const TBitmap*>(Picture.Graphic());
  if (!bitmap || bitmap->Empty()) return;
  QPainter painter(this);
  if (!Stretch) {
    painter.drawImage(0, 0, bitmap->Image());
    return;
  }
  const QImage& image = bitmap->Image();
  const QSize size = Proportional ? FitSize(image.width(), image.height(), width(), height()) : this->size();
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(QRect(QPoint(0, 0), size), image);
}
