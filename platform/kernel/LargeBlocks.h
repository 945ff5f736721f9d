#pragma once
// Large blocks filled once by one writer from their end towards their start: a picture's rows with
// the bottom row stored first, written top row first. The kernel clears every fresh page when it is
// first touched, and for the 72 MB of a 24-megapixel picture a writer faulting page by page spends
// some 50 ms on it, a third of the decode. TPagesAhead has the pages made present on another core
// instead, a few megabytes at a time from the block's end, so that the writer finds them there.
// Plain pages, not huge ones: on a virtual machine huge pages mostly come from memory the host has
// taken back, and touching them costs from 10 to over 90 ms for those 72 MB where plain pages
// populated in bulk take a steady 32 ms. Shared by the program and the modules, so header only.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <sys/mman.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>

class TPagesAhead {
public:
  TPagesAhead() = default;
  // Starts the helper for blocks of several megabytes, on a machine with a second core; otherwise
  // does nothing. The block's contents are never written: pages are only made present.
  TPagesAhead(void* Block, size_t Bytes) {
#ifdef MADV_POPULATE_WRITE
    if (Bytes < kWorthAHelper || std::thread::hardware_concurrency() < 2) return;
    // Whole pages only: the first and last page of the block may hold other allocations.
    const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    const uintptr_t start = (reinterpret_cast<uintptr_t>(Block) + page - 1) & ~(page - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(Block) + Bytes) & ~(page - 1);
    FState = std::make_unique<TState>();
    try {
      FHelper = std::thread(&TPagesAhead::Run, std::ref(*FState), start, end);
    } catch (const std::system_error&) {
      FState.reset();  // no thread to be had: the writer faults its pages in itself
    }
#else
    (void)Block;
    (void)Bytes;
#endif
  }
  ~TPagesAhead() { Stop(); }
  TPagesAhead(TPagesAhead&& other) noexcept : FState(std::move(other.FState)), FHelper(std::move(other.FHelper)) {}
  TPagesAhead& operator=(TPagesAhead&& other) noexcept {
    Stop();
    FState = std::move(other.FState);
    FHelper = std::move(other.FHelper);
    return *this;
  }
  TPagesAhead(const TPagesAhead&) = delete;
  TPagesAhead& operator=(const TPagesAhead&) = delete;

  // Ends the helper between two of its steps and waits for it: called before the block is handed
  // over or freed.
  void Stop() {
    if (!FHelper.joinable()) return;
    FState->Stopping.store(true, std::memory_order_relaxed);
    FHelper.join();
  }

private:
  static constexpr uintptr_t kStep = uintptr_t{4} << 20;
  static constexpr size_t kWorthAHelper = size_t{16} << 20;  // below this the thread costs what it saves

  // Shared with the helper, so kept where a move of the object does not move it.
  struct TState {
    std::atomic<bool> Stopping{false};
  };

  static void Run(TState& State, uintptr_t Start, uintptr_t End) {
#ifdef MADV_POPULATE_WRITE
    for (uintptr_t at = End; at > Start && !State.Stopping.load(std::memory_order_relaxed);) {
      const uintptr_t from = at - Start > kStep ? at - kStep : Start;
      // A kernel that cannot populate says so at once; the writer's own faults then do the work.
      if (madvise(reinterpret_cast<void*>(from), at - from, MADV_POPULATE_WRITE) != 0) return;
      at = from;
    }
#else
    (void)State;
    (void)Start;
    (void)End;
#endif
  }

  std::unique_ptr<TState> FState;
  std::thread FHelper;
};
