// The thumbnail strip on a page of large photos: the time from the command that shows the strip until
// all ten cells hold their pictures, the memory the cells hold then, and how responsive the window
// stayed meanwhile: the longest gap between two ticks of a 1 ms timer on the user-interface thread.
// Usage: tovasel_thumbnail_page FOLDER (at least ten pictures)

#include "app/Form_Tovasel.h"
#include "app/TovaselApplication.h"
#include "platform/Bitmap.h"
#include "viewer/ImageControl.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

// Resident memory of this process in kilobytes.
long ResidentKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

int FilledCells(const TForm_Tovasel& window) {
  return static_cast<int>(std::count_if(window.Viewer.thumImage.begin(), window.Viewer.thumImage.end(), [](TImage* cell) {
    return cell->Picture.Graphic() && !cell->Picture.Graphic()->Empty();
  }));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  TTovaselApplication application(argc, argv);
  const QTemporaryDir scratch;
  const std::string folder = scratch.path().toStdString();
  TForm_Tovasel window({argv[1]}, TProgramFiles{folder + "/Tovasel.ini", folder});
  window.show();

  QElapsedTimer clock, sinceTick;
  // Showing the strip shrinks the display panel, which draws the shown photo again: that gap is counted
  // apart from those between the cell loads.
  qint64 longestGap = 0, longestBeforeFirstCell = 0;
  long residentBefore = 0;
  QTimer ticks;
  ticks.setInterval(1);
  QObject::connect(&ticks, &QTimer::timeout, [&] {
    const qint64 gap = sinceTick.restart();
    const int filled = FilledCells(window);
    (filled == 0 ? longestBeforeFirstCell : longestGap) = std::max(filled == 0 ? longestBeforeFirstCell : longestGap, gap);
    if (filled < kThumbnailCells) return;
    const double elapsed = clock.nsecsElapsed() / 1e6;
    size_t cellBytes = 0;
    for (TImage* cell : window.Viewer.thumImage)
      cellBytes += static_cast<size_t>(cell->Picture.Bitmap().Image().sizeInBytes());
    std::printf("ten cells shown after %.0f ms\n", elapsed);
    std::printf("cells hold %.1f KiB of pixels; resident memory grew by %.1f MiB\n", cellBytes / 1024.0,
                (ResidentKilobytes() - residentBefore) / 1024.0);
    std::printf("longest gap between handled events: %lld ms while the cells loaded, %lld ms before the first "
                "(the shown photo drawn again for the smaller panel)\n",
                static_cast<long long>(longestGap), static_cast<long long>(longestBeforeFirstCell));
    application.quit();
  });
  QTimer::singleShot(500, [&] {  // after the first picture is on screen
    residentBefore = ResidentKilobytes();
    clock.start();
    sinceTick.start();
    ticks.start();
    window.acThumbExecute();
  });
  return application.exec();
}
