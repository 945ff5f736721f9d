#pragma once
// One SVG document parsed by librsvg from memory, and the pixel size it is drawn at. The document
// has no base location, so it cannot pull in other files.

#include <cstdint>
#include <span>

#include <librsvg/rsvg.h>

namespace tvplugin {

class TSvgDocument {
public:
  explicit TSvgDocument(std::span<const uint8_t> Image);
  ~TSvgDocument();
  TSvgDocument(const TSvgDocument&) = delete;
  TSvgDocument& operator=(const TSvgDocument&) = delete;

  RsvgHandle* Handle() const { return FHandle; }
  // The intrinsic size (width and height in absolute units, at 96 dots per inch). A document with
  // only a viewBox takes the viewBox's size in user units, scaled up to a longer side of
  // kDefaultLongerSide; one with neither is as large as what it draws. Sides larger than
  // kLargestSide shrink to it, keeping the aspect ratio.
  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }

  static constexpr double kDefaultLongerSide = 1024;
  static constexpr double kLargestSide = 8192;

private:
  RsvgHandle* FHandle = nullptr;
  int32_t FWidth = 0;
  int32_t FHeight = 0;
};

}  // namespace tvplugin
