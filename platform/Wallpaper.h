#pragma once
// Setting the desktop wallpaper through the running desktop's own mechanism: gsettings on GNOME and its
// relatives, Cinnamon and MATE; plasma-apply-wallpaperimage or the plasmashell D-Bus script on KDE
// Plasma; xfconf on XFCE; pcmanfm-qt on LXQt; else, on an X display, a plain root-window setter. The
// desktop is read from XDG_CURRENT_DESKTOP (DESKTOP_SESSION when that is empty), the tools are looked up
// on PATH, and every tool runs as a program with arguments (never through a shell) under a time limit.
// A setter that reads only PNG and JPEG gets a temporary PNG copy of any other image.

#include <string>

class QProcessEnvironment;

struct TWallpaperResult {
  bool Done = false;
  // Why not, in Japanese, for the user: shown after the caller's own failure text.
  std::string Reason;
};

// Path is the image file's full path (UTF-8); the user's own picture options are left as they are.
TWallpaperResult SetDesktopWallpaper(const std::string& Path);
// The same in a given environment, which both chooses the mechanism and is the tools' environment.
TWallpaperResult SetDesktopWallpaper(const std::string& Path, const QProcessEnvironment& Environment);
