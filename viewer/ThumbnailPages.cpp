#include "ThumbnailPages.h"

#include <QCoreApplication>
#include <QEvent>

TThumbnailPages::TThumbnailPages(int Cells, TCellLoad Load) : FCells(Cells), FLoad(std::move(Load)) {
  FPool.setMaxThreadCount(2);
}

TThumbnailPages::~TThumbnailPages() {
  FShared->Closed = true;
  // A task may be waiting for a hand-back posted to the receiver: run those (they see the pages
  // closed and do nothing) until every task has ended.
  while (!FPool.waitForDone(5)) QCoreApplication::sendPostedEvents(&FReceiver, QEvent::MetaCall);
}

void TThumbnailPages::Request(int32_t ist) {
  const uint64_t id = ++FShared->Latest;
  FPool.start([this, shared = FShared, id, ist] {
    for (int i = 0; i < FCells; ++i) {
      if (shared->Closed || shared->Latest != id) return;
      // The check is made again on the user-interface thread, where a newer request or the
      // destructor may have come in meanwhile.
      QMetaObject::invokeMethod(
          &FReceiver,
          [this, &shared, id, ist, i] {
            if (!shared->Closed && shared->Latest == id) FLoad(ist, i);
          },
          Qt::BlockingQueuedConnection);
    }
  });
}
