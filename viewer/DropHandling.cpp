// Files and folders dropped on the display panel open as the open commands open them, one after
// another in the order they came; the last one's list stays.

#include "app/Form_Tovasel.h"
#include "viewer/PathText.h"

#include <QListWidget>

void TForm_Tovasel::myDropReceived(QObject*, QWidget*, const std::vector<std::string>& FileNames) {
  for (const std::string& path : FileNames) {
    Viewer.openFilmei = path;
    // By the text alone, as at start: a name with an extension is a file, anything else a folder.
    if (!ExtensionPart(path).empty()) {
      ListBox1->clear();
      FZ7OpenHyouji(path);
    } else {
      FZ7OpenFolda(path);
    }
  }
}
