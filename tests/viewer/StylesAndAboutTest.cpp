// The About dialog beside the main window, and switching the look of every window while it is open.

#include "ViewerTestSupport.h"
#include "app/AboutDialog.h"
#include "app/Styles.h"

#include <QApplication>
#include <QFrame>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>

#include <algorithm>
#include <regex>

namespace {

std::vector<std::string> MemoLines(const TOKRightDlg& dialog) {
  std::vector<std::string> lines;
  for (QTextBlock block = dialog.Memo1->document()->begin(); block.isValid(); block = block.next())
    lines.push_back(block.text().toStdString());
  return lines;
}

class AboutTest : public ViewerTest {
protected:
  void TearDown() override {
    TStyleManager::SetStyle(TStyleManager::kStandard);
    ViewerTest::TearDown();
  }
};

TEST_F(AboutTest, DialogIsAFixedReadOnlyMemoShownAgainAsItWasLeft) {
  TOKRightDlg dialog;
  EXPECT_EQ(dialog.objectName().toStdString(), "OKRightDlg");
  EXPECT_EQ(dialog.windowTitle().toStdString(), "Tovasel");
  EXPECT_EQ(dialog.minimumSize(), QSize(684, 761));
  EXPECT_EQ(dialog.maximumSize(), QSize(684, 761));
  EXPECT_FALSE(dialog.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(dialog.Memo1->isReadOnly());

  dialog.ShowAbout();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  EXPECT_EQ(dialog.size(), QSize(684, 761));
  EXPECT_EQ(dialog.Memo1->geometry(), dialog.rect());
  EXPECT_EQ(dialog.Bevel1->geometry(), dialog.rect());
  const QRect screen = dialog.screen()->availableGeometry();
  EXPECT_LE((dialog.frameGeometry().center() - screen.center()).manhattanLength(), 2);

  QScrollBar* bar = dialog.Memo1->verticalScrollBar();
  ASSERT_GT(bar->maximum(), 10) << "the help text is longer than the dialog";
  bar->setValue(bar->maximum() / 2);
  const int scrolled = bar->value();
  dialog.close();
  EXPECT_FALSE(dialog.isVisible());
  dialog.ShowAbout();
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(bar->value(), scrolled);

  const std::vector<std::string> lines = MemoLines(dialog);
  ASSERT_GE(lines.size(), 100u);
  EXPECT_EQ(lines[0], "Tovasel V1.6");
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[2], "[ソフトの概要]");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Tovasel V1.6"), 1);
}

TEST_F(AboutTest, HelpTextKeepsItsFixedLinesInOrder) {
  const std::string ideographicSpace = "\u3000";
  // Headings and quoted lines, in the order they must come.
  const std::vector<std::string> fixed = {
      "[作者への連絡先](下記アドレスのXYZをアットマークに変えてメールしてください)",
      "[動作環境]",
      "Windows11で動作確認しています。",
      "適当なフォルダに「Tovasel.exe」を置いて実行してください。",
      "いらなくなったら、そのフォルダごと削除すればOKです。",
      std::string(76, '/'),
      "【画像ファイルの開き方】",
      "【主機能】",
      "メインウインドウ枠内に画像全体を縮小して表示。",
      "【[ボタン]＆{キー}】※キーは大文字も小文字も共通です",
      "[F]ボタンを右クリック:フォルダダイアログで選択したフォルダ(サブフォルダも含む)を検索して画像を開く。",
      "[<]左クリック:{←} ひとつ前の画像を表示、右ボタンクリック:一番最初の画像表示。",
      "[T]{T} スライド時間間隔設定(1秒～5分)",
      "{PageUp}一番最初の画像、{pageDown}一番最後の画像表示",
      "【表示パネル】",
      "【メインウインドウのマウス操作】",
      "【ステータスバー】",
      "サムネイルパネル",
      ideographicSpace + "[<1]:10個前,[1>]:10個次の画像のサムネイルを表示",
      ideographicSpace + "いずれか１つのサムネイルクリックで、その画像をメイン画面に表示",
      "トラックバーで表示画像チェンジ",
      "【設定保存】",
      "Tovasel.exeを起動したフォルダに「Tovasel.ini」が作成・保存され，次回起動時に読み込み。",
      "【仕様】",
      "【注意】Tovasel.exe単体ではbmp画像くらいしか読み込めません。",
      std::string(69, '*'),
      std::string(69, '*'),
      "【他のアプリとの競合】",
      "【覚え書き】",
      "【変更履歴】",
      "V1.4 2026/03/25 サムネイル機能追加。メニューにアイコン追加。",
      "V1.5 2026/08/20 二重起動検知機能追加。",
      "V1.6 2026/10/01 画像めくりトラックバーを常時表示・操作できるようにした。",
      "    画像ファイル選んで開いた時に、その画像を表示するようにした。",
  };
  TOKRightDlg dialog;
  const std::vector<std::string> lines = MemoLines(dialog);
  auto from = lines.begin();
  for (const std::string& line : fixed) {
    const auto found = std::find(from, lines.end(), line);
    ASSERT_NE(found, lines.end()) << "missing or out of order: " << line;
    from = found + 1;
  }
  EXPECT_EQ(lines.back(), fixed.back());

  // The shipped modules are listed between the two star lines.
  const auto stars = std::find(lines.begin(), lines.end(), std::string(69, '*'));
  const auto starsEnd = std::find(stars + 1, lines.end(), std::string(69, '*'));
  for (const char* module : {"ifjpeg.spi", "ifpng.spi", "ifgif.spi", "ifwebp.spi", "ifavif.spi", "iftiff.spi",
                             "ifsvg.spi", "iftga.spi", "ifqtimg.spi"})
    EXPECT_TRUE(std::any_of(stars, starsEnd, [&](const std::string& l) { return l.rfind(module, 0) == 0; })) << module;

  // Seven history entries, each "Vx.y yyyy/mm/dd text".
  const std::regex entry(R"(V1\.[0-6] 20\d\d/\d\d/\d\d \S.*)");
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return std::regex_match(l, entry); }), 7);

  // No address a mail harvester could read, and no web pages.
  const std::string all = dialog.Memo1->toPlainText().toStdString();
  EXPECT_NE(all.find("XYZ"), std::string::npos);
  EXPECT_EQ(all.find('@'), std::string::npos);
  EXPECT_EQ(all.find("http"), std::string::npos);
}

