#include "Bitmap.h"

#include "kernel/LargeBlocks.h"

#include "Exceptions.h"

#include <QByteArray>
#include <algorithm>
#include <cstring>
#include <vector>

TV_DEFINE_GRAPHIC_CLASS(TBitmap, nullptr)

namespace {

constexpr const char* kInvalidBitmap = "Bitmap image is not valid";

int TableSize(TPixelFormat format) { return format == pf1bit ? 2 : format == pf4bit ? 16 : 256; }

bool IsIndexed(TPixelFormat format) { return format == pf1bit || format == pf4bit || format == pf8bit; }

QImage::Format ImageFormat(TPixelFormat format) {
  switch (format) {
    case pf1bit:
    case pf4bit:
    case pf8bit: return QImage::Format_Indexed8;
    case pf15bit: return QImage::Format_RGB555;
    case pf16bit: return QImage::Format_RGB16;
    case pf24bit: return QImage::Format_BGR888;
    case pf32bit: return QImage::Format_ARGB32;
    default: return QImage::Format_RGB32;
  }
}

// A colour table of exactly the size the bit count addresses, padded with black.
QList<QRgb> SizedTable(QList<QRgb> table, TPixelFormat format) {
  table.resize(TableSize(format), qRgb(0, 0, 0));
  return table;
}

QList<QRgb> DefaultTable(TPixelFormat format) {
  QList<QRgb> table;
  if (format == pf1bit) return {qRgb(0, 0, 0), qRgb(255, 255, 255)};
  if (format == pf4bit) {
    static const QRgb vga[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0x808080,
                                 0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    for (QRgb c : vga) table.append(0xFF000000 | c);
    return table;
  }
  for (int i = 0; i < 256; ++i) table.append(qRgb(i, i, i));
  return table;
}

// Reads an uncompressed BMP with a 40-byte header straight into the image; false when the file
// needs the general reader (other headers, RLE, bit fields, 16 bits).
bool ReadPlainBMP(TStream& stream, int64_t start, QImage& image, TPixelFormat& format) {
  BITMAPFILEHEADER file;
  BITMAPINFOHEADER head;
  if (stream.Read(&file, sizeof(file)) != sizeof(file) || file.bfType != kBitmapFileType) throw EInvalidGraphic(kInvalidBitmap);
  if (stream.Read(&head, sizeof(head)) != sizeof(head) || head.biSize != 40 || head.biCompression != BI_RGB) return false;
  const int bits = head.biBitCount;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return false;
  const int64_t width = head.biWidth;
  const int64_t height = head.biHeight < 0 ? -int64_t{head.biHeight} : head.biHeight;
  if (width <= 0 || height <= 0 || width > 1 << 20 || height > 1 << 20) throw EInvalidGraphic(kInvalidBitmap);
  const int64_t stride = DIBRowBytes(width, bits);
  if (start + file.bfOffBits + stride * height > stream.Size()) throw EInvalidGraphic(kInvalidBitmap);

  format = bits == 1 ? pf1bit : bits == 4 ? pf4bit : bits == 8 ? pf8bit : bits == 24 ? pf24bit : pf32bit;
  QList<QRgb> table;
  if (bits <= 8) {
    const uint32_t count = std::min<uint32_t>(head.biClrUsed ? head.biClrUsed : 1u << bits, 1u << bits);
    RGBQUAD colors[256];
    stream.ReadBuffer(colors, count * sizeof(RGBQUAD));
    for (uint32_t i = 0; i < count; ++i) table.append(qRgb(colors[i].rgbRed, colors[i].rgbGreen, colors[i].rgbBlue));
  }
  image = QImage(static_cast<int>(width), static_cast<int>(height), ImageFormat(format));
  if (image.isNull()) throw EOutOfMemory("Out of memory");
  // Rows come bottom row first, into the image's end.
  TPagesAhead pagesAhead(image.bits(), static_cast<size_t>(image.sizeInBytes()));
  if (bits <= 8) image.setColorTable(SizedTable(table, format));
  stream.SetPosition(start + file.bfOffBits);

  std::vector<uint8_t> packed(bits < 8 ? static_cast<size_t>(stride) : 0);
  bool anyAlpha = false;
  for (int64_t r = 0; r < height; ++r) {
    uint8_t* line = image.scanLine(static_cast<int>(head.biHeight < 0 ? r : height - 1 - r));
    if (bits >= 8) {
      const int64_t bytes = width * (bits / 8);
      stream.ReadBuffer(line, bytes);
      stream.Seek(stride - bytes, TSeekOrigin::soCurrent);
      if (bits == 32)
        for (int64_t x = 0; x < width && !anyAlpha; ++x) anyAlpha = line[4 * x + 3] != 0;
      continue;
    }
    stream.ReadBuffer(packed.data(), stride);
    for (int64_t x = 0; x < width; ++x)
      line[x] = bits == 4 ? (x % 2 ? packed[x / 2] & 15 : packed[x / 2] >> 4) : (packed[x / 8] >> (7 - x % 8)) & 1;
  }
  // The fourth byte of plain 32-bit files is usually unused and 0: such files are opaque.
  if (bits == 32 && !anyAlpha) image.reinterpretAsFormat(QImage::Format_RGB32);
  return true;
}

}  // namespace

TBitmap::TBitmap() = default;

TBitmap::~TBitmap() {
  if (FPalette) DeleteObject(FPalette);
}

void TBitmap::Assign(const TPersistent* Source) {
  if (const auto* bitmap = dynamic_cast<const TBitmap*>(Source)) {
    if (bitmap == this) return;
    FImage = bitmap->FImage;
    FPixelFormat = bitmap->FPixelFormat;
    SetPaletteHandle(bitmap->FPalette ? CopyPalette(bitmap->FPalette) : 0);
    SetPaletteModified(true);
    Changed();
    return;
  }
  if (!Source) {
    FImage = QImage();
    SetPaletteHandle(0);
    Changed();
    return;
  }
  TGraphic::Assign(Source);
}

TCanvas& TBitmap::Canvas() {
  if (!FCanvas) {
    FCanvas = std::make_unique<TCanvas>();
    FCanvas->OnChange = [this] { DrawingChanged(); };
  }
  FCanvas->SetSurface(FImage.isNull() ? nullptr : &FImage);
  return *FCanvas;
}

void TBitmap::DrawingChanged() { Changed(); }

void TBitmap::Draw(TCanvas& ACanvas, const TRect& R) {
  if (!FImage.isNull()) ACanvas.StretchImage(R, FImage, FImage.rect());
}

int TBitmap::BitsPerPixel() const {
  switch (FPixelFormat) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf24bit: return 24;
    default: return 32;
  }
}

