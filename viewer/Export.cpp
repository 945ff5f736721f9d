// The two exports of the shown picture, both at its full size from the hidden holder: the desktop
// wallpaper, through a BMP file beside the settings, and the clipboard.

#include "app/Form_Tovasel.h"
#include "platform/Bitmap.h"
#include "platform/MessageBox.h"
#include "platform/Wallpaper.h"
#include "viewer/ImageControl.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <filesystem>

namespace {

constexpr const char* kNoPicture = "表示されている画像がありません。";

QByteArray Encoded(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return bytes;
}

}  // namespace

std::string TForm_Tovasel::WallpaperFileName() const { return Viewer.appFolda + "/壁紙用画像ファイル.bmp"; }

void TForm_Tovasel::acKabeExecute() {
  if (!Image1->Picture.Graphic() || Image1->Picture.Graphic()->Empty()) {
    ShowInformation(kNoPicture);
    return;
  }
  // The desktop may read the file at any moment: it is replaced whole, never seen half written.
  const std::string path = WallpaperFileName();
  const std::string partial = path + ".part";
  try {
    std::filesystem::create_directories(Viewer.appFolda);
    Image1->Picture.SaveToFile(partial);
    std::filesystem::rename(partial, path);
  } catch (...) {
    std::error_code ignored;
    std::filesystem::remove(partial, ignored);
    throw;
  }
  const TWallpaperResult result = SetDesktopWallpaper(path);
  if (result.Done)
    ShowInformation("画像を壁紙にセットしました");
  else
    ShowMessageBox(kMessageTitle, "画像を壁紙にセットできませんでした。\r\n" + result.Reason, TMessageBoxIcon::Warning);
}

void TForm_Tovasel::bmpToClip() {
  if (!Image1->Picture.Graphic() || Image1->Picture.Graphic()->Empty()) {
    ShowInformation(kNoPicture);
    return;
  }
  const QImage image = Image1->Picture.Bitmap().Image();
  auto data = std::make_unique<QMimeData>();
  data->setImageData(image);
  data->setData("image/png", Encoded(image, "PNG"));
  data->setData("image/bmp", Encoded(image, "BMP"));
  QGuiApplication::clipboard()->setMimeData(data.release());
  ShowInformation("表示されている画像をクリップボードへコピーしました。");
}
