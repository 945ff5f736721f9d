#pragma once
// The page requests of the thumbnail strip. Each request runs as a task on a thread pool of its own
// that hands the ten cell loads, one after another, to the user-interface thread and waits for each;
// between two cell loads the window handles its input. Only the newest request loads cells: a cell
// load of a superseded request changes nothing and ends its task. Destroying the pages stops every
// pending request before anything it would touch goes.

#include <QObject>
#include <QThreadPool>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

class TThumbnailPages {
public:
  // Load(ist, i) loads cell i of the page that starts at list index ist, on the user-interface thread.
  using TCellLoad = std::function<void(int32_t ist, int cell)>;

  TThumbnailPages(int Cells, TCellLoad Load);
  ~TThumbnailPages();
  TThumbnailPages(const TThumbnailPages&) = delete;
  TThumbnailPages& operator=(const TThumbnailPages&) = delete;

  // Starts a request for the page at ist and returns at once; earlier requests are superseded.
  void Request(int32_t ist);
  // Whether a request still has cells to load.
  bool Pending() const { return FPool.activeThreadCount() > 0; }

private:
  struct TShared {
    std::atomic<uint64_t> Latest{0};
    std::atomic<bool> Closed{false};
  };

  int FCells;
  TCellLoad FLoad;
  std::shared_ptr<TShared> FShared = std::make_shared<TShared>();
  QObject FReceiver;  // lives on the user-interface thread: the hand-backs run in its context
  QThreadPool FPool;
};
