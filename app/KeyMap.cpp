// The window's keys. Modifiers are not looked at: Shift, Ctrl or Alt with a key act as the key alone.

#include "Form_Tovasel.h"

void TForm_Tovasel::myKeyDown(int Key) {
  switch (Key) {
    case Qt::Key_F: acOpenExecute(); break;
    case Qt::Key_Left: ShowPrevious(); break;
    case Qt::Key_Right: ShowNext(); break;
    case Qt::Key_PageUp: ShowFirst(); break;
    case Qt::Key_PageDown: ShowLast(); break;
    default: break;
  }
}
