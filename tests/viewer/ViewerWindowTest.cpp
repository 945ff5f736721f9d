// The viewer's window driven as a user drives it: started with a path or with remembered settings,
// stepped through with keys, buttons, the wheel and the track bar.

#include "ViewerTestSupport.h"
#include "app/SpeedButton.h"
#include "platform/Bitmap.h"
#include "viewer/FitSize.h"

TEST_F(ViewerTest, EmptyStartShowsTheDesignedLabels) {
  TForm_Tovasel& w = Start();
  EXPECT_EQ(w.windowTitle().toStdString(), "Form_Tovasel");
  EXPECT_EQ(Banme(), "1/0枚目");
  EXPECT_EQ(Okisa(), "saize");
  EXPECT_EQ(Filmei(), "Filmei");
  EXPECT_EQ(w.TrackBar1->minimum(), -1);
  EXPECT_EQ(w.TrackBar1->maximum(), -1);
  EXPECT_TRUE(Messages.empty());
  EXPECT_TRUE(w.pnlThumMain->isHidden());
  EXPECT_EQ(w.Viewer.gazoMask, "*.svg;*.avif;*.jpg;*.jpeg;*.png;*.bmp;*.gif;*.webp;*.ico;*.tif;*.tiff;*.tga");
}

TEST_F(ViewerTest, FolderListsItsTreeInNameOrderAndShowsTheFirst) {
  Picture("photos/b.bmp", 40, 30);
  Picture("photos/A.bmp", 64, 48, Qt::blue);
  Picture("photos/sub/c.bmp");
  Picture("photos/d.BMP");
  Picture("photos/.hidden.bmp");
  WriteFile("photos/notes.txt", "text");
  TForm_Tovasel& w = Start({Path("photos")});
  const std::string folder = Path("photos");
  EXPECT_EQ(Items(), (std::vector<std::string>{folder + "/.hidden.bmp", folder + "/A.bmp", folder + "/b.bmp",
                                               folder + "/d.BMP", folder + "/sub/c.bmp"}));
  EXPECT_EQ(w.windowTitle().toStdString(), folder);
  EXPECT_EQ(w.Viewer.hyoujiMode, kModeFolder);
  EXPECT_EQ(Banme(), "1/5枚目");
  EXPECT_EQ(Filmei(), ".hidden.bmp");
  EXPECT_EQ(w.TrackBar1->maximum(), 4);
  EXPECT_EQ(w.TrackBar1->value(), 0);
}

TEST_F(ViewerTest, FileListsItsFolderAndSelectsItself) {
  Picture("album/one.bmp");
  const std::string two = Picture("album/two.bmp", 80, 20, Qt::green);
  Picture("album/deep/three.bmp");
  TForm_Tovasel& w = Start({two});
  EXPECT_EQ(Items().size(), 3u);
  EXPECT_EQ(w.Viewer.hyoujiMode, kModeImageFile);
  EXPECT_EQ(w.ListBox1->currentRow(), 2);
  EXPECT_EQ(Banme(), "3/3枚目");
  EXPECT_EQ(Filmei(), "two.bmp");
  EXPECT_EQ(Okisa(), "80 x 20");
  EXPECT_EQ(ShownColor(), QColor(Qt::green));
  EXPECT_EQ(w.windowTitle().toStdString(), Path("album"));
}

TEST_F(ViewerTest, RelativeAndDottedPaths) {
  Picture("2024.05/x.bmp");
  Picture("top.bmp");
  const QString before = QDir::currentPath();
  QDir::setCurrent(QString::fromStdString(Root()));
  {
    // A relative path is taken from the current folder.
    TForm_Tovasel& w = Start({"2024.05/x.bmp"});
    EXPECT_EQ(w.Viewer.openFilmei, Path("2024.05/x.bmp"));
    EXPECT_EQ(Filmei(), "x.bmp");
  }
  // A folder with a dot is taken for a file: its parent's tree is listed and the first image shown.
  TForm_Tovasel& w = Start({Path("2024.05")});
  EXPECT_EQ(w.Viewer.hyoujiMode, kModeImageFile);
  EXPECT_EQ(Items(), (std::vector<std::string>{Path("2024.05/x.bmp"), Path("top.bmp")}));
  EXPECT_EQ(Banme(), "1/2枚目");
  QDir::setCurrent(before);
}

