#include "Clipboard.h"

#include "BitmapTypes.h"
#include "Exceptions.h"
#include "Picture.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <cstring>

namespace {

constexpr const char* kBmpMime = "image/bmp";

QClipboard& SystemClipboard() {
  if (!QGuiApplication::instance()) throw EInvalidOperation("Cannot open clipboard");
  return *QGuiApplication::clipboard();
}

// A packed DIB of the clipboard's contents: its BMP data, or its image written as BMP.
QByteArray PackedDIB(const QMimeData* data) {
  QByteArray bmp;
  if (data && data->hasFormat(kBmpMime)) {
    bmp = data->data(kBmpMime);
  } else if (data && data->hasImage()) {
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::WriteOnly);
    qvariant_cast<QImage>(data->imageData()).save(&buffer, "BMP");
  }
  if (bmp.size() <= static_cast<qsizetype>(sizeof(BITMAPFILEHEADER)) || !bmp.startsWith("BM")) return {};
  return bmp.mid(sizeof(BITMAPFILEHEADER));
}

}  // namespace

TClipboard& Clipboard() {
  static TClipboard clipboard;
  return clipboard;
}

void TClipboard::Open() {
  SystemClipboard();
  ++FOpenCount;
}

void TClipboard::Close() {
  if (FOpenCount > 0 && --FOpenCount == 0) FreeHandedOut();
}

void TClipboard::FreeHandedOut() {
  for (HGLOBAL handle : FHandedOut) GlobalFree(handle);
  FHandedOut.clear();
}

bool TClipboard::HasFormat(uint16_t Format) {
  const QMimeData* data = SystemClipboard().mimeData();
  if (!data) return false;
  if (Format == CF_DIB || Format == CF_BITMAP) return data->hasFormat(kBmpMime) || data->hasImage();
  return false;
}

HGLOBAL TClipboard::GetAsHandle(uint16_t Format) {
  if (Format != CF_DIB && Format != CF_BITMAP) return 0;
  const QByteArray dib = PackedDIB(SystemClipboard().mimeData());
  if (dib.isEmpty()) return 0;
  const HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE, static_cast<size_t>(dib.size()));
  if (!handle) throw EOutOfMemory("Out of memory");
  std::memcpy(GlobalLock(handle), dib.constData(), static_cast<size_t>(dib.size()));
  GlobalUnlock(handle);
  if (FOpenCount > 0) FHandedOut.push_back(handle);
  return handle;
}

void TClipboard::SetAsHandle(uint16_t Format, HGLOBAL Value) {
  const auto* block = static_cast<const char*>(GlobalLock(Value));
  const size_t size = GlobalSize(Value);
  if (!block) throw EInvalidOperation("Invalid clipboard data");
  QByteArray bmp;
  if (Format == CF_DIB || Format == CF_BITMAP) {
    const BITMAPFILEHEADER file = FileHeaderForPackedDIB(block, size);
    bmp.append(reinterpret_cast<const char*>(&file), sizeof(file));
    bmp.append(block, static_cast<qsizetype>(size));
  }
  GlobalUnlock(Value);
  GlobalFree(Value);
  if (bmp.isEmpty()) throw EInvalidOperation("Unsupported clipboard format");
  auto* data = new QMimeData;
  data->setData(kBmpMime, bmp);
  const QImage image = QImage::fromData(bmp, "BMP");
  if (!image.isNull()) data->setImageData(image);
  SystemClipboard().setMimeData(data);
}

void TClipboard::Clear() { SystemClipboard().clear(); }

void TClipboard::Assign(const TPersistent* Source) {
  auto* graphic = const_cast<TGraphic*>(dynamic_cast<const TGraphic*>(Source));
  if (!graphic) {
    TPersistent::Assign(Source);
    return;
  }
  uint16_t format = 0;
  HGLOBAL data = 0;
  HPALETTE palette = 0;
  graphic->SaveToClipboardFormat(format, data, palette);
  if (palette) DeleteObject(palette);
  SetAsHandle(format, data);
}
