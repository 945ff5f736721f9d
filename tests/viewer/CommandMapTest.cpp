// The whole command map through real input: keys, clicks, the wheel, drops; the thumbnail strip's
// paging and loading; the slideshow; the exports.

#include "ViewerTestSupport.h"
#include "app/AboutDialog.h"
#include "app/SpeedButton.h"

#include <QClipboard>
#include <QFileDialog>
#include <QMenu>
#include <QMimeData>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <cstdlib>

namespace {

// Sends a drop of these paths onto a widget, as the desktop's drag and drop delivers it.
void Drop(QWidget* target, const std::vector<std::string>& paths) {
  QMimeData data;
  QList<QUrl> urls;
  for (const std::string& path : paths) urls.push_back(QUrl::fromLocalFile(QString::fromStdString(path)));
  data.setUrls(urls);
  const QPoint at(target->width() / 2, target->height() / 2);
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
}

// Runs Action and answers the modal dialog it opens by cancelling it; tells whether one was opened.
bool OpensADialog(const std::function<void()>& action) {
  bool opened = false;
  QTimer watch;
  watch.setInterval(10);
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
      opened = true;
      dialog->reject();
    }
  });
  watch.start();
  action();
  QTest::qWait(20);
  return opened;
}

}  // namespace

class CommandMapTest : public ViewerTest {
protected:
  // A folder of Count pictures named p00.bmp ..., each of its own colour.
  std::string Pictures(const std::string& folder, int count) const {
    for (int i = 0; i < count; ++i)
      Picture(folder + "/" + QString("p%1.bmp").arg(i, 2, 10, QChar('0')).toStdString(), 40, 30,
              QColor::fromHsv(i * 13 % 360, 200, 200));
    return Path(folder);
  }
  // Waits until the strip has loaded its newest page.
  void WaitForThumbnails() const {
    EXPECT_TRUE(QTest::qWaitFor([this] { return !Window->ThumbnailsPending(); }, 10000));
    QApplication::processEvents();
  }
  // The cells that hold a picture, as "hint" texts, empty cells as "-".
  std::vector<std::string> Cells() const {
    std::vector<std::string> cells;
    for (TImage* cell : Window->Viewer.thumImage) {
      const bool filled = cell->Picture.Graphic() && !cell->Picture.Graphic()->Empty();
      cells.push_back(filled ? cell->toolTip().toStdString() : "-");
    }
    return cells;
  }
  static std::vector<std::string> Range(int first, int last) {
    std::vector<std::string> cells;
    for (int i = first; i <= last; ++i) cells.push_back(std::to_string(i));
    while (cells.size() < 10) cells.push_back("-");
    return cells;
  }
  void Click(QWidget* widget) const { QTest::mouseClick(widget, Qt::LeftButton); }
  QToolButton* Pager(const char* name) const { return Window->findChild<QToolButton*>(name); }
};

TEST_F(CommandMapTest, KeysActWhateverTheModifiers) {
  TForm_Tovasel& w = Start();
  for (Qt::KeyboardModifiers modifiers : {Qt::KeyboardModifiers(Qt::NoModifier), Qt::KeyboardModifiers(Qt::ShiftModifier),
                                          Qt::KeyboardModifiers(Qt::ControlModifier)})
    EXPECT_TRUE(OpensADialog([&] { Key(&w, Qt::Key_F, modifiers); })) << modifiers;

  Key(&w, Qt::Key_S);
  EXPECT_TRUE(w.Viewer.slideOn);
  EXPECT_TRUE(w.sbtnSlide->isChecked());
  Key(&w, Qt::Key_S, Qt::ShiftModifier);
  EXPECT_FALSE(w.Viewer.slideOn);
  EXPECT_FALSE(w.sbtnSlide->isChecked());

  Key(&w, Qt::Key_A);
  EXPECT_TRUE(w.OKRightDlg->isVisible());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  w.OKRightDlg->hide();

  // With an empty list neither panel moves.
  const int listWidth = w.pnlLeft->width();
  Key(&w, Qt::Key_V);
  Key(&w, Qt::Key_M);
  EXPECT_EQ(w.pnlLeft->width(), listWidth);
  EXPECT_TRUE(w.pnlThumMain->isHidden());
  Messages.clear();
  Key(&w, Qt::Key_C);
  Key(&w, Qt::Key_K);
  EXPECT_EQ(Messages, (std::vector<std::string>{"表示されている画像がありません。", "表示されている画像がありません。"}));
  EXPECT_FALSE(std::filesystem::exists(w.WallpaperFileName()));
}

