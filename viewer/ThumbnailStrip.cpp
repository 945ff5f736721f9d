// The thumbnail strip: ten cells of consecutive list entries under the picture, paged by 10, 20 or 30
// entries. A page's pictures arrive one by one after the paging command has returned (see
// ThumbnailPages.h); a click on a cell shows its entry.

#include "app/Form_Tovasel.h"
#include "platform/Bitmap.h"
#include "spi/SPIRegistry.h"
#include "viewer/ExtractedEntry.h"
#include "viewer/FitSize.h"
#include "viewer/ImageControl.h"
#include "viewer/ThumbnailPages.h"

#include <QApplication>
#include <QListWidget>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kCellSide = 80;

// A cell keeps its picture reduced to what it can show at the screen's pixel ratio: a page of full
// pictures of 24 or 100 megapixels would hold gigabytes. Pictures the cell enlarges are kept as they are.
std::unique_ptr<TBitmap> ReducedForCell(TBitmap& source, qreal pixelRatio) {
  const int side = static_cast<int>(std::ceil(kCellSide * pixelRatio));
  auto reduced = std::make_unique<TBitmap>();
  if (source.Width() <= side && source.Height() <= side) {
    reduced->Assign(&source);
    return reduced;
  }
  const QSize size = FitSize(source.Width(), source.Height(), side, side).expandedTo(QSize(1, 1));
  reduced->SetPixelFormat(source.Image().hasAlphaChannel() ? pf32bit : pf24bit);
  reduced->SetWidth(size.width());
  reduced->SetHeight(size.height());
  TCanvas& canvas = reduced->Canvas();
  canvas.SetStretchBltMode(HALFTONE);
  canvas.StretchImage(Rect(0, 0, size.width(), size.height()), source.Image(), source.Image().rect());
  return reduced;
}

// Cells ask the modules for their reduced decode where they have one; the choice is the window's
// again when the load ends.
class TPreviewDecoding {
public:
  explicit TPreviewDecoding(TSPIs& SPIs) : FSPIs(SPIs), FWas(SPIs.GraphicPreview()) { FSPIs.SetGraphicPreview(true); }
  ~TPreviewDecoding() { FSPIs.SetGraphicPreview(FWas); }
  TPreviewDecoding(const TPreviewDecoding&) = delete;
  TPreviewDecoding& operator=(const TPreviewDecoding&) = delete;

private:
  TSPIs& FSPIs;
  bool FWas;
};

}  // namespace

void TForm_Tovasel::CreateThumbnailStrip() {
  const auto pager = [](QWidget* panel, const char* name, const char* caption, int top) {
    auto* button = new QToolButton(panel);
    button->setObjectName(name);
    button->setText(caption);
    button->setGeometry(0, top, 25, 25);
    button->setAutoRaise(true);
    return button;
  };
  sbtnLeft = pager(pnlThumLeft, "sbtnLeft", "<1", 0);
  sbtnLeft2 = pager(pnlThumLeft, "sbtnLeft2", "<2", 25);
  sbtnLeft3 = pager(pnlThumLeft, "sbtnLeft3", "<3", 50);
  sbtnRight = pager(pnlThumRight, "sbtnRight", "1>", 0);
  sbtnRight2 = pager(pnlThumRight, "sbtnRight2", "2>", 25);
  sbtnRight3 = pager(pnlThumRight, "sbtnRight3", "3>", 50);
  connect(sbtnLeft, &QToolButton::clicked, this, [this] { ThumMae(10); });
  connect(sbtnLeft2, &QToolButton::clicked, this, [this] { ThumMae(20); });
  connect(sbtnLeft3, &QToolButton::clicked, this, [this] { ThumMae(30); });
  connect(sbtnRight, &QToolButton::clicked, this, [this] { ThumTugi(10); });
  connect(sbtnRight2, &QToolButton::clicked, this, [this] { ThumTugi(20); });
  connect(sbtnRight3, &QToolButton::clicked, this, [this] { ThumTugi(30); });
  FThumbPages = std::make_unique<TThumbnailPages>(kThumbnailCells, [this](int32_t ist, int i) { ThumLoadCell(ist, i); });
}

