#include "ExifOrientation.h"

#include <cstring>

namespace tvplugin {

namespace {

constexpr uint16_t kOrientationTag = 0x0112;
constexpr uint16_t kShortType = 3;

class TTiffReader {
public:
  TTiffReader(std::span<const uint8_t> Tiff, bool BigEndian) : FTiff(Tiff), FBigEndian(BigEndian) {}
  bool Has(size_t offset, size_t bytes) const { return offset <= FTiff.size() && bytes <= FTiff.size() - offset; }
  uint16_t U16(size_t offset) const {
    const uint8_t* p = FTiff.data() + offset;
    return FBigEndian ? static_cast<uint16_t>(p[0] << 8 | p[1]) : static_cast<uint16_t>(p[1] << 8 | p[0]);
  }
  uint32_t U32(size_t offset) const {
    return FBigEndian ? uint32_t{U16(offset)} << 16 | U16(offset + 2) : uint32_t{U16(offset + 2)} << 16 | U16(offset);
  }

private:
  std::span<const uint8_t> FTiff;
  bool FBigEndian;
};

}  // namespace

int ExifOrientation(std::span<const uint8_t> App1) {
  static constexpr uint8_t kExif[6] = {'E', 'x', 'i', 'f', 0, 0};
  if (App1.size() < 6 + 8 || std::memcmp(App1.data(), kExif, 6) != 0) return 1;
  const std::span<const uint8_t> tiff = App1.subspan(6);
  bool bigEndian;
  if (tiff[0] == 'I' && tiff[1] == 'I')
    bigEndian = false;
  else if (tiff[0] == 'M' && tiff[1] == 'M')
    bigEndian = true;
  else
    return 1;
  const TTiffReader reader(tiff, bigEndian);
  if (reader.U16(2) != 42) return 1;
  const size_t ifd = reader.U32(4);
  if (!reader.Has(ifd, 2)) return 1;
  const size_t entries = reader.U16(ifd);
  for (size_t i = 0; i < entries; ++i) {
    const size_t entry = ifd + 2 + 12 * i;
    if (!reader.Has(entry, 12)) return 1;
    if (reader.U16(entry) != kOrientationTag) continue;
    if (reader.U16(entry + 2) != kShortType || reader.U32(entry + 4) != 1) return 1;
    const uint16_t value = reader.U16(entry + 8);
    return value >= 1 && value <= 8 ? value : 1;
  }
  return 1;
}

int ExifOrientation(const jpeg_saved_marker_ptr Markers) {
  for (jpeg_saved_marker_ptr marker = Markers; marker != nullptr; marker = marker->next) {
    if (marker->marker != JPEG_APP0 + 1) continue;
    const int orientation = ExifOrientation({marker->data, marker->data_length});
    if (orientation != 1) return orientation;
  }
  return 1;
}

}  // namespace tvplugin
