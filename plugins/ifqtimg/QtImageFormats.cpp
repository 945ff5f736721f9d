#include "QtImageFormats.h"

#include <QImageReader>

#include <algorithm>

namespace tvplugin {

namespace {

constexpr const char* kDecodedElsewhere[] = {"bmp", "dib", "jpg", "jpeg", "png", "gif", "webp", "avif",
                                             "avifs", "tif", "tiff", "svg", "svgz", "tga"};

}  // namespace

const QList<QByteArray>& QtImageFormats() {
  static const QList<QByteArray> formats = [] {
    QList<QByteArray> kept;
    for (const QByteArray& format : QImageReader::supportedImageFormats()) {
      const QByteArray name = format.toLower();
      const bool elsewhere = std::any_of(std::begin(kDecodedElsewhere), std::end(kDecodedElsewhere),
                                         [&](const char* other) { return name == other; });
      if (!elsewhere && !kept.contains(name)) kept.append(name);
    }
    return kept;
  }();
  return formats;
}

bool IsQtImageFormat(const QByteArray& Format) { return QtImageFormats().contains(Format.toLower()); }

}  // namespace tvplugin
