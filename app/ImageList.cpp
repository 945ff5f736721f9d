#include "ImageList.h"

#include <QImageReader>
#include <QPixmap>
#include <QString>

#include <array>

namespace {

constexpr std::array<const char*, kImageList1Count> kIconNames{
    "00-open-image", "01-first",      "02-previous",  "03-next",     "04-last",
    "05-wallpaper",  "06-clipboard",  "07-list-panel", "08-thumbnails", "09-about",
    "10-minimise",   "11-exit",       "12-slideshow", "13-interval", "14-open-folder",
};

}  // namespace

QIcon ImageList1Icon(int Index) {
  // The icons live in a static library, whose resources register only when asked to; the macro must be
  // used outside any namespace.
  [[maybe_unused]] static const bool registered = [] {
    Q_INIT_RESOURCE(icons);
    return true;
  }();
  if (Index < 0 || Index >= kImageList1Count) return QIcon();
  const QString base = QStringLiteral(":/icons/") + QString::fromLatin1(kIconNames[Index]);
  // Both drawings by hand: QIcon looks for the @2x file only on a HiDPI screen, and the image reader
  // takes the suffix for a pixel ratio of 2, so it would stand in for 16 pixels only. Held at ratio 1,
  // a 32-pixel request on any screen gets the 32-pixel drawing, and a HiDPI screen picks it for 16.
  QIcon icon;
  for (const QString& file : {base + QStringLiteral(".png"), base + QStringLiteral("@2x.png")}) {
    // Read as PNG without guessing: a guessing reader loads every image format plug-in to ask it.
    QImageReader reader(file, "png");
    reader.setAutoDetectImageFormat(false);
    QPixmap pixmap = QPixmap::fromImage(reader.read());
    pixmap.setDevicePixelRatio(1);
    icon.addPixmap(pixmap);
  }
  return icon;
}
