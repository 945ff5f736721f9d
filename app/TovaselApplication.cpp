#include "TovaselApplication.h"

#include "Form_Tovasel.h"
#include "platform/Exceptions.h"
#include "platform/MessageBox.h"

#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>

#include <malloc.h>

namespace {

QMessageBox::Icon BoxIcon(TMessageBoxIcon icon) {
  switch (icon) {
    case TMessageBoxIcon::Information: return QMessageBox::Information;
    case TMessageBoxIcon::Warning: return QMessageBox::Warning;
    case TMessageBoxIcon::Error: return QMessageBox::Critical;
  }
  return QMessageBox::Information;
}

void ShowDialog(const std::string& title, const std::string& text, TMessageBoxIcon icon) {
  // Messages break their lines with CR LF; a label wants LF alone.
  QString body = QString::fromStdString(text);
  body.replace("\r\n", "\n");
  QMessageBox box(BoxIcon(icon), QString::fromStdString(title), body, QMessageBox::Ok, QApplication::activeWindow());
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

}  // namespace

TTovaselApplication::TTovaselApplication(int& argc, char** argv) : QApplication(argc, argv) {
  KeepPictureBlocksForReuse();
  setApplicationName("Tovasel");
  setDesktopFileName("tovasel");
  SetMessageBoxHandler(ShowDialog);
  LoadTranslations();
  UseJapaneseFont();
}

void TTovaselApplication::KeepPictureBlocksForReuse() {
  // Every step through photos allocates and frees a block of tens of megabytes (the decoded
  // picture). Left to the allocator's defaults it goes back to the system when freed and comes back
  // page by page, faulting, at the next step; kept in the heap it is reused at once. Blocks beyond a
  // 100-megapixel scan's size still go back.
  mallopt(M_MMAP_THRESHOLD, 256 * 1024 * 1024);
  mallopt(M_TRIM_THRESHOLD, 512 * 1024 * 1024);
}

TTovaselApplication::~TTovaselApplication() { SetMessageBoxHandler(nullptr); }

void TTovaselApplication::ShowError(const std::string& Text) {
  ShowMessageBox(kMessageTitle, Text, TMessageBoxIcon::Error);
}

bool TTovaselApplication::notify(QObject* Receiver, QEvent* Event) {
  try {
    return QApplication::notify(Receiver, Event);
  } catch (const EAbort&) {
  } catch (const std::exception& error) {
    ShowError(error.what());
  } catch (...) {
    ShowError("Unknown error");
  }
  return false;
}

void TTovaselApplication::LoadTranslations() {
  // Qt's own dialogs (file and folder choosers, message box buttons) speak Japanese too.
  auto* translator = new QTranslator(this);
  if (translator->load(QLocale(QLocale::Japanese, QLocale::Japan), "qtbase", "_",
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    installTranslator(translator);
}

void TTovaselApplication::UseJapaneseFont() {
  // The window's font falls back to a Japanese face so that no text renders as boxes.
  const QStringList families = QFontDatabase::families();
  for (const char* family : {"Noto Sans CJK JP", "Noto Sans JP", "IPAexGothic", "IPAGothic", "TakaoPGothic"}) {
    if (!families.contains(family)) continue;
    QFont font = QApplication::font();
    QStringList fallbacks = font.families();
    fallbacks.append(family);
    font.setFamilies(fallbacks);
    setFont(font);
    return;
  }
}
