#pragma once
// A table that hands out small non-zero 32-bit handles for objects it owns. A stale or foreign
// handle finds nothing instead of crashing; a freed slot's handle is not reused at once, because
// the high bits count the slot's generations.

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

template <class T>
class THandleTable {
public:
  uint32_t Add(std::unique_ptr<T> object) {
    std::lock_guard lock(FMutex);
    uint32_t slot;
    if (!FFree.empty()) {
      slot = FFree.back();
      FFree.pop_back();
    } else {
      if (FSlots.size() >= kMaxSlots) return 0;
      slot = static_cast<uint32_t>(FSlots.size());
      FSlots.emplace_back();
    }
    Slot& s = FSlots[slot];
    s.Object = std::move(object);
    s.Generation = (s.Generation + 1) & kGenerationMask;
    if (s.Generation == 0) s.Generation = 1;
    ++FLive;
    return (s.Generation << kSlotBits) | (slot + 1);
  }

  // The object behind a handle, or nullptr. Valid until the handle is removed.
  T* Find(uint32_t handle) {
    std::lock_guard lock(FMutex);
    Slot* s = Lookup(handle);
    return s ? s->Object.get() : nullptr;
  }

  std::unique_ptr<T> Remove(uint32_t handle) {
    std::lock_guard lock(FMutex);
    Slot* s = Lookup(handle);
    if (!s) return nullptr;
    --FLive;
    FFree.push_back((handle & kSlotMask) - 1);
    return std::move(s->Object);
  }

  size_t LiveCount() {
    std::lock_guard lock(FMutex);
    return FLive;
  }

private:
  static constexpr uint32_t kSlotBits = 20;
  static constexpr uint32_t kSlotMask = (1u << kSlotBits) - 1;
  static constexpr uint32_t kGenerationMask = (1u << (32 - kSlotBits)) - 1;
  static constexpr size_t kMaxSlots = kSlotMask;

  struct Slot {
    std::unique_ptr<T> Object;
    uint32_t Generation = 0;
  };

  Slot* Lookup(uint32_t handle) {
    const uint32_t index = handle & kSlotMask;
    if (index == 0 || index > FSlots.size()) return nullptr;
    Slot& s = FSlots[index - 1];
    if (!s.Object || s.Generation != (handle >> kSlotBits)) return nullptr;
    return &s;
  }

  std::mutex FMutex;
  std::vector<Slot> FSlots;
  std::vector<uint32_t> FFree;
  size_t FLive = 0;
};
