#include "AboutDialog.h"

#include "HelpText.h"

#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTextCursor>

namespace {

QString JoinedHelpText() {
  QStringList lines;
  for (const std::string_view line : HelpLines())
    lines.append(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
  return lines.join('\n');
}

// The memo's face, with the application's own families (the Japanese fallback) behind it.
QFont MemoFont() {
  QFont font = QApplication::font();
  QStringList families{QStringLiteral("Segoe UI")};
  families.append(font.families());
  font.setFamilies(families);
  font.setPixelSize(15);
  return font;
}

}  // namespace

TOKRightDlg::TOKRightDlg(QWidget* Parent)
    : QDialog(Parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
  setObjectName("OKRightDlg");
  setWindowTitle("Tovasel");
  setModal(false);
  setFixedSize(kClientWidth, kClientHeight);

  // The bevel and the memo share the one cell, the memo on top.
  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  Bevel1 = new QFrame(this);
  Bevel1->setObjectName("Bevel1");
  Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
  layout->addWidget(Bevel1, 0, 0);

  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName("Memo1");
  Memo1->setReadOnly(true);
  Memo1->setUndoRedoEnabled(false);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  // Japanese lines have no spaces, and the separator lines are one long word: break anywhere if needed.
  Memo1->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  // The text keeps the palette's text colour, so it follows a style switch.
  Memo1->setFont(MemoFont());
  Memo1->setPlainText(JoinedHelpText());
  layout->addWidget(Memo1, 0, 0);

  FormCreate();
}

void TOKRightDlg::FormCreate() {
  QTextCursor cursor(Memo1->document());
  cursor.movePosition(QTextCursor::Start);
  cursor.insertText(QString(kVersionLine) + "\n\n");
  Memo1->moveCursor(QTextCursor::Start);
}

void TOKRightDlg::ShowAbout() {
  show();
  raise();
  activateWindow();
}

void TOKRightDlg::showEvent(QShowEvent* Event) {
  // Centred on the screen the first time; after that it opens where the user left it.
  if (!FPlaced) {
    FPlaced = true;
    if (const QScreen* where = screen()) {
      QRect frame = frameGeometry();
      frame.moveCenter(where->availableGeometry().center());
      move(frame.topLeft());
    }
  }
  QDialog::showEvent(Event);
}
