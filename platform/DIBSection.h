#pragma once
// A DIB section: a drawable image over the pixel block that a file-mapping object holds, so drawing
// into it changes the DIB itself.

#include "BitmapTypes.h"
#include "FileMapping.h"

#include <QImage>
#include <memory>

class TDIBSection {
public:
  // nullptr when the header describes no drawable section (compressed data, other bit counts) or
  // the mapping cannot be viewed.
  static std::unique_ptr<TDIBSection> Create(const BITMAPINFO& info, HANDLE mapping, size_t size);
  ~TDIBSection();
  TDIBSection(const TDIBSection&) = delete;
  TDIBSection& operator=(const TDIBSection&) = delete;

  // The rows in storage order; BottomUp tells that the first row is the picture's bottom row.
  QImage& Image() { return FImage; }
  bool BottomUp() const { return FBottomUp; }
  // Brings drawing into the mapping; formats Qt cannot address in place (4 bits) are kept in a
  // scratch image until then.
  void Flush();

private:
  TDIBSection() = default;

  uint8_t* FView = nullptr;
  int64_t FStride = 0;
  int FBitCount = 0;
  bool FBottomUp = false;
  QImage FImage;
};