void TForm_Tovasel::CreateImageControl() {
  for (int i = 0; i < kThumbnailCells; ++i) {
    auto* cell = new TImage(pnlThumb);
    cell->setObjectName(QString("LInam%1").arg(i));
    cell->setGeometry(kCellSide * i, 0, kCellSide, kCellSide);
    cell->Stretch = true;
    cell->Proportional = true;
    cell->installEventFilter(this);
    cell->show();
    Viewer.thumImage[static_cast<size_t>(i)] = cell;
  }
}

bool TForm_Tovasel::ThumbnailsPending() const { return FThumbPages->Pending(); }

void TForm_Tovasel::thumHajimeSet() {
  Viewer.thumHajime = 0;
  Viewer.thumNeedDraw = true;
  for (TImage* cell : Viewer.thumImage)
    if (cell) cell->Picture.SetGraphic(std::unique_ptr<TGraphic>());
}

void TForm_Tovasel::acThumbExecute() {
  if (ListCount() == 0) return;
  Viewer.thumOn = !Viewer.thumOn;
  if (Viewer.thumOn) {
    pnlBottom->setFixedHeight(TrackBar1->height() + pnlThumb->height());
    pnlThumMain->show();
    if (Viewer.thumNeedDraw) {
      ThumDraw(Viewer.thumHajime);
      Viewer.thumNeedDraw = false;
    }
    pnlThumb->show();
  } else {
    pnlThumb->hide();
    pnlThumMain->hide();
    pnlBottom->setFixedHeight(TrackBar1->height());
  }
}

void TForm_Tovasel::ThumMae(int32_t zobun) {
  if (ListCount() == 0) return;
  Viewer.thumHajime = std::max(Viewer.thumHajime - zobun, 0);
  ThumDraw(Viewer.thumHajime);
}

void TForm_Tovasel::ThumTugi(int32_t zobun) {
  if (ListCount() == 0) return;
  Viewer.thumHajime = std::min(Viewer.thumHajime + zobun, ListCount() - 1);
  ThumDraw(Viewer.thumHajime);
}

void TForm_Tovasel::ThumDraw(int32_t ist) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  for (TImage* cell : Viewer.thumImage)
    if (cell) cell->Picture.SetGraphic(std::unique_ptr<TGraphic>());
  if (Viewer.hyoujiMode == kModeImageFile || Viewer.hyoujiMode == kModeFolder || Viewer.hyoujiMode == kModeZipFile)
    FThumbPages->Request(ist);
  QApplication::restoreOverrideCursor();
}

void TForm_Tovasel::ThumLoadCell(int32_t ist, int i) {
  TImage* cell = Viewer.thumImage[static_cast<size_t>(i)];
  const int index = ist + i;
  if (!cell || index < 0 || index >= ListCount()) return;  // past the end of the list: the cell stays empty
  const std::string item = ListBox1->item(index)->text().toStdString();
  // A picture that cannot be loaded leaves its cell empty, without a word.
  try {
    const TPreviewDecoding preview(*FSPIs);
    TPicture loaded;
    if (Viewer.hyoujiMode == kModeZipFile) {
      const TExtractedEntry entry(Viewer.openFilmei, item, ScratchFolder());
      loaded.LoadFromFile(entry.Path());
    } else {
      loaded.LoadFromFile(item);
    }
    cell->Picture.SetGraphic(ReducedForCell(loaded.Bitmap(), cell->devicePixelRatioF()));
    cell->setToolTip(QString::number(Viewer.hyoujiMode == kModeZipFile ? index + 1 : index));
  } catch (const std::exception&) {
  }
}

void TForm_Tovasel::MyImageClick(QObject* Sender) {
  const auto* cell = dynamic_cast<const TImage*>(Sender);
  if (cell && cell->objectName().size() > 5) {
    const int c = cell->objectName().at(5).digitValue();
    const int p = c + Viewer.thumHajime;
    if (c >= 0 && p >= 0 && p <= ListCount() - 1) SetListSelection(p);
  }
  ListBox1Click();
}
