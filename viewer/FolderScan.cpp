// Filling the image list: an image file lists its folder's tree and selects itself, a folder lists its
// tree and shows the first image, a ZIP file lists its entries.

#include "app/Form_Tovasel.h"
#include "platform/DirectoryListing.h"
#include "viewer/PathText.h"

#include <QFileDialog>
#include <QListWidget>

namespace {

constexpr int kFileListLimit = 1000;

std::vector<std::string> SplitMasks(const std::string& masks) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t end = masks.find(';', start);
    parts.push_back(masks.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

// The list box's whole-text search without regard to case: the first match, or -1.
int FindItemIgnoringCase(const QListWidget& list, const std::string& text) {
  const QString wanted = QString::fromStdString(text);
  for (int i = 0; i < list.count(); ++i)
    if (list.item(i)->text().compare(wanted, Qt::CaseInsensitive) == 0) return i;
  return -1;
}

}  // namespace

void TForm_Tovasel::ListRebuilt() {
  Viewer.gazoKazu = ListCount();
  // A new list that holds something starts the thumbnail strip from its beginning.
  if (Viewer.gazoKazu >= 1) {
    Viewer.thumHajime = 0;
    Viewer.thumNeedDraw = true;
  }
}

std::vector<std::string> TForm_Tovasel::MyGetFiles(const std::string& Folder, const std::string& Masks) const {
  const std::vector<std::string> masks = SplitMasks(Masks);
  return GetFiles(Folder, [&masks](const std::string&, const std::string& name) {
    for (const std::string& mask : masks)
      if (MatchesMask(name, mask)) return true;
    return false;
  });
}

void TForm_Tovasel::listset(const std::string& filmei) {
  ListBox1->clear();
  Viewer.listFolda = FolderPart(filmei);
  ListBox1->setUpdatesEnabled(false);
  Viewer.gazoFiles = MyGetFiles(Viewer.listFolda, Viewer.gazoMask);
  int count = 0;
  for (const std::string& path : Viewer.gazoFiles) {
    ListBox1->addItem(QString::fromStdString(path));
    if (++count == kFileListLimit) {
      ShowInformation("検索ファイル数が" + std::to_string(kFileListLimit) + "以上になりましたので\r\n検索を打ち切りました");
      break;
    }
  }
  ListBox1->setUpdatesEnabled(true);
  ListRebuilt();
  Viewer.gazoBan = FindItemIgnoringCase(*ListBox1, filmei);
  setWindowTitle(QString::fromStdString(FolderPart(filmei)));
}

void TForm_Tovasel::foldaSet(const std::string& folmei) {
  ListBox1->clear();
  Viewer.listFolda = folmei;
  ListBox1->setUpdatesEnabled(false);
  Viewer.gazoFiles = MyGetFiles(Viewer.listFolda, Viewer.gazoMask);
  QStringList items;
  items.reserve(static_cast<qsizetype>(Viewer.gazoFiles.size()));
  for (const std::string& path : Viewer.gazoFiles) items.append(QString::fromStdString(path));
  ListBox1->addItems(items);
  ListBox1->setUpdatesEnabled(true);
  ListRebuilt();
  Viewer.gazoBan = 0;
  setWindowTitle(QString::fromStdString(folmei));
  if (ListCount() > 0) {
    SetListSelection(Viewer.gazoBan);
    ListBox1Click();
  }
}

void TForm_Tovasel::FZ7OpenHyouji(const std::string& fz7filmei) {
  ListBox1->clear();
  if (LowerCase(ExtensionPart(fz7filmei)) == ".zip") {
    Viewer.hyoujiMode = kModeZipFile;
    filMeiFromZip(fz7filmei);
  } else {
    Viewer.hyoujiMode = kModeImageFile;
    listset(fz7filmei);
  }
  if (ListCount() > 0) {
    SetListSelection(Viewer.gazoBan);
    ListBox1Click();
  }
}

void TForm_Tovasel::FZ7OpenFolda(const std::string& fz7Folda) {
  ListBox1->clear();
  thumHajimeSet();
  Viewer.hyoujiMode = kModeFolder;
  foldaSet(fz7Folda);
}

void TForm_Tovasel::acOpenExecute() {
  const QString chosen = QFileDialog::getOpenFileName(this);
  if (chosen.isEmpty()) return;
  ListBox1->clear();
  Viewer.openFilmei = chosen.toStdString();
  FZ7OpenHyouji(Viewer.openFilmei);
}

void TForm_Tovasel::acOpenFoldaExecute() {
  const QString chosen = QFileDialog::getExistingDirectory(nullptr, "フォルダを選択");
  if (chosen.isEmpty()) return;
  Viewer.openFilmei = chosen.toStdString();
  FZ7OpenFolda(Viewer.openFilmei);
}

void TForm_Tovasel::sbtnOpenMouseDown(Qt::MouseButtons Buttons) {
  if (Buttons & Qt::LeftButton)
    acOpenExecute();
  else if (Buttons & Qt::RightButton)
    acOpenFoldaExecute();
}
