// Moving through the image list: every command ends in FZgazoMaeTugi, which picks the entry, has it
// loaded and drawn, and brings the list selection, the track bar and the labels into step.

#include "app/Form_Tovasel.h"
#include "viewer/ImageControl.h"
#include "viewer/PathText.h"

#include <QListWidget>
#include <QSlider>
#include <QLabel>

int TForm_Tovasel::ListCount() const { return ListBox1->count(); }

int TForm_Tovasel::ListSelection() const { return ListBox1->currentRow(); }

void TForm_Tovasel::SetListSelection(int Index) {
  if (Index >= 0 && Index < ListBox1->count())
    ListBox1->setCurrentRow(Index);
  else
    ListBox1->setCurrentRow(-1);
}

void TForm_Tovasel::SyncTrackBar() {
  TrackBar1Tag = 1;
  TrackBar1->setMaximum(ListCount() - 1);
  TrackBar1->setValue(ListSelection());
  lblbanmeKak(Viewer.gazoBan);
  TrackBar1Tag = 0;
}

void TForm_Tovasel::FZgazoMaeTugi(int32_t fOrZ, int32_t maetugi, int32_t dban) {
  if (fOrZ == kModeImageFile || fOrZ == kModeFolder)
    gazoMaeTugi(maetugi, dban);
  else if (fOrZ == kModeZipFile)
    ZIPfilHyouji(*Image1, *Image2, maetugi, Viewer.openFilmei, dban);
  SyncTrackBar();
}

void TForm_Tovasel::gazoMaeTugi(int32_t maetugi, int32_t dban) {
  const int count = ListCount();
  if (count == 0) return;
  if (maetugi == 1) {
    if (++Viewer.gazoBan > count - 1) Viewer.gazoBan = 0;
  } else if (maetugi == 0) {
    if (--Viewer.gazoBan < 0) Viewer.gazoBan = count - 1;
  }
  if (dban >= 0) Viewer.gazoBan = dban;
  const std::string path = ListBox1->item(Viewer.gazoBan)->text().toStdString();
  lblFilmei->setText(QString::fromStdString(FileNamePart(path)));
  ShowPicture(*Image1, *Image2, path);
  Viewer.listClickGuard = 1;
  SetListSelection(Viewer.gazoBan);
  Viewer.listClickGuard = 0;
}

void TForm_Tovasel::ShowPicture(TImage& Holder, TImage& Shown, const std::string& Path) {
  // A picture that cannot be loaded is dropped without a word: the previous one stays on screen.
  try {
    // The previous picture is let go first, as a failed load would drop it anyway: two large
    // pictures are never held at once, and the new one is decoded into the memory the old one freed.
    Holder.Picture.SetGraphic(std::unique_ptr<TGraphic>());
    Holder.Picture.LoadFromFile(Path);
    myGazoRedraw(Holder, Shown);
    lblOkisa->setText(QString("%1 x %2").arg(Holder.Picture.Width()).arg(Holder.Picture.Height()));
  } catch (const std::exception&) {
    Holder.Picture.SetGraphic(std::unique_ptr<TGraphic>());
  }
}

void TForm_Tovasel::lblbanmeKak(int32_t b) {
  lblBanme->setText(QString("%1/%2枚目").arg(b + 1).arg(ListCount()));
}

void TForm_Tovasel::ListBox1Click() {
  if (Viewer.listClickGuard == 1) return;
  Viewer.gazoBan = ListSelection();
  FZgazoMaeTugi(Viewer.hyoujiMode, 1, Viewer.gazoBan);
}

void TForm_Tovasel::TrackBar1Change() {
  if (TrackBar1Tag == 1) return;
  try {
    TrackBar1Tag = 1;  // the maximum below must not come back here
    TrackBar1->setMaximum(ListCount() - 1);
    TrackBar1Tag = 0;
    SetListSelection(TrackBar1->value());
    const int k = ListSelection();
    if (k < 0) return;
    Viewer.gazoBan = k - 1;
    FZgazoMaeTugi(Viewer.hyoujiMode, 1, -1);
  } catch (const std::exception&) {
    TrackBar1Tag = 0;
  }
}

bool TForm_Tovasel::FormMouseWheel(QWidget* Target, int Delta) {
  const bool overPicture = Target == ScrollBox1 || ScrollBox1->isAncestorOf(Target);
  const bool overList = Target == ListBox1 || ListBox1->isAncestorOf(Target);
  if (!overPicture && !overList) return false;
  const int count = ListCount();
  int i = ListSelection();
  if (Delta > 0) {
    if (--i < 0) i = count - 1;
  } else {
    if (++i > count - 1) i = 0;
  }
  SetListSelection(i);
  ListBox1Click();
  return true;
}

void TForm_Tovasel::ShowFirst() { FZgazoMaeTugi(Viewer.hyoujiMode, 0, 0); }
void TForm_Tovasel::ShowPrevious() { FZgazoMaeTugi(Viewer.hyoujiMode, 0, -1); }
void TForm_Tovasel::ShowNext() { FZgazoMaeTugi(Viewer.hyoujiMode, 1, -1); }
void TForm_Tovasel::ShowLast() { FZgazoMaeTugi(Viewer.hyoujiMode, 1, ListCount() - 1); }

void TForm_Tovasel::sbtnMaeMouseDown(Qt::MouseButtons Buttons) {
  if (Buttons & Qt::RightButton)
    ShowFirst();
  else if (Buttons & Qt::LeftButton)
    ShowPrevious();
}

void TForm_Tovasel::sbtnTugiMouseDown(Qt::MouseButtons Buttons) {
  if (Buttons & Qt::RightButton)
    ShowLast();
  else if (Buttons & Qt::LeftButton)
    ShowNext();
}
