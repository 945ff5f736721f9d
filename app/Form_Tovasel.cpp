#include "Form_Tovasel.h"

#include "SpeedButton.h"
#include "platform/MessageBox.h"
#include "spi/SPIs.h"
#include "viewer/ImageControl.h"
#include "viewer/PathText.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QSlider>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>

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
}

TForm_Tovasel::~TForm_Tovasel() = default;

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
  sbtnOpen->setToolTip("画像を開く(右クリック:フォルダを開く)");
  sbtnMae->setToolTip("前の画像表示(右クリック:最初の画像表示)");
  sbtnTugi->setToolTip("次の画像表示(右クリック:最後の画像表示)");
  sbtnOpen->setText("開");
  sbtnMae->setText("◀");
  sbtnTugi->setText("▶");
  for (TSpeedButton* later : {sbtnSlide, sbtnTime, sbtnKabegami, sbtnClip, sbtnList, sbtnThumb, sbtnAbout})
    later->setEnabled(false);
  connect(sbtnOpen, &TSpeedButton::MouseDown, this, &TForm_Tovasel::sbtnOpenMouseDown);
  connect(sbtnMae, &TSpeedButton::MouseDown, this, &TForm_Tovasel::sbtnMaeMouseDown);
  connect(sbtnTugi, &TSpeedButton::MouseDown, this, &TForm_Tovasel::sbtnTugiMouseDown);

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

void TForm_Tovasel::CreateCommands() {
  acOpen = new QAction("画像を開く", this);
  acOpen->setObjectName("acOpen");
  connect(acOpen, &QAction::triggered, this, [this] { acOpenExecute(); });
  acOpenFolda = new QAction("フォルダを開く", this);
  acOpenFolda->setObjectName("acOpenFolda");
  connect(acOpenFolda, &QAction::triggered, this, [this] { acOpenFoldaExecute(); });

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  const auto item = [this](const char* name, const char* caption, auto command) {
    QAction* action = PopupMenu1->addAction(QString::fromUtf8(caption));
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, command);
    return action;
  };
  item("pmOpen", "画像を開く", [this] { acOpenExecute(); });
  PopupMenu1->addAction(acOpenFolda);
  PopupMenu1->addSeparator();
  item("pmSaisyo", "最初の画像表示", [this] { ShowFirst(); });
  item("pmMae", "前の画像", [this] { ShowPrevious(); });
  item("pmTugi", "次の画像", [this] { ShowNext(); });
  item("pmSaigo", "最後の画像表示", [this] { ShowLast(); });
  PopupMenu1->addSeparator();
  item("pmSaisyou", "最小化", [this] { setWindowState(windowState() | Qt::WindowMinimized); });
  item("pmSyuryo", "Tovaselの終了", [this] { close(); });
  for (QWidget* picture : {static_cast<QWidget*>(Image1), static_cast<QWidget*>(Image2), ScrollBox1}) {
    picture->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(picture, &QWidget::customContextMenuRequested, this,
            [this, picture](const QPoint& at) { PopupMenu1->popup(picture->mapToGlobal(at)); });
  }

  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  PMenuTime = new QMenu(this);
  PMenuTime->setObjectName("PMenuTime");

  // Keys reach the window before the focused control; the wheel reaches it before its controls.
  qApp->installEventFilter(this);
}

void TForm_Tovasel::FormCreate() {
  Viewer.firstShowDone = false;
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
  Viewer.slideOn = false;
  Viewer.timeBan = 2;
  Viewer.firstShowDone = true;  // from here on resizes redraw
  Timer1->setInterval(timeKankaku[static_cast<size_t>(Viewer.timeBan)]);
  sbtnTime->setToolTip(QString::fromUtf8("スライド時間間隔=") + QString::fromUtf8(timeMei[static_cast<size_t>(Viewer.timeBan)].data()));
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
    default:
      return QMainWindow::eventFilter(Watched, Event);
  }
}