TEST_F(ViewerTest, MissingRememberedPathsAreReportedOnceAndForgotten) {
  struct TCase {
    int Mode;
    std::string Message;
  };
  const std::string gone = Path("gone");
  const TCase cases[] = {
      {2, "フォルダ「" + gone + "」\r\nが見当たりませんので、Quillet.exeを単独で起動します。"},
      {0, "画像ファイル「" + gone + "」\r\nが見当たりません。フォルダが削除されたか、名前変更されたみたいです。\r\n"
          "よってTovasel.exeを単独で起動します。"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Mode);
    WriteSettings("[filOrZipMode]\nfilOrZip=" + std::to_string(c.Mode) + "\nzipFilMei=" + gone + "\n");
    Messages.clear();
    Start().close();
    EXPECT_EQ(Messages, std::vector<std::string>{c.Message});
    EXPECT_NE(Settings().find("filOrZip=0"), std::string::npos);
    EXPECT_NE(Settings().find("zipFilMei=\n"), std::string::npos);
    Messages.clear();
    Start().close();
    EXPECT_TRUE(Messages.empty()) << "the next start opens nothing and says nothing";
  }
}

TEST_F(ViewerTest, AFileListsAtMostAThousandWithAMessageAFolderListsAll) {
  for (int i = 0; i < 1001; ++i) WriteFile("many/" + std::to_string(10000 + i) + ".bmp", "");
  Picture("many/10000.bmp");
  TForm_Tovasel& w = Start({Path("many/10000.bmp")});
  EXPECT_EQ(w.ListBox1->count(), 1000);
  EXPECT_EQ(Messages, std::vector<std::string>{"検索ファイル数が1000以上になりましたので\r\n検索を打ち切りました"});
  Messages.clear();
  w.FZ7OpenFolda(Path("many"));
  EXPECT_EQ(w.ListBox1->count(), 1001);
  EXPECT_TRUE(Messages.empty());
}

TEST_F(ViewerTest, StepsWrapInFolderMode) {
  for (const char* name : {"1.bmp", "2.bmp", "3.bmp", "4.bmp", "5.bmp"}) Picture(std::string("five/") + name);
  TForm_Tovasel& w = Start({Path("five")});
  w.ShowLast();
  EXPECT_EQ(Banme(), "5/5枚目");
  Key(&w, Qt::Key_Right);
  EXPECT_EQ(Banme(), "1/5枚目") << "next from the last wraps to the first";
  Key(&w, Qt::Key_Left, Qt::ShiftModifier);
  EXPECT_EQ(Banme(), "5/5枚目") << "previous from the first wraps; modifiers do not matter";
  Key(&w, Qt::Key_PageUp);
  EXPECT_EQ(Banme(), "1/5枚目");
  Key(&w, Qt::Key_PageDown, Qt::ControlModifier);
  EXPECT_EQ(Banme(), "5/5枚目");
  QTest::mouseClick(w.sbtnMae, Qt::RightButton);
  EXPECT_EQ(Banme(), "1/5枚目") << "right button on the back button: first";
  QTest::mouseClick(w.sbtnTugi, Qt::LeftButton);
  EXPECT_EQ(Banme(), "2/5枚目");
  QTest::mouseClick(w.sbtnTugi, Qt::RightButton);
  EXPECT_EQ(Banme(), "5/5枚目");
  EXPECT_EQ(w.ListBox1->currentRow(), 4);
  EXPECT_EQ(w.TrackBar1->value(), 4);
}

