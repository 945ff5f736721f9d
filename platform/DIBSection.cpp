#include "DIBSection.h"

#include "DIBImage.h"

std::unique_ptr<TDIBSection> TDIBSection::Create(const BITMAPINFO& info, HANDLE mapping, size_t size) {
  const BITMAPINFOHEADER& head = info.bmiHeader;
  const int bits = head.biBitCount;
  const int64_t height = head.biHeight < 0 ? -int64_t{head.biHeight} : head.biHeight;
  if (head.biCompression != BI_RGB || (bits != 1 && bits != 4 && bits != 8 && bits != 24) || head.biWidth <= 0 ||
      height == 0 || height > INT32_MAX)
    return nullptr;
  const int64_t stride = DIBRowBytes(head.biWidth, bits);
  if (stride * height > static_cast<int64_t>(size)) return nullptr;
  void* view = MapViewOfFile(mapping, size);
  if (!view) return nullptr;

  std::unique_ptr<TDIBSection> section(new TDIBSection);
  section->FView = static_cast<uint8_t*>(view);
  section->FStride = stride;
  section->FBitCount = bits;
  section->FBottomUp = head.biHeight > 0;
  const int width = head.biWidth;
  const int rows = static_cast<int>(height);
  switch (bits) {
    case 1: section->FImage = QImage(section->FView, width, rows, stride, QImage::Format_Mono); break;
    case 8: section->FImage = QImage(section->FView, width, rows, stride, QImage::Format_Indexed8); break;
    case 24: section->FImage = QImage(section->FView, width, rows, stride, QImage::Format_BGR888); break;
    default:
      section->FImage = QImage(width, rows, QImage::Format_Indexed8);
      for (int y = 0; y < rows; ++y) {
        const uint8_t* in = section->FView + y * stride;
        uint8_t* out = section->FImage.scanLine(y);
        for (int x = 0; x < width; ++x) out[x] = x % 2 ? in[x / 2] & 15 : in[x / 2] >> 4;
      }
  }
  if (bits <= 8) section->FImage.setColorTable(DIBColorTable(info));
  return section;
}

void TDIBSection::Flush() {
  if (FBitCount != 4 || !FView) return;
  for (int y = 0; y < FImage.height(); ++y) {
    const uint8_t* in = FImage.constScanLine(y);
    uint8_t* out = FView + y * FStride;
    for (int x = 0; x + 1 < FImage.width(); x += 2) out[x / 2] = static_cast<uint8_t>((in[x] & 15) << 4 | (in[x + 1] & 15));
    if (FImage.width() % 2) out[FImage.width() / 2] = static_cast<uint8_t>((in[FImage.width() - 1] & 15) << 4);
  }
}

TDIBSection::~TDIBSection() {
  Flush();
  FImage = QImage();
  UnmapViewOfFile(FView);
}
