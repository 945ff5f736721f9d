#include "Form_Tovasel.h"

#include "AboutDialog.h"
#include "SpeedButton.h"
#include "dropfile/DropFile.h"
#include "platform/MessageBox.h"
#include "spi/SPIs.h"
#include "viewer/ImageControl.h"
#include "viewer/PathText.h"
#include "viewer/ThumbnailPages.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QMenu>
#include <QSlider>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <filesystem>

void ShowInformation(const std::string& Text) { ShowMessageBox(kMessageTitle, Text, TMessageBoxIcon::Information); }

namespace {

// The middle of a panel whose children are placed by hand, and which tells its owner of resizes.
class TPanel : public QWidget {
public:
  using QWidget::QWidget;
  std::function<void()> OnResize;

protected:
  void resizeEvent(QResizeEvent* Event) override {
    QWidget::resizeEvent(Event);
    if (OnResize) OnResize();
  }
};

QLabel* ToolBarLabel(const char* Caption, QWidget* Parent) {
  auto* label = new QLabel(QString::fromUtf8(Caption), Parent);
  label->setTextFormat(Qt::PlainText);
  Parent->layout()->addWidget(label);
  return label;
}

}  // namespace

TForm_Tovasel::TForm_Tovasel(std::vector<std::string> Arguments, TProgramFiles Files, QWidget* Parent)
    : QMainWindow(Parent), FArguments(std::move(Arguments)), FFiles(std::move(Files)) {
  setObjectName(kWindowClassName);
  setWindowTitle("Form_Tovasel");
  resize(1009, 724);
  CreateControls();
  CreateCommands();
  FormCreate();
  OKRightDlg = new TOKRightDlg(this);
}

TForm_Tovasel::~TForm_Tovasel() { FDrop1->Detach(pnlGamen); }

void TForm_Tovasel::CreateControls() {
  auto* client = new QWidget(this);
  auto* column = new QVBoxLayout(client);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  setCentralWidget(client);
  CreateToolBar();
  CreateMiddleArea();
  CreateBottomArea();
  column->addWidget(Panel1);
  column->addWidget(Splitter1, 1);
  column->addWidget(pnlBottom);
}

void TForm_Tovasel::CreateToolBar() {
  auto* panel = new TPanel(centralWidget());
  panel->OnResize = [this] { Panel1Resize(); };
  Panel1 = panel;
  Panel1->setObjectName("Panel1");
  Panel1->setFixedHeight(25);
  auto* row = new QHBoxLayout(Panel1);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  const auto button = [this, row](const char* name) {
    auto* b = new TSpeedButton(Panel1);
    b->setObjectName(name);
    b->setFixedSize(25, 23);
    b->setAutoRaise(true);
    row->addWidget(b);
    return b;
  };
  sbtnOpen = button("sbtnOpen");
  sbtnMae = button("sbtnMae");
  sbtnTugi = button("sbtnTugi");
  sbtnSlide = button("sbtnSlide");
  sbtnTime = button("sbtnTime");
  sbtnKabegami = button("sbtnKabegami");
  sbtnClip = button("sbtnClip");
  sbtnList = button("sbtnList");
  sbtnThumb = button("sbtnThumb");
  sbtnAbout = button("sbtnAbout");
  Label1 = ToolBarLabel(" | ", Panel1);
  lblBanme = ToolBarLabel("Banme", Panel1);
  Label2 = ToolBarLabel(" | ", Panel1);
  lblOkisa = ToolBarLabel("saize", Panel1);
  Label3 = ToolBarLabel(" | ", Panel1);
  lblFilmei = ToolBarLabel("Filmei", Panel1);
  lblBanme->setObjectName("lblBanme");
  lblOkisa->setObjectName("lblOkisa");
  lblFilmei->setObjectName("lblFilmei");
  // The tool bar never holds the window wider than the user makes it, whatever the file name.
  lblFilmei->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  row->setStretchFactor(lblFilmei, 1);
  row->setSizeConstraint(QLayout::SetNoConstraint);
  Panel1->setMinimumWidth(1);
}

