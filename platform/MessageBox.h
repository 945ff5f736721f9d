#pragma once
// Message boxes of the application: one function, which the program points at its dialogs and tests
// at a recorder. Without a handler the message goes to standard error.

#include <functional>
#include <string>

enum class TMessageBoxIcon { Information, Warning, Error };

using TMessageBoxHandler = std::function<void(const std::string& Title, const std::string& Text, TMessageBoxIcon Icon)>;

void ShowMessageBox(const std::string& Title, const std::string& Text, TMessageBoxIcon Icon);
// Installs Handler and returns the one it replaces.
TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler Handler);