void TBitmap::SetImage(QImage image) {
  switch (image.format()) {
    case QImage::Format_Invalid: FPixelFormat = pf24bit; break;
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
      image = image.convertToFormat(QImage::Format_Indexed8);
      FPixelFormat = pf1bit;
      image.setColorTable(SizedTable(image.colorTable(), pf1bit));
      break;
    case QImage::Format_Indexed8:
      FPixelFormat = pf8bit;
      image.setColorTable(SizedTable(image.colorTable(), pf8bit));
      break;
    case QImage::Format_BGR888: FPixelFormat = pf24bit; break;
    case QImage::Format_RGB888:
      image = image.convertToFormat(QImage::Format_BGR888);
      FPixelFormat = pf24bit;
      break;
    case QImage::Format_RGB32: FPixelFormat = pfDevice; break;
    default:
      image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
      FPixelFormat = image.hasAlphaChannel() ? pf32bit : pfDevice;
  }
  FImage = std::move(image);
  Changed();
}

void TBitmap::SetPixelFormat(TPixelFormat Value) {
  if (Value == FPixelFormat) return;
  const TPixelFormat old = FPixelFormat;
  FPixelFormat = Value;
  if (!FImage.isNull()) {
    if (IsIndexed(Value)) {
      // Colours beyond the new table map to their nearest entry.
      const QList<QRgb> table = IsIndexed(old) && TableSize(old) <= TableSize(Value) ? SizedTable(FImage.colorTable(), Value)
                                                                                    : DefaultTable(Value);
      FImage = FImage.convertToFormat(QImage::Format_Indexed8, table, Qt::ThresholdDither | Qt::AvoidDither);
      FImage.setColorTable(table);
    } else {
      FImage = FImage.convertToFormat(ImageFormat(Value));
    }
  }
  Changed();
}

