#include "TgaHeader.h"

#include <cstring>

namespace tvplugin {

namespace {

constexpr size_t kHeaderBytes = 18;
// Extension and developer area offsets (none), then the signature with its dot and NUL.
constexpr char kFooter[26] = {0, 0, 0, 0, 0, 0, 0, 0, 'T', 'R', 'U', 'E', 'V', 'I', 'S', 'I', 'O',
                              'N', '-', 'X', 'F', 'I', 'L', 'E', '.', 0};

}  // namespace

bool LooksLikeTga(std::span<const uint8_t> Head) {
  if (Head.size() < kHeaderBytes) return false;
  const uint8_t colourMapType = Head[1], imageType = Head[2], depth = Head[16], descriptor = Head[17];
  const bool mapped = imageType == 1 || imageType == 9;
  const bool known = mapped || imageType == 2 || imageType == 3 || imageType == 10 || imageType == 11;
  if (!known || colourMapType > 1 || mapped != (colourMapType == 1)) return false;
  // Without a colour map its description is empty.
  if (colourMapType == 0 && (Head[3] | Head[4] | Head[5] | Head[6] | Head[7]) != 0) return false;
  const uint16_t width = static_cast<uint16_t>(Head[12] | Head[13] << 8);
  const uint16_t height = static_cast<uint16_t>(Head[14] | Head[15] << 8);
  const bool depthKnown = depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
  return width > 0 && height > 0 && depthKnown && (descriptor & 0xC0) == 0;
}

QByteArray WithTgaFooter(std::span<const uint8_t> Image) {
  const auto* data = reinterpret_cast<const char*>(Image.data());
  const auto size = static_cast<qsizetype>(Image.size());
  if (Image.size() >= sizeof kFooter && std::memcmp(data + size - sizeof kFooter + 8, kFooter + 8, sizeof kFooter - 8) == 0)
    return QByteArray::fromRawData(data, size);
  QByteArray copy(data, size);
  copy.append(kFooter, sizeof kFooter);
  return copy;
}

}  // namespace tvplugin

namespace tvplugin {

bool TgaIsComplete(std::span<const uint8_t> Image) {
  if (!LooksLikeTga(Image)) return false;
  const uint8_t imageType = Image[2];
  if (imageType != 1 && imageType != 2 && imageType != 3) return true;
  const uint64_t mapEntries = Image[5] | Image[6] << 8;
  const uint64_t mapEntryBytes = (Image[7] + 7u) / 8u;
  const uint64_t width = Image[12] | Image[13] << 8, height = Image[14] | Image[15] << 8;
  const uint64_t pixelBytes = (Image[16] + 7u) / 8u;
  const uint64_t needed = kHeaderBytes + Image[0] + (Image[1] ? mapEntries * mapEntryBytes : 0) + width * height * pixelBytes;
  return Image.size() >= needed;
}

}  // namespace tvplugin
