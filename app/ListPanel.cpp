// The list panel: collapsed to 1 pixel and back to the width it had, and the highlight and hint of the
// item under the pointer.

#include "Form_Tovasel.h"

#include <QListWidget>
#include <QSplitter>

void TForm_Tovasel::acLiViewExecute() {
  if (ListCount() == 0) return;
  Viewer.listOn = !Viewer.listOn;
  const QList<int> sizes = Splitter1->sizes();
  const int total = sizes.value(0) + sizes.value(1);
  if (Viewer.listOn) {
    Splitter1->setSizes({Viewer.listWidth, std::max(total - Viewer.listWidth, 1)});
  } else {
    Viewer.listWidth = pnlLeft->width();
    Splitter1->setSizes({1, std::max(total - 1, 1)});
  }
}

void TForm_Tovasel::ListBox1MouseMove(const QPoint& At) {
  // The list answers a point inside it with the item there or the nearest one, and a point outside
  // with no item. Only the highlight moves: nothing is loaded.
  int index = -1;
  if (ListBox1->viewport()->rect().contains(At) && ListCount() > 0) {
    const QModelIndex at = ListBox1->indexAt(At);
    index = at.isValid() ? at.row() : ListCount() - 1;
  }
  SetListSelection(index);
  const int selected = ListSelection();
  ListBox1->setToolTip(selected >= 0 ? ListBox1->item(selected)->text() : QString());
}