TEST_F(CommandMapTest, ListPanelCollapsesToOnePixelAndComesBackAtTheDraggedWidth) {
  TForm_Tovasel& w = Start({Pictures("many", 3)});
  w.Splitter1->setSizes({260, w.Splitter1->width() - 260});
  QApplication::processEvents();
  Key(&w, Qt::Key_V);
  QApplication::processEvents();
  EXPECT_EQ(w.pnlLeft->width(), 1);
  EXPECT_FALSE(w.Viewer.listOn);
  Click(w.sbtnList);  // the same command from its button
  QApplication::processEvents();
  EXPECT_EQ(w.pnlLeft->width(), 260);
}

TEST_F(CommandMapTest, HoverMovesOnlyTheHighlightAndTheWheelStepsFromThere) {
  TForm_Tovasel& w = Start({Pictures("many", 8)});
  const QRect fifth = w.ListBox1->visualItemRect(w.ListBox1->item(4));
  QTest::mouseMove(w.ListBox1->viewport(), fifth.center());
  EXPECT_EQ(w.ListBox1->currentRow(), 4);
  EXPECT_EQ(w.ListBox1->toolTip().toStdString(), Path("many/p04.bmp"));
  EXPECT_EQ(Banme(), "1/8枚目") << "nothing is loaded by hovering";
  Wheel(w.ListBox1->viewport(), -120);
  EXPECT_EQ(Filmei(), "p05.bmp");
  EXPECT_EQ(Banme(), "6/8枚目");
}

TEST_F(CommandMapTest, ThumbnailPagesMoveByTheirButtonsAndClampAtBothEnds) {
  TForm_Tovasel& w = Start({Pictures("many", 25)});
  Key(&w, Qt::Key_M);
  EXPECT_FALSE(w.pnlThumMain->isHidden());
  EXPECT_EQ(w.pnlBottom->height(), w.TrackBar1->height() + 80);
  WaitForThumbnails();
  EXPECT_EQ(Cells(), Range(0, 9)) << "folder hints are 0-based list indexes";

  const struct {
    const char* Button;
    std::vector<std::string> Expected;
  } steps[] = {
      {"sbtnRight", Range(10, 19)}, {"sbtnRight", Range(20, 24)}, {"sbtnRight", Range(24, 24)},
      {"sbtnLeft3", Range(0, 9)},   {"sbtnRight2", Range(20, 24)}, {"sbtnLeft", Range(10, 19)},
  };
  for (const auto& step : steps) {
    Click(Pager(step.Button));
    WaitForThumbnails();
    EXPECT_EQ(Cells(), step.Expected) << step.Button;
  }

  // Hidden and shown again without a new list, the strip keeps its page.
  Key(&w, Qt::Key_M);
  EXPECT_TRUE(w.pnlThumMain->isHidden());
  EXPECT_EQ(w.pnlBottom->height(), w.TrackBar1->height());
  Key(&w, Qt::Key_M);
  WaitForThumbnails();
  EXPECT_EQ(Cells(), Range(10, 19));
}

TEST_F(CommandMapTest, AClickOnACellShowsItsEntryAndPastTheEndTheCurrentOneAgain) {
  TForm_Tovasel& w = Start({Pictures("many", 25)});
  Key(&w, Qt::Key_M);
  Click(Pager("sbtnRight2"));
  WaitForThumbnails();
  EXPECT_EQ(w.Viewer.thumHajime, 20);
  Click(w.Viewer.thumImage[3]);
  EXPECT_EQ(Filmei(), "p23.bmp");
  EXPECT_EQ(Banme(), "24/25枚目");
  Click(w.Viewer.thumImage[7]);  // no entry 27
  EXPECT_EQ(Filmei(), "p23.bmp");
}

TEST_F(CommandMapTest, FastPagingEndsWithTheLastRequestedPageOnly) {
  TForm_Tovasel& w = Start({Pictures("many", 60)});
  Key(&w, Qt::Key_M);
  for (int i = 0; i < 4; ++i) Click(Pager("sbtnRight"));
  WaitForThumbnails();
  EXPECT_EQ(Cells(), Range(40, 49));
}

