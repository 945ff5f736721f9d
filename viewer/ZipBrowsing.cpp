// Browsing a ZIP file: the list shows its image entries; showing one extracts it to the scratch
// folder, loads it and deletes it again. The archive is opened anew for every step.

#include "app/Form_Tovasel.h"
#include "platform/ZipFile.h"
#include "viewer/ExtractedEntry.h"
#include "viewer/ImageControl.h"
#include "viewer/PathText.h"

#include <QLabel>
#include <QListWidget>

#include <algorithm>

namespace {

bool IsListedImage(const std::string& name) {
  const std::string extension = ExtensionPart(name);
  return std::find(gazoExt.begin(), gazoExt.end(), extension) != gazoExt.end();  // case counts
}

}  // namespace

std::string TForm_Tovasel::ScratchFolder() const { return Viewer.appFolda + "/temp"; }

void TForm_Tovasel::filMeiFromZip(const std::string& filmei) {
  ListBox1->clear();
  TZipFile zip;
  const std::string folder = ScratchFolder();
  zip.Open(filmei, zmRead);
  ListBox1->setUpdatesEnabled(false);
  // The list stays as far as it got when an entry fails; the error ends the command.
  struct TUpdatesGuard {
    QListWidget* List;
    ~TUpdatesGuard() { List->setUpdatesEnabled(true); }
  } updates{ListBox1};
  for (int i = 0; i < zip.FileCount(); ++i) {
    const std::string name = zip.FileName(i);
    zip.Extract(name, folder, true);
    const std::string path = folder + "/" + name;
    if (IsListedImage(name)) ListBox1->addItem(QString::fromStdString(name));
    setWindowTitle(QString::fromStdString(filmei));
    TExtractedEntry::Remove(path, folder);
  }
  Viewer.gazoBan = 0;
  ListRebuilt();
}

void TForm_Tovasel::ZIPfilHyouji(TImage& imag1, TImage& imag2, int32_t maetugi, const std::string& ofilmei,
                                 int32_t dban) {
  const int count = ListCount();
  if (count == 0) return;
  if (maetugi == 1)
    Viewer.gazoBan = std::min(Viewer.gazoBan + 1, count - 1);
  else if (maetugi == 0)
    Viewer.gazoBan = std::max(Viewer.gazoBan - 1, 0);
  if (dban >= 0) Viewer.gazoBan = dban;
  const std::string name = ListBox1->item(Viewer.gazoBan)->text().toStdString();
  lblFilmei->setText(QString::fromStdString(name));
  {
    const TExtractedEntry entry(ofilmei, name, ScratchFolder());
    ShowPicture(imag1, imag2, entry.Path());
    lblFilmei->setText(QString::fromStdString(FileNamePart(entry.Path())));
  }
  Viewer.listClickGuard = 1;
  SetListSelection(Viewer.gazoBan);
  Viewer.listClickGuard = 0;
}
