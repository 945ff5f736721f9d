// The thumbnail strip's position.

#include "app/Form_Tovasel.h"
#include "viewer/ImageControl.h"

void TForm_Tovasel::thumHajimeSet() {
  Viewer.thumHajime = 0;
  Viewer.thumNeedDraw = true;
  for (TImage* cell : Viewer.thumImage)
    if (cell) cell->Picture.SetGraphic(std::unique_ptr<TGraphic>());
}
