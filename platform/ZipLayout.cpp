#include "ZipLayout.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <numeric>

namespace {

constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kEnd64Signature = 0x06064b50;
constexpr uint32_t kEnd64LocatorSignature = 0x07064b50;
constexpr uint32_t kDirectorySignature = 0x02014b50;
constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr size_t kEndSize = 22;
constexpr size_t kEnd64LocatorSize = 20;
constexpr size_t kEnd64Size = 56;
constexpr size_t kDirectoryEntrySize = 46;
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kMaxComment = 65535;
constexpr uint16_t kZip64ExtraId = 0x0001;

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Get32(const uint8_t* p) { return Get16(p) | static_cast<uint32_t>(Get16(p + 2)) << 16; }
uint64_t Get64(const uint8_t* p) { return Get32(p) | static_cast<uint64_t>(Get32(p + 4)) << 32; }

bool ReadAt(int fd, uint64_t offset, void* buffer, size_t size) {
  auto* to = static_cast<uint8_t*>(buffer);
  while (size) {
    const ssize_t n = pread(fd, to, size, static_cast<off_t>(offset));
    if (n <= 0) return false;
    to += n;
    offset += static_cast<uint64_t>(n);
    size -= static_cast<size_t>(n);
  }
  return true;
}

struct TDirectoryPlace {
  uint64_t Offset = 0;
  uint64_t Size = 0;
  uint64_t Count = 0;
};

// The end record nearest the end of the file that describes a directory lying before it, with its
// ZIP64 record when it has one.
std::optional<TDirectoryPlace> FindDirectory(int fd, uint64_t fileSize) {
  if (fileSize < kEndSize) return std::nullopt;
  const uint64_t tailSize = std::min<uint64_t>(fileSize, kEndSize + kMaxComment);
  std::vector<uint8_t> tail(tailSize);
  if (!ReadAt(fd, fileSize - tailSize, tail.data(), tail.size())) return std::nullopt;
  for (size_t at = tail.size() - kEndSize + 1; at-- > 0;) {
    const uint8_t* end = tail.data() + at;
    if (Get32(end) != kEndSignature) continue;
    const uint64_t endOffset = fileSize - tailSize + at;
    TDirectoryPlace place{Get32(end + 16), Get32(end + 12), Get16(end + 10)};
    uint8_t locator[kEnd64LocatorSize];
    if (endOffset >= kEnd64LocatorSize && ReadAt(fd, endOffset - kEnd64LocatorSize, locator, sizeof locator) &&
        Get32(locator) == kEnd64LocatorSignature) {
      uint8_t end64[kEnd64Size];
      const uint64_t end64Offset = Get64(locator + 8);
      if (!ReadAt(fd, end64Offset, end64, sizeof end64) || Get32(end64) != kEnd64Signature) continue;
      place = {Get64(end64 + 48), Get64(end64 + 40), Get64(end64 + 32)};
      if (place.Offset > end64Offset || place.Size > end64Offset - place.Offset) continue;
    } else if (place.Offset > endOffset || place.Size > endOffset - place.Offset) {
      continue;
    }
    return place;
  }
  return std::nullopt;
}

// Replaces the 32-bit fields that say "see the ZIP64 extra field" with its values.
bool ApplyZip64Extra(const uint8_t* extra, size_t size, TZipEntryLayout& entry, bool wantSize, bool wantCompressed,
                     bool wantOffset) {
  for (size_t at = 0; at + 4 <= size;) {
    const uint16_t id = Get16(extra + at);
    const uint16_t length = Get16(extra + at + 2);
    const uint8_t* data = extra + at + 4;
    if (at + 4 + length > size) return false;
    if (id == kZip64ExtraId) {
      size_t used = 0;
      for (auto [want, field] : {std::pair{wantSize, &entry.Size}, std::pair{wantCompressed, &entry.CompressedSize},
                                 std::pair{wantOffset, &entry.HeaderOffset}}) {
        if (!want) continue;
        if (used + 8 > length) return false;
        *field = Get64(data + used);
        used += 8;
      }
      return true;
    }
    at += 4 + length;
  }
  return !(wantSize || wantCompressed || wantOffset);
}

}  // namespace

std::optional<TZipLayout> ReadZipLayout(int fd) {
  struct stat info;
  if (fstat(fd, &info) != 0) return std::nullopt;
  const auto fileSize = static_cast<uint64_t>(info.st_size);
  const std::optional<TDirectoryPlace> place = FindDirectory(fd, fileSize);
  if (!place || place->Count > place->Size / kDirectoryEntrySize) return std::nullopt;
  std::vector<uint8_t> directory(place->Size);
  if (!ReadAt(fd, place->Offset, directory.data(), directory.size())) return std::nullopt;

  TZipLayout layout;
  layout.DirectoryOffset = place->Offset;
  layout.Entries.reserve(place->Count);
  size_t at = 0;
  for (uint64_t i = 0; i < place->Count; ++i) {
    if (directory.size() - at < kDirectoryEntrySize) return std::nullopt;
    const uint8_t* record = directory.data() + at;
    if (Get32(record) != kDirectorySignature) return std::nullopt;
    const size_t nameLength = Get16(record + 28), extraLength = Get16(record + 30), commentLength = Get16(record + 32);
    if (directory.size() - at - kDirectoryEntrySize < nameLength + extraLength + commentLength) return std::nullopt;
    TZipEntryLayout entry;
    entry.Method = Get16(record + 10);
    entry.Crc = Get32(record + 16);
    entry.CompressedSize = Get32(record + 20);
    entry.Size = Get32(record + 24);
    entry.HeaderOffset = Get32(record + 42);
    if (!ApplyZip64Extra(record + kDirectoryEntrySize + nameLength, extraLength, entry, entry.Size == 0xFFFFFFFF,
                         entry.CompressedSize == 0xFFFFFFFF, entry.HeaderOffset == 0xFFFFFFFF))
      return std::nullopt;
    // The local header's own name and extra field lengths place the data; an unreadable header
    // counts as just its fixed part, and reading the entry will report it.
    uint64_t localSize = kLocalHeaderSize;
    uint8_t local[kLocalHeaderSize];
    if (ReadAt(fd, entry.HeaderOffset, local, sizeof local) && Get32(local) == kLocalSignature)
      localSize += Get16(local + 26) + Get16(local + 28);
    if (entry.HeaderOffset > UINT64_MAX - localSize - entry.CompressedSize) return std::nullopt;
    entry.DataEnd = entry.HeaderOffset + localSize + entry.CompressedSize;
    layout.Entries.push_back(entry);
    at += kDirectoryEntrySize + nameLength + extraLength + commentLength;
  }
  return layout;
}

TZipOverlapReport FindZipOverlap(const TZipLayout& layout) {
  const auto& entries = layout.Entries;
  std::vector<size_t> order(entries.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return entries[a].HeaderOffset < entries[b].HeaderOffset; });
  for (size_t k = 0; k < order.size(); ++k) {
    const TZipEntryLayout& entry = entries[order[k]];
    if (k + 1 < order.size() && entry.DataEnd > entries[order[k + 1]].HeaderOffset) {
      const auto [first, second] = std::minmax(order[k], order[k + 1]);
      return {TZipOverlap::zoEntries, first, second};
    }
    if (entry.DataEnd > layout.DirectoryOffset) return {TZipOverlap::zoDirectory, order[k], 0};
  }
  return {};
}