void TForm_Tovasel::CreateMiddleArea() {
  Splitter1 = new QSplitter(Qt::Horizontal, centralWidget());
  Splitter1->setObjectName("Splitter1");
  Splitter1->setHandleWidth(5);
  Splitter1->setChildrenCollapsible(false);

  pnlLeft = new QWidget(Splitter1);
  pnlLeft->setObjectName("pnlLeft");
  pnlLeft->setMinimumWidth(1);
  auto* leftColumn = new QVBoxLayout(pnlLeft);
  leftColumn->setContentsMargins(0, 0, 0, 0);
  ListBox1 = new QListWidget(pnlLeft);
  ListBox1->setObjectName("ListBox1");
  ListBox1->setUniformItemSizes(true);
  ListBox1->setMinimumWidth(1);
  leftColumn->addWidget(ListBox1);
  connect(ListBox1, &QListWidget::itemClicked, this, [this] { ListBox1Click(); });
  ListBox1->viewport()->setMouseTracking(true);

  auto* gamen = new TPanel(Splitter1);
  gamen->OnResize = [this] { pnlGamenResize(); };
  pnlGamen = gamen;
  pnlGamen->setObjectName("pnlGamen");
  pnlGamen->setAutoFillBackground(true);
  ScrollBox1 = new QWidget(pnlGamen);
  ScrollBox1->setObjectName("ScrollBox1");
  auto* fill = new QVBoxLayout(pnlGamen);
  fill->setContentsMargins(0, 0, 0, 0);
  fill->addWidget(ScrollBox1);
  Image1 = new TImage(ScrollBox1);
  Image1->setObjectName("Image1");
  Image1->hide();
  Image2 = new TImage(ScrollBox1);
  Image2->setObjectName("Image2");
  Image2->move(0, 0);
  Image2->resize(0, 0);

  Splitter1->addWidget(pnlLeft);
  Splitter1->addWidget(pnlGamen);
  Splitter1->setStretchFactor(1, 1);
  Splitter1->setSizes({200, 804});
}

void TForm_Tovasel::CreateBottomArea() {
  pnlBottom = new QWidget(centralWidget());
  pnlBottom->setObjectName("pnlBottom");
  auto* column = new QVBoxLayout(pnlBottom);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  pnlThumMain = new QWidget(pnlBottom);
  pnlThumMain->setObjectName("pnlThumMain");
  pnlThumMain->setFixedHeight(80);
  auto* strip = new QHBoxLayout(pnlThumMain);
  strip->setContentsMargins(0, 0, 0, 0);
  pnlThumLeft = new QWidget(pnlThumMain);
  pnlThumLeft->setObjectName("pnlThumLeft");
  pnlThumLeft->setFixedWidth(25);
  pnlThumb = new QWidget(pnlThumMain);
  pnlThumb->setObjectName("pnlThumb");
  pnlThumb->setFixedWidth(800);
  pnlThumRight = new QWidget(pnlThumMain);
  pnlThumRight->setObjectName("pnlThumRight");
  strip->addWidget(pnlThumLeft);
  strip->addWidget(pnlThumb);
  strip->addWidget(pnlThumRight, 1);
  // The strip is cut at the window's edge rather than holding the window wide.
  strip->setSizeConstraint(QLayout::SetNoConstraint);
  pnlThumMain->setMinimumWidth(1);
  TrackBar1 = new QSlider(Qt::Horizontal, pnlBottom);
  TrackBar1->setObjectName("TrackBar1");
  TrackBar1->setFixedHeight(25);
  TrackBar1->setMinimum(0);
  TrackBar1->setMaximum(10);
  connect(TrackBar1, &QSlider::valueChanged, this, [this] { TrackBar1Change(); });
  column->addWidget(pnlThumMain);
  column->addWidget(TrackBar1);
}

void TForm_Tovasel::FormCreate() {
  Viewer.firstShowDone = false;
  FDrop1 = std::make_unique<TDropFile>();
  FDrop1->SetOnDropReceived([this](QObject* Sender, QWidget* Control, const std::vector<std::string>& FileNames) {
    myDropReceived(Sender, Control, FileNames);
  });
  FDrop1->Attach(pnlGamen);
  SearchModules();
}

void TForm_Tovasel::SearchModules() {
  FSPIs = std::make_unique<TSPIs>();
  FSPIs->SetGraphicPreview(false);
  FSPIs->SetEnabledUnicodeAPI(false);
  FSPIs->SetSearchOptions({spsSusieDir, spsAppDir});
  // A module that makes the search fail must not cost the user the viewer: the modules found until
  // then stay loaded.
  try {
    FSPIs->Clear();
    FSPIs->Search("*.spi");
  } catch (const Exception& error) {
    ShowMessageBox(kMessageTitle, error.Message(), TMessageBoxIcon::Error);
  }
}

void TForm_Tovasel::showEvent(QShowEvent* Event) {
  QMainWindow::showEvent(Event);
  if (!Viewer.firstShowDone) FormShow();
}

