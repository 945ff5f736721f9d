#pragma once
// The main window: a tool bar on top, the image list on the left, the picture in the middle, and a
// track bar with the thumbnail strip at the bottom. The window owns its controls and the viewer state;
// the members of each concern (folder scan, navigation, rendering, settings ...) are defined in that
// concern's own file.

#include "UserFolders.h"
#include "viewer/ViewerState.h"

#include <QMainWindow>

#include <memory>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QMenu;
class QSlider;
class QSplitter;
class QTimer;
class QToolButton;
class QWheelEvent;
class TDropFile;
class TImage;
class TOKRightDlg;
class TSPIs;
class TSpeedButton;
class TThumbnailPages;

// The title of every message box of the viewer.
inline constexpr const char* kMessageTitle = "Tovasel 情報";
// The class name by which a second instance finds the running window.
inline constexpr const char* kWindowClassName = "TForm_Tovasel";

// Shows an information box titled kMessageTitle.
void ShowInformation(const std::string& Text);

class TForm_Tovasel : public QMainWindow {
  Q_OBJECT

public:
  // Arguments: the command line after the program's own path. Files: where the settings file and the
  // scratch folder are.
  TForm_Tovasel(std::vector<std::string> Arguments, TProgramFiles Files, QWidget* Parent = nullptr);
  ~TForm_Tovasel() override;

  TViewerState Viewer;

  // Tool bar.
  QWidget* Panel1;
  TSpeedButton* sbtnOpen;
  TSpeedButton* sbtnMae;
  TSpeedButton* sbtnTugi;
  TSpeedButton* sbtnSlide;
  TSpeedButton* sbtnTime;
  TSpeedButton* sbtnKabegami;
  TSpeedButton* sbtnClip;
  TSpeedButton* sbtnList;
  TSpeedButton* sbtnThumb;
  TSpeedButton* sbtnAbout;
  QLabel* Label1;
  QLabel* lblBanme;
  QLabel* Label2;
  QLabel* lblOkisa;
  QLabel* Label3;
  QLabel* lblFilmei;
  // The middle area.
  QSplitter* Splitter1;
  QWidget* pnlLeft;
  QListWidget* ListBox1;
  QWidget* pnlGamen;
  QWidget* ScrollBox1;
  TImage* Image1;  // the hidden holder of the decoded picture
  TImage* Image2;  // the fitted rendering on screen
  // The bottom area.
  QWidget* pnlBottom;
  QSlider* TrackBar1;
  int TrackBar1Tag = 0;  // 1 while the viewer itself sets the track bar's range and position
  QWidget* pnlThumMain;
  QWidget* pnlThumLeft;
  QWidget* pnlThumb;
  QWidget* pnlThumRight;
  QToolButton* sbtnLeft;
  QToolButton* sbtnLeft2;
  QToolButton* sbtnLeft3;
  QToolButton* sbtnRight;
  QToolButton* sbtnRight2;
  QToolButton* sbtnRight3;
  // Non-visual parts.
  std::unique_ptr<TSPIs> FSPIs;
  QMenu* PopupMenu1;
  QMenu* PMenuTime;
  QTimer* Timer1;
  QAction* acOpen;
  QAction* acOpenFolda;
  QAction* acKabe;
  QAction* acThumb;
  QAction* acLiView;
  QAction* acHyojun;
  QAction* acDark;
  QAction* acSlate;
  std::unique_ptr<TDropFile> FDrop1;
  TOKRightDlg* OKRightDlg;  // created once, shown modeless

  // Life cycle.
  void FormShow();
  void FormCloseQuery();

  // Settings.
  void iniYomu();
  void iniKaku();
  void iniFormSet();
  std::string SettingsFileName() const;

  // Folder scan and the image list.
  std::vector<std::string> MyGetFiles(const std::string& Folder, const std::string& Masks) const;
  void listset(const std::string& filmei);
  void foldaSet(const std::string& folmei);
  void FZ7OpenHyouji(const std::string& fz7filmei);
  void FZ7OpenFolda(const std::string& fz7Folda);
  void acOpenExecute();
  void acOpenFoldaExecute();
  void sbtnOpenMouseDown(Qt::MouseButtons Buttons);
  void thumHajimeSet();
  // After every rebuild of the list: its count, and the thumbnail strip's reset.
  void ListRebuilt();

  // ZIP files.
  void filMeiFromZip(const std::string& filmei);
  void ZIPfilHyouji(TImage& imag1, TImage& imag2, int32_t maetugi, const std::string& ofilmei, int32_t dban);
  std::string ScratchFolder() const;

  // Navigation and the position display.
  void FZgazoMaeTugi(int32_t fOrZ, int32_t maetugi, int32_t dban);
  void gazoMaeTugi(int32_t maetugi, int32_t dban);
  void lblbanmeKak(int32_t b);
  // Loads a file into the holder and draws it fitted; a file that cannot be loaded empties the holder
  // and leaves the screen as it was.
  void ShowPicture(TImage& Holder, TImage& Shown, const std::string& Path);
  void ListBox1Click();
  void TrackBar1Change();
  bool FormMouseWheel(QWidget* Target, int Delta);
  void sbtnMaeMouseDown(Qt::MouseButtons Buttons);
  void sbtnTugiMouseDown(Qt::MouseButtons Buttons);
  void ShowFirst();
  void ShowPrevious();
  void ShowNext();
  void ShowLast();
  void myKeyDown(int Key);

  // The list panel: collapsed to 1 pixel and back, and the highlight and hint under the pointer.
  void acLiViewExecute();
  void ListBox1MouseMove(const QPoint& At);

  // The thumbnail strip.
  void acThumbExecute();
  void ThumMae(int32_t zobun);
  void ThumTugi(int32_t zobun);
  void ThumDraw(int32_t ist);
  void MyImageClick(QObject* Sender);
  // Whether a page of the strip is still loading.
  bool ThumbnailsPending() const;

  // The slideshow.
  void slideOnOff();
  void Timer1Timer();
  void sbtnTimeClick();
  void DynamicMenuItemClick(QAction* Sender);

  // Wallpaper and clipboard.
  void acKabeExecute();
  void bmpToClip();
  std::string WallpaperFileName() const;

  // Files dropped on the display panel.
  void myDropReceived(QObject* Sender, QWidget* Control, const std::vector<std::string>& FileNames);

  // The About dialog and the styles.
  void ShowAbout();

  // Fit-to-window rendering.
  void myGazoRedraw(TImage& imag1, TImage& imag2);
  void Panel1Resize();
  void pnlGamenResize();

  // The list's selection as the viewer sees it: -1 when nothing is selected.
  int ListSelection() const;
  void SetListSelection(int Index);
  int ListCount() const;

protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;
  void showEvent(QShowEvent* Event) override;
  void closeEvent(QCloseEvent* Event) override;

private:
  void FormCreate();
  void CreateControls();
  void CreateToolBar();
  void CreateMiddleArea();
  void CreateBottomArea();
  void CreateCommands();
  void CreateActions();
  void CreatePopupMenu();
  void BindToolBar();
  void CreateThumbnailStrip();
  void CreateImageControl();
  void ThumLoadCell(int32_t ist, int i);
  void NewTimeItemCreate();
  void SlideshowFirstShow();
  void SearchModules();
  // Sets the track bar's maximum and position without running its change handler.
  void SyncTrackBar();

  std::unique_ptr<TThumbnailPages> FThumbPages;
  std::vector<std::string> FArguments;
  TProgramFiles FFiles;
  bool FSettingsReported = false;
};