TEST_F(AboutTest, MainWindowStaysUsableWhileTheDialogIsShown) {
  Picture("album/a.bmp");
  Picture("album/b.bmp");
  TForm_Tovasel& w = Start({Path("album/a.bmp")});
  TOKRightDlg dialog(&w);
  dialog.ShowAbout();
  ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &dialog; }));
  EXPECT_FALSE(dialog.isModal());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  // The user goes back to the main window and steps on, the dialog still open.
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &w; }));
  QWidget* focus = QApplication::focusWidget();
  QTest::keyClick(focus && focus->window() == &w ? focus : static_cast<QWidget*>(&w), Qt::Key_Right);
  EXPECT_EQ(Banme(), "2/2枚目");
  EXPECT_TRUE(dialog.isVisible());
}

TEST_F(AboutTest, SwitchingBackRestoresTheStandardLookOfEveryWindow) {
  TForm_Tovasel& w = Start();
  TOKRightDlg dialog(&w);
  dialog.ShowAbout();
  QMenu menu(&w);
  const QPalette standard = QApplication::palette();
  const QString standardStyle = QApplication::style()->name();
  EXPECT_EQ(TStyleManager::ActiveStyle(), "Windows");

  for (const char* theme : {TStyleManager::kDark, TStyleManager::kSlateGray}) {
    SCOPED_TRACE(theme);
    TStyleManager::SetStyle(theme);
    EXPECT_EQ(TStyleManager::ActiveStyle(), theme);
    EXPECT_EQ(QApplication::style()->name(), "fusion");
    for (QWidget* widget : std::initializer_list<QWidget*>{&w, &dialog, dialog.Memo1, &menu}) {
      EXPECT_NE(widget->palette(), standard) << widget->metaObject()->className();
      EXPECT_EQ(widget->palette(), QApplication::palette()) << widget->metaObject()->className();
    }
    // Light text on a dark ground, whatever the theme.
    EXPECT_LT(dialog.Memo1->palette().color(QPalette::Base).lightness(), 128);
    EXPECT_GT(dialog.Memo1->palette().color(QPalette::Text).lightness(), 200);

    TStyleManager::SetStyle(TStyleManager::kStandard);
    EXPECT_EQ(TStyleManager::ActiveStyle(), "Windows");
    EXPECT_EQ(QApplication::style()->name(), standardStyle);
    EXPECT_EQ(QApplication::palette(), standard);
    for (QWidget* widget : std::initializer_list<QWidget*>{&w, &dialog, dialog.Memo1, &menu}) {
      EXPECT_EQ(widget->palette(), standard) << widget->metaObject()->className();
      EXPECT_EQ(widget->style()->name(), standardStyle) << widget->metaObject()->className();
    }
  }
}

TEST_F(AboutTest, UnknownStyleIsRefusedAndChangesNothing) {
  TStyleManager::SetStyle(TStyleManager::kDark);
  const QPalette dark = QApplication::palette();
  for (const char* name : {"Windows10 Blue", "windows10 dark", ""}) {
    SCOPED_TRACE(name);
    EXPECT_THROW(TStyleManager::SetStyle(name), EStyleNotFound);
    EXPECT_EQ(TStyleManager::ActiveStyle(), "Windows10 Dark");
    EXPECT_EQ(QApplication::palette(), dark);
  }
}

}  // namespace