void TForm_Tovasel::FormShow() {
  Viewer.gazoMask = BuildGazoMask();
  Viewer.hyoujiMode = kModeImageFile;
  TrackBar1Tag = 0;
  Viewer.listClickGuard = 0;
  Viewer.gazoBan = 0;
  Viewer.appFolda = FFiles.DataFolder;
  iniYomu();
  // The panels take their sizes now, so the first picture is fitted to the box it is shown in.
  pnlThumMain->hide();
  pnlBottom->setFixedHeight(TrackBar1->height());
  centralWidget()->layout()->activate();
  layout()->activate();

  // Whatever opening does, the rest of the set-up follows: later commands rely on it.
  try {
    if (!FArguments.empty()) {
      Viewer.openFilmei = std::filesystem::absolute(FArguments[0]).lexically_normal().string();
      if (!ExtensionPart(Viewer.openFilmei).empty())
        FZ7OpenHyouji(Viewer.openFilmei);
      else
        FZ7OpenFolda(Viewer.openFilmei);
    } else if (Viewer.hyoujiMode == kModeFolder && !Viewer.openFilmei.empty()) {
      if (std::filesystem::is_directory(Viewer.openFilmei)) {
        FZ7OpenFolda(Viewer.openFilmei);
      } else {
        const std::string missing = Viewer.openFilmei;
        Viewer.hyoujiMode = kModeImageFile;
        Viewer.openFilmei.clear();
        ShowInformation("フォルダ「" + missing + "」\r\nが見当たりませんので、Quillet.exeを単独で起動します。");
      }
    } else if ((Viewer.hyoujiMode == kModeImageFile || Viewer.hyoujiMode == kModeZipFile) &&
               !Viewer.openFilmei.empty()) {
      if (std::filesystem::exists(Viewer.openFilmei)) {
        FZ7OpenHyouji(Viewer.openFilmei);
      } else {
        const std::string missing = Viewer.openFilmei;
        Viewer.hyoujiMode = kModeImageFile;
        Viewer.openFilmei.clear();
        ShowInformation("画像ファイル「" + missing +
                        "」\r\nが見当たりません。フォルダが削除されたか、名前変更されたみたいです。\r\n"
                        "よってTovasel.exeを単独で起動します。");
      }
    }
  } catch (const Exception& error) {
    ShowMessageBox(kMessageTitle, error.Message(), TMessageBoxIcon::Error);
  } catch (const std::exception& error) {
    ShowMessageBox(kMessageTitle, error.what(), TMessageBoxIcon::Error);
  }

  SyncTrackBar();
  SlideshowFirstShow();  // from here on resizes redraw
  CreateImageControl();
  thumHajimeSet();
  pnlThumMain->hide();
  pnlBottom->setFixedHeight(TrackBar1->height());
  Viewer.listOn = true;
  Viewer.listWidth = 200;
}

void TForm_Tovasel::closeEvent(QCloseEvent* Event) {
  FormCloseQuery();
  Event->accept();
}

void TForm_Tovasel::FormCloseQuery() {
  // Closing is always allowed; a settings file that cannot be written is reported, once.
  try {
    iniKaku();
  } catch (const Exception& error) {
    if (!FSettingsReported) ShowMessageBox(kMessageTitle, error.Message(), TMessageBoxIcon::Warning);
    FSettingsReported = true;
  }
}

bool TForm_Tovasel::eventFilter(QObject* Watched, QEvent* Event) {
  switch (Event->type()) {
    case QEvent::KeyPress: {
      auto* widget = qobject_cast<QWidget*>(Watched);
      if (!widget || widget->window() != this) return false;
      // Each key once: at the focused control, or at the window when no control has the focus.
      if (widget == QApplication::focusWidget() || (widget == this && !QApplication::focusWidget()))
        myKeyDown(static_cast<QKeyEvent*>(Event)->key());
      // The list box and the track bar do not move by keyboard: keys act through the window's table.
      return widget == ListBox1 || widget == TrackBar1;
    }
    case QEvent::Wheel: {
      auto* widget = qobject_cast<QWidget*>(Watched);
      if (!widget || widget->window() != this || !widget->isWidgetType()) return false;
      auto* wheel = static_cast<QWheelEvent*>(Event);
      QWidget* target = QApplication::widgetAt(wheel->globalPosition().toPoint());
      if (target != widget) return false;  // each wheel event is seen once, at the widget under the pointer
      return FormMouseWheel(target, wheel->angleDelta().y());
    }
    case QEvent::MouseMove:
      if (Watched == ListBox1->viewport()) ListBox1MouseMove(static_cast<QMouseEvent*>(Event)->position().toPoint());
      return false;
    case QEvent::MouseButtonRelease: {
      // A click on a thumbnail cell: released over the cell it was pressed on.
      auto* mouse = static_cast<QMouseEvent*>(Event);
      auto* cell = dynamic_cast<TImage*>(Watched);
      if (cell && mouse->button() == Qt::LeftButton && cell->rect().contains(mouse->position().toPoint()) &&
          std::find(Viewer.thumImage.begin(), Viewer.thumImage.end(), cell) != Viewer.thumImage.end())
        MyImageClick(cell);
      return false;
    }
    default:
      return QMainWindow::eventFilter(Watched, Event);
  }
}
