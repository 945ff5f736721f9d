#include "SpeedButton.h"

#include <QMouseEvent>

void TSpeedButton::mousePressEvent(QMouseEvent* Event) {
  emit MouseDown(Event->buttons() | Event->button());
  QToolButton::mousePressEvent(Event);
}