TEST_F(ViewerTest, KeysDoNotMoveTheListOrTheTrackBarThemselves) {
  for (const char* name : {"1.bmp", "2.bmp", "3.bmp"}) Picture(std::string("three/") + name);
  TForm_Tovasel& w = Start({Path("three")});
  w.ListBox1->setFocus();
  QTest::keyClick(w.ListBox1, Qt::Key_Down);
  EXPECT_EQ(Banme(), "1/3枚目");
  QTest::keyClick(w.ListBox1, Qt::Key_Right);
  EXPECT_EQ(Banme(), "2/3枚目") << "the window's key table sees the key first, once";
  w.TrackBar1->setFocus();
  QTest::keyClick(w.TrackBar1, Qt::Key_Right);
  EXPECT_EQ(Banme(), "3/3枚目");
  EXPECT_EQ(w.TrackBar1->value(), 2);
}

TEST_F(ViewerTest, WheelOverThePictureOrTheListStepsOverTheToolBarNothing) {
  for (const char* name : {"1.bmp", "2.bmp", "3.bmp"}) Picture(std::string("wheel/") + name);
  TForm_Tovasel& w = Start({Path("wheel")});
  Wheel(w.ScrollBox1, -120);
  EXPECT_EQ(Banme(), "2/3枚目");
  Wheel(w.ListBox1->viewport(), 120);
  EXPECT_EQ(Banme(), "1/3枚目");
  Wheel(w.ListBox1->viewport(), 120);
  EXPECT_EQ(Banme(), "3/3枚目") << "the wheel wraps";
  Wheel(w.Panel1, -120);
  EXPECT_EQ(Banme(), "3/3枚目");
}

TEST_F(ViewerTest, TrackBarShowsWhereItIsMoved) {
  for (const char* name : {"1.bmp", "2.bmp", "3.bmp", "4.bmp"}) Picture(std::string("track/") + name);
  TForm_Tovasel& w = Start();
  w.FZ7OpenFolda(Path("track"));
  EXPECT_EQ(w.TrackBar1->minimum(), -1) << "lowered by the empty start, never raised again";
  EXPECT_EQ(w.TrackBar1->maximum(), 3);
  w.TrackBar1->setValue(2);
  EXPECT_EQ(Banme(), "3/4枚目");
  EXPECT_EQ(Filmei(), "3.bmp");
  w.TrackBar1->setValue(-1);
  EXPECT_EQ(w.ListBox1->currentRow(), -1) << "below the first item the selection goes and nothing new is shown";
  EXPECT_EQ(Filmei(), "3.bmp");
}

TEST_F(ViewerTest, APictureThatFailsKeepsThePreviousOnScreen) {
  Picture("mixed/a.bmp", 50, 40, Qt::blue);
  WriteFile("mixed/b.bmp", "not a picture");
  TForm_Tovasel& w = Start({Path("mixed")});
  EXPECT_EQ(Okisa(), "50 x 40");
  w.ShowNext();
  EXPECT_EQ(Filmei(), "b.bmp");
  EXPECT_EQ(Okisa(), "50 x 40");
  EXPECT_EQ(Banme(), "2/2枚目");
  EXPECT_EQ(ShownColor(), QColor(Qt::blue));
  EXPECT_TRUE(Messages.empty());
}

TEST_F(ViewerTest, PictureIsFittedToThePanelAndRedrawnWhenItChanges) {
  Picture("fit/square.bmp", 100, 100);
  TForm_Tovasel& w = Start({Path("fit")});
  const QSize panel = w.pnlGamen->size();
  const int side = std::min(panel.width(), panel.height());
  EXPECT_EQ(w.Image2->size(), QSize(side, side));
  EXPECT_EQ(w.Image2->pos(), QPoint(0, 0));
  w.resize(w.width() + 200, w.height() - 100);
  const QSize grown = w.pnlGamen->size();
  EXPECT_EQ(w.Image2->size(), FitSize(100, 100, grown.width(), grown.height()));
}