void TBitmap::Resize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == Width() && height == Height()) return;
  FPendingWidth = width;
  FPendingHeight = height;
  if (width == 0 || height == 0) {
    FImage = QImage();
    Changed();
    return;
  }
  QImage resized(width, height, ImageFormat(FPixelFormat));
  if (resized.isNull()) throw EOutOfResources("Out of system resources");
  if (IsIndexed(FPixelFormat))
    resized.setColorTable(FImage.isNull() ? DefaultTable(FPixelFormat) : SizedTable(FImage.colorTable(), FPixelFormat));
  resized.fill(0);
  // The overlapping top-left part keeps its pixels.
  if (!FImage.isNull()) {
    const QImage old = FImage.format() == resized.format() ? FImage : FImage.convertToFormat(resized.format());
    const size_t bytes = static_cast<size_t>(std::min(width, old.width())) * static_cast<size_t>(resized.depth() / 8);
    for (int y = 0; y < std::min(height, old.height()); ++y) std::memcpy(resized.scanLine(y), old.constScanLine(y), bytes);
  }
  FImage = std::move(resized);
  Changed();
}

void TBitmap::SetWidthValue(int Value) { Resize(Value, Height()); }

void TBitmap::SetHeightValue(int Value) { Resize(Width(), Value); }

void TBitmap::SetPaletteHandle(HPALETTE palette) {
  if (FPalette && FPalette != palette) DeleteObject(FPalette);
  FPalette = palette;
}

void TBitmap::SetPaletteValue(HPALETTE Value) {
  SetPaletteHandle(Value);
  if (Value && IsIndexed(FPixelFormat) && !FImage.isNull()) {
    PALETTEENTRY entries[256];
    const uint32_t count = GetPaletteEntries(Value, 0, 256, entries);
    QList<QRgb> table = FImage.colorTable();
    for (uint32_t i = 0; i < count && i < static_cast<uint32_t>(table.size()); ++i)
      table[i] = qRgb(entries[i].peRed, entries[i].peGreen, entries[i].peBlue);
    FImage.setColorTable(table);
  }
  SetPaletteModified(true);
  Changed();
}

void TBitmap::GetDIBits(BITMAPINFO& Info, uint8_t* Bits) const {
  BITMAPINFOHEADER& head = Info.bmiHeader;
  const int bits = head.biBitCount;
  const int width = Width();
  const int height = Height();
  const int64_t stride = DIBRowBytes(width, bits);
  QImage source = FImage;
  if (bits > 8) source = FImage.convertToFormat(QImage::Format_BGR888);
  else if (source.format() != QImage::Format_Indexed8)
    source = FImage.convertToFormat(QImage::Format_Indexed8, DefaultTable(bits == 1 ? pf1bit : bits == 4 ? pf4bit : pf8bit),
                                    Qt::ThresholdDither | Qt::AvoidDither);
  if (bits <= 8) {
    const QList<QRgb> table = source.colorTable();
    const int count = std::min<int>(static_cast<int>(table.size()), 1 << bits);
    for (int i = 0; i < count; ++i)
      Info.bmiColors[i] = RGBQUAD{static_cast<uint8_t>(qBlue(table[i])), static_cast<uint8_t>(qGreen(table[i])),
                                  static_cast<uint8_t>(qRed(table[i])), 0};
    head.biClrUsed = static_cast<uint32_t>(count);
  }
  for (int y = 0; y < height; ++y) {
    const uint8_t* in = source.constScanLine(height - 1 - y);
    uint8_t* out = Bits + y * stride;
    std::memset(out, 0, static_cast<size_t>(stride));
    if (bits == 24) std::memcpy(out, in, static_cast<size_t>(width) * 3);
    else if (bits == 8) std::memcpy(out, in, static_cast<size_t>(width));
    else if (bits == 4)
      for (int x = 0; x < width; ++x) out[x / 2] |= static_cast<uint8_t>((in[x] & 15) << (x % 2 ? 0 : 4));
    else
      for (int x = 0; x < width; ++x) out[x / 8] |= static_cast<uint8_t>((in[x] & 1) << (7 - x % 8));
  }
}

