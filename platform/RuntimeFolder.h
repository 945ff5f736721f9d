#pragma once
// The user's runtime folder, where the single-instance mutex and the window endpoints live.

#include <string>

// $XDG_RUNTIME_DIR when it is set and a private folder of this user, else /tmp/tovasel-<uid>, made
// 0700 when missing and used only when it is a real folder of this user that nobody else can enter;
// "" when neither can be had safely.
std::string RuntimeFolder();

// Name made safe as a file name in that folder: letters, digits, '.', '_' and '-' stay, every other
// byte is written %XX, so distinct names stay distinct.
std::string RuntimeFileName(const std::string& Name);
