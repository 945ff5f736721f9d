#pragma once
// Where a copy of the program keeps the files it writes (its settings file, the scratch folder and the
// wallpaper file): beside the executable when that folder can be written, as a portable copy does;
// otherwise, for an installed copy, in the user's folders ($XDG_CONFIG_HOME/tovasel for the settings,
// $XDG_CACHE_HOME/tovasel for the rest), created when missing. Folders come without a trailing '/'.

#include <string>

struct TProgramFiles {
  std::string SettingsFile;  // the executable's name with ".ini"
  std::string DataFolder;    // holds the scratch folder "temp" and the wallpaper file

  static TProgramFiles OfThisProgram();
};
