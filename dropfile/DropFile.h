#pragma once
// Makes any widget a drop target for files dragged from the desktop: an event filter on the control
// collects the dropped files' paths and hands them to a handler, and the control's own handling of the
// events still runs. Attach and Detach are idempotent; a control is held at most once.

#include <QObject>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Sender is always null; Control is the widget the files were dropped on; FileNames are the full local
// paths in the order the drag source listed them.
using TDropFileEvent =
    std::function<void(QObject* Sender, QWidget* Control, const std::vector<std::string>& FileNames)>;

// One attached control: the filter installed on it, what it was like before, and the handler it got.
class TDropTargetInfo : public QObject {
public:
  TDropTargetInfo(QWidget* AControl, TDropFileEvent ACallback);

  QWidget* Control() const { return FControl; }
  bool OriginalAcceptDrops() const { return FOriginalAcceptDrops; }

protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
  QWidget* const FControl;
  bool FOriginalAcceptDrops;
  TDropFileEvent FCallback;
};

class TDropFile {
public:
  TDropFile() = default;
  ~TDropFile();
  TDropFile(const TDropFile&) = delete;
  TDropFile& operator=(const TDropFile&) = delete;

  // The handler given to controls attached from now on; those attached before keep theirs.
  const TDropFileEvent& OnDropReceived() const { return FOnDropReceived; }
  void SetOnDropReceived(TDropFileEvent Handler) { FOnDropReceived = std::move(Handler); }

  void Attach(QWidget* Control);
  void Detach(QWidget* Control);

  bool IsAttached(const QWidget* Control) const { return FindTarget(Control) != FTargets.end(); }

private:
  using TTargets = std::vector<std::unique_ptr<TDropTargetInfo>>;
  TTargets::const_iterator FindTarget(const QWidget* Control) const;
  // A control destroyed while attached takes its entry with it; there is nothing left to restore.
  void Forget(const TDropTargetInfo* Target);

  TTargets FTargets;
  TDropFileEvent FOnDropReceived;
};