TEST_F(CommandMapTest, CellsKeepAReducedCopyAndAWindowClosedMidPageTouchesNothing) {
  Picture("big/a.bmp", 2000, 1000, Qt::blue);
  for (int i = 0; i < 9; ++i) Picture("big/b" + std::to_string(i) + ".bmp", 1600, 1200);
  TForm_Tovasel& w = Start({Path("big")});
  Key(&w, Qt::Key_M);
  WaitForThumbnails();
  const TGraphic* cell = w.Viewer.thumImage[0]->Picture.Graphic();
  ASSERT_TRUE(cell);
  const int side = static_cast<int>(std::ceil(80 * w.Viewer.thumImage[0]->devicePixelRatioF()));
  EXPECT_EQ(cell->Width(), side);
  EXPECT_EQ(cell->Height(), side / 2);
  const QImage painted = w.Viewer.thumImage[0]->grab().toImage();
  EXPECT_EQ(painted.pixelColor(40, 20), QColor(Qt::blue));

  Click(Pager("sbtnRight"));
  Click(Pager("sbtnLeft"));
  Window.reset();  // with the page still loading
  QApplication::processEvents();
}

TEST_F(CommandMapTest, ZipThumbnailsCountFromOneAndLeaveNothingInTheScratchFolder) {
  Picture("z/a.bmp");
  Picture("z/b.bmp");
  WriteFile("z/c.bmp", "BM but not a picture");
  Picture("z/d.bmp");
  const std::string zip = Path("pictures.zip");
  ASSERT_EQ(std::system(("cd '" + Path("z") + "' && zip -q '" + zip + "' a.bmp b.bmp c.bmp d.bmp").c_str()), 0);
  TForm_Tovasel& w = Start({zip});
  Key(&w, Qt::Key_M);
  WaitForThumbnails();
  EXPECT_EQ(Cells(), (std::vector<std::string>{"1", "2", "-", "4", "-", "-", "-", "-", "-", "-"}));
  EXPECT_FALSE(std::filesystem::exists(w.ScratchFolder())) << "the undecodable entry is deleted too";
}

TEST_F(CommandMapTest, SlideshowWrapsInAFolderAndStopsAtTheEndOfAZipFile) {
  TForm_Tovasel& w = Start({Pictures("many", 3)});
  Click(w.sbtnSlide);
  EXPECT_TRUE(w.sbtnSlide->isChecked());
  std::vector<std::string> shown;
  for (int i = 0; i < 4; ++i) {
    w.Timer1Timer();
    shown.push_back(Filmei());
  }
  EXPECT_EQ(shown, (std::vector<std::string>{"p01.bmp", "p02.bmp", "p00.bmp", "p01.bmp"}));

  Picture("z/a.bmp");
  Picture("z/b.bmp");
  const std::string zip = Path("pictures.zip");
  ASSERT_EQ(std::system(("cd '" + Path("z") + "' && zip -q '" + zip + "' a.bmp b.bmp").c_str()), 0);
  Drop(w.pnlGamen, {zip});
  EXPECT_TRUE(w.Viewer.slideOn) << "a new list keeps the slideshow running";
  shown.clear();
  for (int i = 0; i < 3; ++i) {
    w.Timer1Timer();
    shown.push_back(Banme());
  }
  EXPECT_EQ(shown, (std::vector<std::string>{"2/2枚目", "2/2枚目", "2/2枚目"}));
}

TEST_F(CommandMapTest, TheIntervalMenuChecksOneItemAndNamesItInTheHint) {
  TForm_Tovasel& w = Start();
  EXPECT_EQ(w.sbtnTime->toolTip().toStdString(), "スライド時間間隔=3秒");
  EXPECT_EQ(w.Timer1->interval(), 3000);
  EXPECT_TRUE(w.Timer1->isActive());
  Click(w.sbtnTime);
  EXPECT_TRUE(QTest::qWaitForWindowExposed(w.PMenuTime));
  QAction* fiveMinutes = w.PMenuTime->findChild<QAction*>("mnu9");
  ASSERT_TRUE(fiveMinutes);
  fiveMinutes->trigger();
  w.PMenuTime->hide();
  EXPECT_EQ(w.sbtnTime->toolTip().toStdString(), "スライド時間間隔=5分");
  EXPECT_EQ(w.Timer1->interval(), 300000);
  std::vector<std::string> checked;
  for (QAction* item : w.PMenuTime->actions())
    if (item->isChecked()) checked.push_back(item->text().toStdString());
  EXPECT_EQ(checked, std::vector<std::string>{"5分"});
  EXPECT_EQ(w.Viewer.timeBan, 9);
}