void TBitmap::LoadFromStream(TStream& Stream) {
  const int64_t start = Stream.Position();
  QImage image;
  TPixelFormat format = pf24bit;
  if (!ReadPlainBMP(Stream, start, image, format)) {
    Stream.SetPosition(start);
    QByteArray bytes(static_cast<qsizetype>(Stream.Size() - start), Qt::Uninitialized);
    Stream.ReadBuffer(bytes.data(), bytes.size());
    if (!image.loadFromData(bytes, "BMP")) throw EInvalidGraphic(kInvalidBitmap);
    if (image.format() == QImage::Format_Indexed8 || image.format() == QImage::Format_Mono) {
      const int colors = static_cast<int>(image.colorCount());
      format = colors <= 2 ? pf1bit : colors <= 16 ? pf4bit : pf8bit;
      image = image.convertToFormat(QImage::Format_Indexed8);
      image.setColorTable(SizedTable(image.colorTable(), format));
    } else {
      format = image.hasAlphaChannel() ? pf32bit : pf24bit;
      image = image.convertToFormat(ImageFormat(format));
    }
  }
  FImage = std::move(image);
  FPixelFormat = format;
  SetPaletteHandle(0);
  SetPaletteModified(true);
  Changed();
}

void TBitmap::SaveToStream(TStream& Stream) {
  const int bits = BitsPerPixel() == 16 ? 24 : BitsPerPixel();
  BITMAPINFO info{};
  info.bmiHeader = BITMAPINFOHEADER{40, Width(), Height(), 1, static_cast<uint16_t>(bits), BI_RGB, 0, 3780, 3780, 0, 0};
  const int64_t stride = DIBRowBytes(Width(), bits);
  std::vector<uint8_t> rows(static_cast<size_t>(stride * Height()));
  if (bits == 32) {
    const QImage argb = FImage.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < Height(); ++y) std::memcpy(rows.data() + y * stride, argb.constScanLine(Height() - 1 - y), static_cast<size_t>(stride));
  } else if (!FImage.isNull()) {
    GetDIBits(info, rows.data());
  }
  const uint32_t infoBytes = 40 + info.bmiHeader.biClrUsed * 4;
  const BITMAPFILEHEADER file{kBitmapFileType, static_cast<uint32_t>(14 + infoBytes + rows.size()), 0, 0, 14 + infoBytes};
  Stream.WriteBuffer(&file, sizeof(file));
  Stream.WriteBuffer(&info, infoBytes);
  Stream.WriteBuffer(rows.data(), static_cast<int64_t>(rows.size()));
}

void TBitmap::LoadFromClipboardFormat(uint16_t AFormat, HGLOBAL AData, HPALETTE) {
  const auto* block = static_cast<const uint8_t*>(GlobalLock(AData));
  if (!block || (AFormat != 2 && AFormat != 8)) {
    if (block) GlobalUnlock(AData);
    throw EInvalidGraphic("Unsupported clipboard format");
  }
  // A packed DIB is a BMP file without its file header.
  TMemoryStream stream;
  const size_t size = GlobalSize(AData);
  const BITMAPFILEHEADER file = FileHeaderForPackedDIB(block, size);
  stream.WriteBuffer(&file, sizeof(file));
  stream.WriteBuffer(block, static_cast<int64_t>(size));
  GlobalUnlock(AData);
  stream.SetPosition(0);
  LoadFromStream(stream);
}

void TBitmap::SaveToClipboardFormat(uint16_t& AFormat, HGLOBAL& AData, HPALETTE& APalette) {
  TMemoryStream stream;
  SaveToStream(stream);
  const size_t size = static_cast<size_t>(stream.Size()) - sizeof(BITMAPFILEHEADER);
  AData = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!AData) throw EOutOfMemory("Out of memory");
  std::memcpy(GlobalLock(AData), stream.Memory() + sizeof(BITMAPFILEHEADER), size);
  GlobalUnlock(AData);
  AFormat = 8;
  APalette = FPalette ? CopyPalette(FPalette) : 0;
}
