#pragma once
// Where the entries of a ZIP file lie, read from its central directory and local headers. libzip
// keeps this to itself, and it is what tells an honest archive from an overlapping "zip bomb", whose
// central directory points many entries at the same compressed data.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct TZipEntryLayout {
  uint64_t HeaderOffset = 0;  // of the local header
  uint64_t DataEnd = 0;       // one past the compressed data
  uint64_t CompressedSize = 0;
  uint64_t Size = 0;
  uint32_t Crc = 0;
  uint16_t Method = 0;
};

struct TZipLayout {
  std::vector<TZipEntryLayout> Entries;  // in central-directory order
  uint64_t DirectoryOffset = 0;
};

// Reads the layout of the ZIP file open on descriptor fd; nullopt when its end records or central
// directory cannot be read.
std::optional<TZipLayout> ReadZipLayout(int fd);

enum class TZipOverlap { zoNone, zoEntries, zoDirectory };

// Whether two entries' local headers and data overlap (First and Second are their indices), or an
// entry's data runs into the central directory (First is its index).
struct TZipOverlapReport {
  TZipOverlap Kind = TZipOverlap::zoNone;
  size_t First = 0;
  size_t Second = 0;
};
TZipOverlapReport FindZipOverlap(const TZipLayout& layout);
