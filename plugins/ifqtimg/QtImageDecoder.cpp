#include "QtImageDecoder.h"

#include "CheckedSize.h"
#include "QtImageFormats.h"
#include "plugins/iftga/TgaHeader.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QtGlobal>

#include <cstring>

namespace tvplugin {

namespace {

// Megabytes one picture may take while Qt decodes it; the DIB's own limit is 2 GiB.
constexpr int kAllocationLimitMB = 1024;
// Icon files with more pictures than this are read up to it.
constexpr int kMostPictures = 256;

QByteArray Format(std::span<const uint8_t> bytes) {
  QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  return QImageReader::imageFormat(&buffer).toLower();
}

bool AllOpaque(const QImage& picture) {
  const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < argb.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
    for (int x = 0; x < argb.width(); ++x)
      if (qAlpha(row[x]) != 255) return false;
  }
  return true;
}

bool HoldsSizes(const QByteArray& format) { return format == "ico" || format == "cur" || format == "icns"; }

QImage ReadPicture(std::span<const uint8_t> bytes) {
  QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  reader.setAllocationLimit(kAllocationLimitMB);
  if (!IsQtImageFormat(reader.format())) Fail(SPI_UNKNOWN_FORMAT);
  QImage picture;
  if (!reader.read(&picture)) Fail(SPI_BROKEN_DATA);
  if (HoldsSizes(reader.format())) {
    const int count = std::min(reader.imageCount(), kMostPictures);
    for (int i = 1; i < count; ++i) {
      QImage other;
      if (!reader.jumpToImage(i) || !reader.read(&other)) break;
      if (qint64{other.width()} * other.height() > qint64{picture.width()} * picture.height()) picture = other;
    }
  }
  if (picture.isNull()) Fail(SPI_BROKEN_DATA);
  return picture;
}

}  // namespace

std::string TQtImageDecoder::Description() const {
  return std::string("ifqtimg.spi: decoder module of Tovasel for the other formats of Qt's image reader (Qt ") + qVersion() + ")";
}

std::vector<TFileType> TQtImageDecoder::FileTypes() const {
  std::vector<TFileType> types;
  for (const QByteArray& format : QtImageFormats())
    types.push_back({"*." + format.toStdString(), format.toUpper().toStdString() + " picture"});
  return types;
}

bool TQtImageDecoder::Accepts(std::span<const uint8_t> Head) const {
  // Qt's icon reader takes TGA files for icons; they are the TGA module's.
  TTgaHeader tga;
  return !ReadTgaHeader(Head, tga) && IsQtImageFormat(Format(Head));
}

TPictureFacts TQtImageDecoder::ReadFacts(std::span<const uint8_t> Image) const {
  const QImage picture = ReadPicture(Image);
  TPictureFacts facts;
  facts.Width = CheckedSide(static_cast<uint32_t>(picture.width()));
  facts.Height = CheckedSide(static_cast<uint32_t>(picture.height()));
  facts.ColorDepth = static_cast<int16_t>(picture.depth());
  return facts;
}

TDib TQtImageDecoder::Decode(std::span<const uint8_t> Image, TDecodeSize, TProgress& Progress) const {
  Progress.Report(0, 2);
  const QImage read = ReadPicture(Image);
  // Some of Qt's readers give an alpha channel to every picture: only one that is used counts.
  const bool alpha = read.hasAlphaChannel() && !AllOpaque(read);
  const QImage picture = read.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_BGR888);
  if (picture.isNull()) Fail(SPI_NO_MEMORY);
  Progress.Report(1, 2);
  TDib dib(CheckedSide(static_cast<uint32_t>(picture.width())), CheckedSide(static_cast<uint32_t>(picture.height())), alpha ? 32 : 24);
  const size_t rowBytes = static_cast<size_t>(picture.width()) * (alpha ? 4 : 3);
  for (int32_t y = 0; y < dib.Height(); ++y) std::memcpy(dib.Row(y), picture.constScanLine(y), rowBytes);
  Progress.Report(2, 2);
  return dib;
}

const TDecoder& TheDecoder() {
  static const TQtImageDecoder decoder;
  return decoder;
}

}  // namespace tvplugin
