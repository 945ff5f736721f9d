#include "DIBImage.h"

#include <algorithm>
#include <cstring>

namespace {

uint32_t ColorCount(const BITMAPINFOHEADER& head) {
  if (head.biBitCount > 8) return std::min<uint32_t>(head.biClrUsed, 256);
  const uint32_t full = 1u << head.biBitCount;
  return head.biClrUsed == 0 ? full : std::min<uint32_t>(head.biClrUsed, 256);
}

int MaskShift(uint32_t mask) {
  int shift = 0;
  while (mask && !(mask & 1)) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

uint8_t MaskValue(uint32_t pixel, uint32_t mask, int shift) {
  const uint32_t top = mask >> shift;
  return top ? static_cast<uint8_t>(uint64_t{(pixel & mask) >> shift} * 255 / top) : 0;
}

// Plays an RLE stream into an Indexed8 image whose rows are in storage order.
void DecodeRLE(QImage& image, const uint8_t* data, size_t size, bool fourBit) {
  const int width = image.width();
  const int height = image.height();
  int x = 0;
  int y = 0;
  const auto put = [&](uint8_t index) {
    if (x < width && y < height) image.scanLine(y)[x] = index;
    ++x;
  };
  size_t i = 0;
  while (i + 1 < size && y < height) {
    const uint8_t first = data[i];
    const uint8_t second = data[i + 1];
    i += 2;
    if (first > 0) {
      for (int n = 0; n < first; ++n) put(fourBit ? (n % 2 ? second & 15 : second >> 4) : second);
    } else if (second == 0) {
      x = 0;
      ++y;
    } else if (second == 1) {
      break;
    } else if (second == 2) {
      if (i + 1 >= size) break;
      x += data[i];
      y += data[i + 1];
      i += 2;
    } else {
      const size_t bytes = fourBit ? (second + 1u) / 2 : second;
      if (i + bytes > size) break;
      for (int n = 0; n < second; ++n) put(fourBit ? (n % 2 ? data[i + n / 2] & 15 : data[i + n / 2] >> 4) : data[i + n]);
      i += (bytes + 1) & ~size_t{1};
    }
  }
}

}  // namespace

QList<QRgb> DIBColorTable(const BITMAPINFO& info) {
  const uint32_t count = ColorCount(info.bmiHeader);
  QList<QRgb> table(static_cast<qsizetype>(info.bmiHeader.biBitCount <= 8 ? 1u << info.bmiHeader.biBitCount : count),
                    qRgb(0, 0, 0));
  for (uint32_t i = 0; i < count && i < static_cast<uint32_t>(table.size()); ++i) {
    const RGBQUAD& c = info.bmiColors[i];
    table[i] = qRgb(c.rgbRed, c.rgbGreen, c.rgbBlue);
  }
  return table;
}

QImage DIBToImage(const BITMAPINFO& info, const void* bits, size_t bitsSize) {
  const BITMAPINFOHEADER& head = info.bmiHeader;
  const int64_t width = head.biWidth;
  const int64_t height = head.biHeight < 0 ? -int64_t{head.biHeight} : head.biHeight;
  const uint16_t bitCount = head.biBitCount;
  if (width <= 0 || height <= 0 || width > 65535 * 4 || height > 65535 * 4 || !bits) return {};
  const auto* data = static_cast<const uint8_t*>(bits);
  const bool topDown = head.biHeight < 0;
  const auto targetRow = [&](int64_t storageRow) { return static_cast<int>(topDown ? storageRow : height - 1 - storageRow); };

  if ((bitCount == 8 && head.biCompression == BI_RLE8) || (bitCount == 4 && head.biCompression == BI_RLE4)) {
    QImage stored(static_cast<int>(width), static_cast<int>(height), QImage::Format_Indexed8);
    if (stored.isNull()) return {};
    stored.fill(0);
    DecodeRLE(stored, data, bitsSize, bitCount == 4);
    stored.setColorTable(DIBColorTable(info));
    return topDown ? stored : stored.mirrored(false, true);
  }
  const bool bitFields = head.biCompression == BI_BITFIELDS;
  if (head.biCompression != BI_RGB && !(bitFields && (bitCount == 16 || bitCount == 32))) return {};

  const int64_t stride = DIBRowBytes(width, bitCount);
  const int64_t rows = std::min<int64_t>(height, stride ? static_cast<int64_t>(bitsSize) / stride : 0);
  QImage image;
  if (bitCount == 1 || bitCount == 4 || bitCount == 8) {
    image = QImage(static_cast<int>(width), static_cast<int>(height), QImage::Format_Indexed8);
    if (image.isNull()) return {};
    image.setColorTable(DIBColorTable(info));
    image.fill(0);
    for (int64_t r = 0; r < rows; ++r) {
      const uint8_t* in = data + r * stride;
      uint8_t* out = image.scanLine(targetRow(r));
      if (bitCount == 8) std::memcpy(out, in, static_cast<size_t>(width));
      else if (bitCount == 4)
        for (int64_t x = 0; x < width; ++x) out[x] = x % 2 ? in[x / 2] & 15 : in[x / 2] >> 4;
      else
        for (int64_t x = 0; x < width; ++x) out[x] = (in[x / 8] >> (7 - x % 8)) & 1;
    }
    return image;
  }
  if (bitCount != 16 && bitCount != 24 && bitCount != 32) return {};
  image = QImage(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
  if (image.isNull()) return {};
  image.fill(qRgb(0, 0, 0));
  uint32_t masks[3] = {0xFF0000, 0xFF00, 0xFF};
  if (bitCount == 16) masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
  if (bitFields) std::memcpy(masks, info.bmiColors, sizeof(masks));
  const int shifts[3] = {MaskShift(masks[0]), MaskShift(masks[1]), MaskShift(masks[2])};
  for (int64_t r = 0; r < rows; ++r) {
    const uint8_t* in = data + r * stride;
    auto* out = reinterpret_cast<QRgb*>(image.scanLine(targetRow(r)));
    if (bitCount == 24) {
      for (int64_t x = 0; x < width; ++x, in += 3) out[x] = qRgb(in[2], in[1], in[0]);
      continue;
    }
    for (int64_t x = 0; x < width; ++x) {
      uint32_t p;
      if (bitCount == 16) p = in[2 * x] | in[2 * x + 1] << 8;
      else std::memcpy(&p, in + 4 * x, 4);
      out[x] = qRgb(MaskValue(p, masks[0], shifts[0]), MaskValue(p, masks[1], shifts[1]), MaskValue(p, masks[2], shifts[2]));
    }
  }
  return image;
}
