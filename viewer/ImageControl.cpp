#include "ImageControl.h"

#include "platform/Bitmap.h"

#include <QPainter>

TImage::TImage(QWidget* Parent) : QWidget(Parent) {
  Picture.OnChange = [this](TPicture&) { update(); };
}

void TImage::paintEvent(QPaintEvent*) {
  const auto* bitmap = dynamic_cast<const TBitmap*>(Picture.Graphic());
  if (!bitmap || bitmap->Empty()) return;
  QPainter painter(this);
  painter.drawImage(0, 0, bitmap->Image());
}
