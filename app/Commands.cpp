// The command map: one action per command, bound to its tool-bar buttons and pop-up menu items, and
// the window's key table. Keys go through the window's key handler, not through shortcuts.

#include "Form_Tovasel.h"

#include "AboutDialog.h"
#include "ImageList.h"
#include "SpeedButton.h"
#include "Styles.h"
#include "viewer/ImageControl.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTimer>

void TForm_Tovasel::CreateCommands() {
  CreateActions();
  CreatePopupMenu();
  BindToolBar();

  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
  Timer1->start(1000);
  PMenuTime = new QMenu(this);
  PMenuTime->setObjectName("PMenuTime");
  CreateThumbnailStrip();

  // Keys reach the window before the focused control; the wheel reaches it before its controls.
  qApp->installEventFilter(this);
}

void TForm_Tovasel::CreateActions() {
  const auto action = [this](const char* name, const char* caption, auto command) {
    auto* a = new QAction(QString::fromUtf8(caption), this);
    a->setObjectName(name);
    connect(a, &QAction::triggered, this, command);
    return a;
  };
  acOpen = action("acOpen", "画像を開く", [this] { acOpenExecute(); });
  acOpenFolda = action("acOpenFolda", "フォルダを開く", [this] { acOpenFoldaExecute(); });
  acOpenFolda->setIcon(ImageList1Icon(14));
  acKabe = action("acKabe", "画像を壁紙にする", [this] { acKabeExecute(); });
  acThumb = action("acThumb", "サムネイル表示", [this] { acThumbExecute(); });
  acThumb->setIcon(ImageList1Icon(8));
  acLiView = action("acLiView", "画像リスト表示", [this] { acLiViewExecute(); });
  acLiView->setIcon(ImageList1Icon(7));
  acHyojun = action("acHyojun", "windows標準モード", [] { TStyleManager::SetStyle(TStyleManager::kStandard); });
  acDark = action("acDark", "ダーク(黒)モード", [] { TStyleManager::SetStyle(TStyleManager::kDark); });
  acSlate = action("acSlate", "スレート(灰色)モード", [] { TStyleManager::SetStyle(TStyleManager::kSlateGray); });
}

void TForm_Tovasel::CreatePopupMenu() {
  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  const auto item = [this](QMenu* menu, const char* name, const char* caption, int icon, auto command) {
    QAction* a = menu->addAction(QString::fromUtf8(caption));
    a->setObjectName(name);
    if (icon >= 0) a->setIcon(ImageList1Icon(icon));
    connect(a, &QAction::triggered, this, command);
    return a;
  };
  const auto separator = [this](const char* name) { PopupMenu1->addSeparator()->setObjectName(name); };
  item(PopupMenu1, "pmOpen", "画像を開く", 0, [this] { acOpenExecute(); });
  PopupMenu1->addAction(acOpenFolda);
  separator("N2");
  item(PopupMenu1, "pmSaisyo", "最初の画像表示", 1, [this] { ShowFirst(); });
  item(PopupMenu1, "pmMae", "前の画像", 2, [this] { ShowPrevious(); });
  item(PopupMenu1, "pmTugi", "次の画像", 3, [this] { ShowNext(); });
  item(PopupMenu1, "pmSaigo", "最後の画像表示", 4, [this] { ShowLast(); });
  separator("N3");
  item(PopupMenu1, "pmSuraid", "スライドOn/Off", 12, [this] { slideOnOff(); });
  item(PopupMenu1, "pmkabe", "画像を壁紙にする", 5, [this] { acKabe->trigger(); });
  item(PopupMenu1, "pmCopi", "画像をクリップボードへコピー", 6, [this] { bmpToClip(); });
  QMenu* styles = PopupMenu1->addMenu(QString::fromUtf8("スタイル切り替え"));
  styles->setObjectName("pmTema");
  styles->menuAction()->setObjectName("pmTema");
  item(styles, "pmSubHyojun", "windows標準モード", -1, [this] { acHyojun->trigger(); });
  item(styles, "pnSubDark", "ダーク(黒)モード", -1, [this] { acDark->trigger(); });
  item(styles, "pmSubSlate", "スレート(灰色)モード", -1, [this] { acSlate->trigger(); });
  separator("N4");
  item(PopupMenu1, "pmLiView", "画像リスト表示", 7, [this] { acLiView->trigger(); });
  item(PopupMenu1, "pmThumView", "サムネイル表示", 8, [this] { acThumb->trigger(); });
  item(PopupMenu1, "pmAbout", "About", 9, [this] { ShowAbout(); });
  separator("N1");
  item(PopupMenu1, "pmSaisyou", "最小化", 10, [this] { setWindowState(windowState() | Qt::WindowMinimized); });
  item(PopupMenu1, "pmSyuryo", "Tovaselの終了", 11, [this] { close(); });
  for (QWidget* picture : {static_cast<QWidget*>(Image1), static_cast<QWidget*>(Image2), ScrollBox1}) {
    picture->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(picture, &QWidget::customContextMenuRequested, this,
            [this, picture](const QPoint& at) { PopupMenu1->popup(picture->mapToGlobal(at)); });
  }
}

void TForm_Tovasel::BindToolBar() {
  const struct {
    TSpeedButton* Button;
    int Icon;
    const char* Hint;
  } buttons[] = {
      {sbtnOpen, 0, "画像を開く(右クリック:フォルダを開く)"},
      {sbtnMae, 2, "前の画像表示(右クリック:最初の画像表示)"},
      {sbtnTugi, 3, "次の画像表示(右クリック:最後の画像表示)"},
      {sbtnSlide, 12, "スライドOn/Off"},
      {sbtnTime, 13, "スライド時間間隔"},
      {sbtnKabegami, 5, "画像を壁紙に設定"},
      {sbtnClip, 6, "画像をクリップボードへコピー"},
      {sbtnAbout, 9, "About＆Help"},
  };
  for (const auto& [button, icon, hint] : buttons) {
    button->setIcon(ImageList1Icon(icon));
    button->setIconSize(QSize(16, 16));
    button->setToolTip(QString::fromUtf8(hint));
  }
  connect(sbtnOpen, &TSpeedButton::MouseDown, this, &TForm_Tovasel::sbtnOpenMouseDown);
  connect(sbtnMae, &TSpeedButton::MouseDown, this, &TForm_Tovasel::sbtnMaeMouseDown);
  connect(sbtnTugi, &TSpeedButton::MouseDown, this, &TForm_Tovasel::sbtnTugiMouseDown);
  sbtnSlide->setCheckable(true);
  connect(sbtnSlide, &TSpeedButton::clicked, this, [this] { slideOnOff(); });
  connect(sbtnTime, &TSpeedButton::clicked, this, [this] { sbtnTimeClick(); });
  connect(sbtnKabegami, &TSpeedButton::clicked, this, [this] { acKabe->trigger(); });
  connect(sbtnClip, &TSpeedButton::clicked, this, [this] { bmpToClip(); });
  connect(sbtnAbout, &TSpeedButton::clicked, this, [this] { ShowAbout(); });
  for (TSpeedButton* button : {sbtnList, sbtnThumb}) button->setIconSize(QSize(16, 16));
  sbtnList->setDefaultAction(acLiView);
  sbtnThumb->setDefaultAction(acThumb);
}

void TForm_Tovasel::ShowAbout() { OKRightDlg->ShowAbout(); }