TEST_F(CommandMapTest, DropsOpenFilesZipFilesAndFoldersInTheirOrderOnTheDisplayPanelOnly) {
  const std::string folder = Pictures("many", 3);
  Picture("z/a.bmp");
  const std::string zip = Path("UPPER.ZIP");
  ASSERT_EQ(std::system(("cd '" + Path("z") + "' && zip -q '" + zip + "' a.bmp").c_str()), 0);
  Pictures("plain folder", 2);
  TForm_Tovasel& w = Start();

  Drop(w.pnlGamen, {folder + "/p01.bmp"});
  EXPECT_EQ(Filmei(), "p01.bmp");
  EXPECT_EQ(Items().size(), 3u);
  Drop(w.ListBox1, {zip});
  EXPECT_EQ(w.Viewer.hyoujiMode, kModeImageFile) << "the list takes no drops";
  Drop(w.ScrollBox1, {zip});  // over the picture area: the display panel's
  EXPECT_EQ(w.Viewer.hyoujiMode, kModeZipFile);
  EXPECT_EQ(Items(), std::vector<std::string>{"a.bmp"});
  Drop(w.pnlGamen, {Path("plain folder")});
  EXPECT_EQ(w.Viewer.hyoujiMode, kModeFolder);
  EXPECT_EQ(Items().size(), 2u);
  Drop(w.pnlGamen, {folder + "/p00.bmp", folder + "/p02.bmp", folder + "/p01.bmp"});
  EXPECT_EQ(Filmei(), "p01.bmp");
  EXPECT_EQ(w.Viewer.openFilmei, folder + "/p01.bmp");
}

TEST_F(CommandMapTest, TheClipboardGetsTheFullPictureAsPngAndBmp) {
  // A PNG, so that the picture comes through a module into the bitmap: top half cyan, bottom half red.
  QImage picture(1500, 900, QImage::Format_RGB32);
  picture.fill(Qt::darkCyan);
  for (int y = 450; y < 900; ++y)
    for (int x = 0; x < 1500; ++x) picture.setPixelColor(x, y, Qt::darkRed);
  std::filesystem::create_directories(Path("one"));
  ASSERT_TRUE(picture.save(QString::fromStdString(Path("one/a.png")), "PNG"));
  TForm_Tovasel& w = Start({Path("one/a.png")});
  Messages.clear();
  Click(w.sbtnClip);
  EXPECT_EQ(Messages, std::vector<std::string>{"表示されている画像をクリップボードへコピーしました。"});
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  ASSERT_TRUE(data);
  for (const char* format : {"image/png", "image/bmp"}) {
    const QImage image = QImage::fromData(data->data(format));
    EXPECT_EQ(image.size(), QSize(1500, 900)) << format;
    EXPECT_EQ(image.pixelColor(700, 400), QColor(Qt::darkCyan)) << format;
    EXPECT_EQ(image.pixelColor(700, 500), QColor(Qt::darkRed)) << format;
  }
}

TEST_F(CommandMapTest, WallpaperIsWrittenFullSizeAndSetOrItsFailureReported) {
  Picture("one/a.bmp", 1500, 900, Qt::darkCyan);
  TForm_Tovasel& w = Start({Path("one/a.bmp")});
  // No desktop and no setter to be found: the failure, never the success message.
  const QByteArray path = qgetenv("PATH"), desktop = qgetenv("XDG_CURRENT_DESKTOP"), display = qgetenv("DISPLAY");
  qputenv("PATH", QByteArray::fromStdString(Path("no-tools")));
  qputenv("XDG_CURRENT_DESKTOP", "none");
  qunsetenv("DISPLAY");
  Messages.clear();
  Key(&w, Qt::Key_K);
  qputenv("PATH", path);
  qputenv("XDG_CURRENT_DESKTOP", desktop);
  if (!display.isEmpty()) qputenv("DISPLAY", display);
  ASSERT_EQ(Messages.size(), 1u);
  EXPECT_EQ(Messages[0].rfind("画像を壁紙にセットできませんでした。", 0), 0u) << "[" << Messages[0] << "]";
  QImage written(QString::fromStdString(w.WallpaperFileName()));
  EXPECT_EQ(written.size(), QSize(1500, 900));
  EXPECT_FALSE(std::filesystem::exists(w.WallpaperFileName() + ".part"));
}
