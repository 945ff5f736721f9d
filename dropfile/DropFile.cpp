#include "DropFile.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QLoggingCategory>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

namespace {

// Attach and detach notes for debugging; silent unless the category is switched on
// (QT_LOGGING_RULES="tovasel.dropfile.debug=true").
Q_LOGGING_CATEGORY(lcDropFile, "tovasel.dropfile", QtWarningMsg)

std::vector<std::string> LocalFiles(const QMimeData* data) {
  std::vector<std::string> files;
  if (!data || !data->hasUrls()) return files;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) files.push_back(url.toLocalFile().toStdString());
  return files;
}

bool HasLocalFiles(const QMimeData* data) {
  if (!data || !data->hasUrls()) return false;
  const QList<QUrl> urls = data->urls();
  return std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
}

}  // namespace

TDropTargetInfo::TDropTargetInfo(QWidget* AControl, TDropFileEvent ACallback)
    : FControl(AControl), FOriginalAcceptDrops(AControl->acceptDrops()), FCallback(std::move(ACallback)) {}

bool TDropTargetInfo::eventFilter(QObject* Watched, QEvent* Event) {
  switch (Event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDragMoveEvent*>(Event);
      if (HasLocalFiles(drag->mimeData())) drag->acceptProposedAction();
      break;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(Event);
      const std::vector<std::string> files = LocalFiles(drop->mimeData());
      if (files.empty()) break;
      drop->acceptProposedAction();
      // Copies: the handler may detach this control, which frees this object.
      const TDropFileEvent callback = FCallback;
      QWidget* control = FControl;
      if (callback) callback(nullptr, control, files);
      return false;
    }
    default: break;
  }
  return QObject::eventFilter(Watched, Event);
}

TDropFile::~TDropFile() {
  while (!FTargets.empty()) Detach(FTargets.front()->Control());
}

TDropFile::TTargets::const_iterator TDropFile::FindTarget(const QWidget* Control) const {
  return std::find_if(FTargets.begin(), FTargets.end(),
                      [Control](const std::unique_ptr<TDropTargetInfo>& target) { return target->Control() == Control; });
}

void TDropFile::Attach(QWidget* Control) {
  if (!Control || IsAttached(Control)) return;
  auto target = std::make_unique<TDropTargetInfo>(Control, FOnDropReceived);
  const TDropTargetInfo* info = target.get();
  Control->installEventFilter(target.get());
  Control->setAcceptDrops(true);
  // The target is the connection's context, so detaching (which frees it) also disconnects.
  QObject::connect(Control, &QObject::destroyed, target.get(), [this, info] { Forget(info); });
  FTargets.push_back(std::move(target));
  qCDebug(lcDropFile).noquote() << QStringLiteral("Attached: ") + Control->objectName();
}

void TDropFile::Detach(QWidget* Control) {
  const auto found = FindTarget(Control);
  if (found == FTargets.end()) return;
  Control->removeEventFilter(found->get());
  Control->setAcceptDrops((*found)->OriginalAcceptDrops());
  FTargets.erase(found);
  qCDebug(lcDropFile).noquote() << QStringLiteral("Detached: ") + Control->objectName();
}

void TDropFile::Forget(const TDropTargetInfo* Target) {
  const auto found = std::find_if(FTargets.begin(), FTargets.end(),
                                  [Target](const std::unique_ptr<TDropTargetInfo>& target) { return target.get() == Target; });
  if (found != FTargets.end()) FTargets.erase(found);
}