TEST_F(ViewerTest, AHundredMegapixelPictureOpensAndIsFitted) {
  // 10000 x 10000 as an uncompressed TGA: 300 MB of rows, more than Qt's own TGA reader would take.
  std::filesystem::create_directories(Path("big"));
  {
    std::ofstream out(Path("big/hundred.tga"), std::ios::binary);
    const unsigned char header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x10, 0x27, 0x10, 0x27, 24, 0x20};
    out.write(reinterpret_cast<const char*>(header), sizeof(header));
    const std::string row(3 * 10000, '\x40');
    for (int y = 0; y < 10000; ++y) out << row;
  }
  TForm_Tovasel& w = Start({Path("big/hundred.tga")});
  EXPECT_EQ(Okisa(), "10000 x 10000");
  const QSize panel = w.pnlGamen->size();
  const int side = std::min(panel.width(), panel.height());
  EXPECT_EQ(w.Image2->size(), QSize(side, side));
  EXPECT_EQ(ShownColor(), QColor(0x40, 0x40, 0x40));
  EXPECT_TRUE(Messages.empty());
}

TEST(FitSize, KeepsTheRatioAndRoundsHalvesToEven) {
  struct TCase {
    int Bw, Bh, Pw, Ph;
    QSize Expected;
  };
  const TCase cases[] = {
      {100, 100, 800, 600, {600, 600}},   // enlarged
      {3000, 100, 800, 600, {800, 27}},   // 26.67 rounds up
      {1000, 500, 800, 600, {800, 400}},  // wider than the box: the width limits
      {1000, 500, 1000, 400, {800, 400}}, // the height limits
      {800, 600, 400, 300, {400, 300}},   // same ratio: the height branch
      {5, 2, 10, 1, {2, 1}},              // 2.5 rounds to 2
      {7, 2, 10, 1, {4, 1}},              // 3.5 rounds to 4
      {0, 100, 800, 600, {0, 600}},       // a zero side draws nothing
      {100, 0, 800, 600, {800, 0}},
      {100, 100, 0, 0, {0, 0}},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(FitSize(c.Bw, c.Bh, c.Pw, c.Ph), c.Expected) << c.Bw << "x" << c.Bh << " in " << c.Pw << "x" << c.Ph;
}

TEST_F(ViewerTest, SettingsRoundTripAnyPath) {
  Picture("写真 フォルダ/ü.bmp");
  {
    TForm_Tovasel& w = Start({Path("写真 フォルダ")});
    w.move(120, 80);
    w.resize(900, 640);
    w.close();
  }
  const std::string written = Settings();
  EXPECT_EQ(written.find("[form]"), 0u) << written;
  EXPECT_NE(written.find("filOrZip=2"), std::string::npos);
  EXPECT_NE(written.find("zipFilMei=" + Path("写真 フォルダ")), std::string::npos);
  TForm_Tovasel& w = Start();
  EXPECT_EQ(w.Viewer.hyoujiMode, kModeFolder);
  EXPECT_EQ(Filmei(), "ü.bmp");
  EXPECT_EQ(w.size(), QSize(900, 640));
}

TEST_F(ViewerTest, SettingsDefaultsHexAndOffScreenCorrection) {
  WriteSettings("[form]\ntop=0x20\nleft=100000\nheight=$190\nwidth=oops\n");
  TForm_Tovasel& w = Start();
  EXPECT_EQ(w.frameGeometry().top(), 32);
  EXPECT_EQ(w.frameGeometry().left(), 50) << "beyond the monitors: moved back to 50";
  EXPECT_EQ(w.frameGeometry().height(), 400);
  EXPECT_EQ(w.frameGeometry().width(), 800);
}

TEST_F(ViewerTest, UnwritableSettingsAreReportedOnceAndTheWindowStillCloses) {
  std::filesystem::create_directories(Path("Tovasel.ini"));  // a folder where the file should go
  TForm_Tovasel& w = Start();
  EXPECT_TRUE(w.close());
  EXPECT_EQ(Messages.size(), 1u);
  EXPECT_TRUE(w.isHidden());
}

TEST_F(ViewerTest, ZipFileListsItsPictureEntriesAndClampsAtBothEnds) {
  Picture("z/a.bmp", 30, 20, Qt::red);
  WriteFile("z/b.txt", "text");
  Picture("z/c.BMP");
  Picture("z/sub/d.bmp", 60, 10, Qt::green);
  const std::string zip = Path("pictures.zip");
  ASSERT_EQ(std::system(("cd '" + Path("z") + "' && zip -q -r '" + zip + "' a.bmp b.txt c.BMP sub/d.bmp").c_str()), 0);
  TForm_Tovasel& w = Start({zip});
  EXPECT_EQ(w.Viewer.hyoujiMode, kModeZipFile);
  EXPECT_EQ(Items(), (std::vector<std::string>{"a.bmp", "sub/d.bmp"})) << "x.BMP is not listed: the case counts";
  EXPECT_EQ(w.windowTitle().toStdString(), zip);
  EXPECT_EQ(Banme(), "1/2枚目");
  EXPECT_EQ(Okisa(), "30 x 20");
  w.ShowNext();
  EXPECT_EQ(Filmei(), "d.bmp");
  EXPECT_EQ(Okisa(), "60 x 10");
  EXPECT_EQ(ShownColor(), QColor(Qt::green));
  w.ShowNext();
  EXPECT_EQ(Banme(), "2/2枚目") << "no wrap in a ZIP file";
  EXPECT_TRUE(std::filesystem::is_directory(Path("data/temp/sub")));
  EXPECT_TRUE(std::filesystem::is_empty(Path("data/temp/sub"))) << "the extracted entry is deleted again";
  w.ShowPrevious();
  w.ShowPrevious();
  EXPECT_EQ(Banme(), "1/2枚目");

  std::filesystem::remove_all(Path("data/temp"));
  const std::string flat = Path("flat.zip");
  ASSERT_EQ(std::system(("cd '" + Path("z") + "' && zip -q '" + flat + "' a.bmp b.txt").c_str()), 0);
  w.FZ7OpenHyouji(flat);
  EXPECT_EQ(Okisa(), "30 x 20");
  EXPECT_FALSE(std::filesystem::exists(Path("data/temp"))) << "top-level entries leave no scratch folder";
}

TEST_F(ViewerTest, ADamagedZipFileIsReportedByTheDefaultErrorReport) {
  WriteFile("bad.zip", "PK\x03\x04 this is not an archive");
  Start({Path("bad.zip")});
  ASSERT_EQ(Messages.size(), 1u);
  EXPECT_NE(Messages[0].find("TZipFile.Open"), std::string::npos) << Messages[0];
  EXPECT_TRUE(Items().empty());
}

TEST_F(ViewerTest, TransparentAreasShowThePanelsBackgroundAndTheHolderKeepsTheAlpha) {
  // Left half transparent, right half opaque green; decoded by the PNG module beside the program.
  QImage image(60, 40, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  for (int y = 0; y < 40; ++y)
    for (int x = 30; x < 60; ++x) image.setPixelColor(x, y, Qt::green);
  std::filesystem::create_directories(Path("alpha"));
  ASSERT_TRUE(image.save(QString::fromStdString(Path("alpha/a.png")), "PNG"));
  TForm_Tovasel& w = Start({Path("alpha/a.png")});
  ASSERT_EQ(Okisa(), "60 x 40") << "no PNG module found beside the program";
  EXPECT_TRUE(w.Image1->Picture.Bitmap().Image().hasAlphaChannel());
  const QImage screen = w.pnlGamen->grab().toImage();
  const QPoint transparent = w.Image2->mapTo(w.pnlGamen, QPoint(w.Image2->width() / 4, w.Image2->height() / 2));
  const QPoint opaque = w.Image2->mapTo(w.pnlGamen, QPoint(w.Image2->width() * 3 / 4, w.Image2->height() / 2));
  EXPECT_EQ(screen.pixelColor(transparent), w.pnlGamen->palette().color(w.pnlGamen->backgroundRole()));
  EXPECT_EQ(screen.pixelColor(opaque), QColor(Qt::green));
}
