// The slideshow: a switch that gates a timer ticking all the time; each tick while it is on is an
// ordinary step to the next image, so a folder list wraps round and a ZIP list stops at its end.

#include "app/Form_Tovasel.h"
#include "app/SpeedButton.h"

#include <QMenu>
#include <QTimer>

namespace {

QString IntervalHint(int32_t timeBan) {
  return QString::fromUtf8("スライド時間間隔=") + QString::fromUtf8(timeMei[static_cast<size_t>(timeBan)].data());
}

}  // namespace

void TForm_Tovasel::slideOnOff() {
  Viewer.slideOn = !Viewer.slideOn;
  sbtnSlide->setChecked(Viewer.slideOn);
}

void TForm_Tovasel::Timer1Timer() {
  if (Viewer.slideOn) ShowNext();
}

void TForm_Tovasel::sbtnTimeClick() {
  PMenuTime->popup(sbtnTime->mapToGlobal(QPoint(0, sbtnTime->height())));
}

void TForm_Tovasel::DynamicMenuItemClick(QAction* Sender) {
  for (QAction* item : PMenuTime->actions()) item->setChecked(false);
  Viewer.timeBan = Sender->objectName().mid(3).toInt();
  const int interval = timeKankaku[static_cast<size_t>(Viewer.timeBan)];
  // The same interval again leaves the running wait alone.
  if (Timer1->interval() != interval) Timer1->setInterval(interval);
  sbtnTime->setToolTip(IntervalHint(Viewer.timeBan));
  Sender->setChecked(true);
}

void TForm_Tovasel::NewTimeItemCreate() {
  for (int i = 0; i < static_cast<int>(timeMei.size()); ++i) {
    QAction* item = PMenuTime->addAction(QString::fromUtf8(timeMei[static_cast<size_t>(i)].data()));
    item->setObjectName(QString("mnu%1").arg(i));
    item->setData(i);
    item->setCheckable(true);
    connect(item, &QAction::triggered, this, [this, item] { DynamicMenuItemClick(item); });
  }
  Viewer.firstShowDone = true;
}

void TForm_Tovasel::SlideshowFirstShow() {
  Viewer.slideOn = false;
  Viewer.timeBan = 2;
  NewTimeItemCreate();
  PMenuTime->actions().at(Viewer.timeBan)->setChecked(true);
  Timer1->setInterval(timeKankaku[static_cast<size_t>(Viewer.timeBan)]);
  sbtnTime->setToolTip(IntervalHint(Viewer.timeBan));
}
