// The window's keys. Modifiers are not looked at: Shift, Ctrl or Alt with a key act as the key alone.

#include "Form_Tovasel.h"

#include <QAction>

void TForm_Tovasel::myKeyDown(int Key) {
  switch (Key) {
    case Qt::Key_F: acOpenExecute(); break;
    case Qt::Key_Left: ShowPrevious(); break;
    case Qt::Key_Right: ShowNext(); break;
    case Qt::Key_PageUp: ShowFirst(); break;
    case Qt::Key_PageDown: ShowLast(); break;
    case Qt::Key_K: acKabe->trigger(); break;
    case Qt::Key_C: bmpToClip(); break;
    case Qt::Key_S: slideOnOff(); break;
    case Qt::Key_T: sbtnTimeClick(); break;
    case Qt::Key_M: acThumb->trigger(); break;
    case Qt::Key_V: acLiView->trigger(); break;
    case Qt::Key_A: ShowAbout(); break;
    default: break;
  }
}
