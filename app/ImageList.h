#pragma once
// The tool bar's and the pop-up menu's icons (ImageList1), drawn for this program, by their index:
// 0 open image, 1 first, 2 previous, 3 next, 4 last, 5 wallpaper, 6 copy to clipboard, 7 list panel,
// 8 thumbnail strip, 9 About, 10 minimise, 11 exit, 12 slideshow on/off, 13 slideshow interval,
// 14 open folder.

#include <QIcon>

inline constexpr int kImageList1Count = 15;

// Each icon has a 16 x 16 and a 32 x 32 (HiDPI) pixmap. An index outside 0..14 gives a null icon, as a
// control with no icon shows nothing.
QIcon ImageList1Icon(int Index);
