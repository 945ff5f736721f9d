#pragma once
// Where the program and its decoder modules live. Folders are absolute, without a trailing '/'.

#include <string>

// The folder of the running executable (its real path).
std::string ExecutableFolder();
// Modules installed for every program of the system.
std::string SystemModuleFolder();
// Modules of this installation: lib/tovasel/plugins beside the executable's bin folder.
std::string InstallationModuleFolder();
