#pragma once
// The viewer's working state: which images are listed, which one is shown, how the list was opened,
// where the program keeps its files, and the switches of the slideshow, thumbnail strip and list panel.
// The list itself is the item list of ListBox1; the shown picture lives in Image1 and Image2.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TImage;

// The image extensions the viewer lists, lower case with the dot; the order builds gazoMask.
inline constexpr std::array<std::string_view, 12> gazoExt = {".svg", ".avif", ".jpg", ".jpeg", ".png", ".bmp",
                                                             ".gif", ".webp", ".ico", ".tif", ".tiff", ".tga"};

// Slideshow intervals in milliseconds and their captions.
inline constexpr std::array<int32_t, 10> timeKankaku = {1000, 2000, 3000, 5000, 10000, 30000, 60000, 120000, 180000, 300000};
inline constexpr std::array<std::string_view, 10> timeMei = {"1秒", "2秒", "3秒", "5秒", "10秒",
                                                             "30秒", "1分", "2分", "3分", "5分"};

// The list was opened from an image file, a ZIP file or a folder.
inline constexpr int32_t kModeImageFile = 0;
inline constexpr int32_t kModeZipFile = 1;
inline constexpr int32_t kModeFolder = 2;

inline constexpr int kThumbnailCells = 10;

struct TViewerState {
  std::string gazoMask;   // ";"-separated masks of the folder scan
  int32_t hyoujiMode = 0;  // kModeImageFile, kModeZipFile or kModeFolder
  std::string openFilmei;  // the last opened path
  int32_t gazoBan = 0;     // index of the shown entry
  std::string appFolda;    // where the scratch folder and the wallpaper file live
  std::string listFolda;   // the folder the last scan started from
  std::vector<std::string> gazoFiles;  // the paths of the last scan, in scan order
  int32_t gazoKazu = 0;    // list entries right after the last rebuild
  int32_t listClickGuard = 0;  // 1 while the viewer itself moves the list selection
  bool slideOn = false;
  int32_t timeBan = 2;     // index into timeKankaku / timeMei
  bool firstShowDone = false;
  std::array<TImage*, kThumbnailCells> thumImage{};  // owned by the window
  int32_t thumHajime = 0;  // list index in the leftmost thumbnail cell
  bool thumOn = false;
  bool thumNeedDraw = true;
  bool listOn = true;
  int32_t listWidth = 200;
};

// "*.svg;*.avif;..." from gazoExt.
std::string BuildGazoMask();
