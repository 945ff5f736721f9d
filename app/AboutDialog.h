#pragma once
// The About and help window: a fixed-size dialog whose only content is the read-only help text. It is
// made once and lives as long as the program; closing it only hides it, so its text and scroll
// position are there again the next time it is shown.

#include <QDialog>

class QFrame;
class QPlainTextEdit;
class QShowEvent;

class TOKRightDlg : public QDialog {
public:
  static constexpr const char* kVersionLine = "Tovasel V1.6";
  static constexpr int kClientWidth = 684;
  static constexpr int kClientHeight = 761;

  explicit TOKRightDlg(QWidget* Parent = nullptr);

  // Shows the dialog in front without making it modal: the main window stays usable.
  void ShowAbout();

  QFrame* Bevel1;
  QPlainTextEdit* Memo1;

protected:
  void showEvent(QShowEvent* Event) override;

private:
  void FormCreate();

  bool FPlaced = false;
};
