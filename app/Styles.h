#pragma once
// The three looks the user can switch between while the program runs: the desktop's standard look and
// a dark and a slate-grey theme of our own. The choice applies to every window at once and is not
// remembered between runs.

#include "platform/Exceptions.h"

#include <string>

TV_DECLARE_EXCEPTION(EStyleNotFound, Exception)

class TStyleManager {
public:
  static constexpr const char* kStandard = "Windows";
  static constexpr const char* kDark = "Windows10 Dark";
  static constexpr const char* kSlateGray = "Windows10 SlateGray";

  // Raises EStyleNotFound for a name that is none of the three.
  static void SetStyle(const std::string& Name);
  static const std::string& ActiveStyle();
};
