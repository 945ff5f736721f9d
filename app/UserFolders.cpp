#include "UserFolders.h"

#include "platform/ProgramFolders.h"

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace {

bool Writable(const std::string& folder) { return ::access(folder.c_str(), W_OK | X_OK) == 0; }

// $<Variable>/tovasel, or ~/<Fallback>/tovasel when the variable is unset or not absolute.
std::string UserFolder(const char* variable, const char* fallback) {
  std::filesystem::path base;
  if (const char* value = std::getenv(variable); value && value[0] == '/')
    base = value;
  else if (const char* home = std::getenv("HOME"))
    base = std::filesystem::path(home) / fallback;
  else
    base = std::filesystem::temp_directory_path();
  const std::filesystem::path folder = base / "tovasel";
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  return folder.string();
}

std::string ExecutableName() {
  std::error_code error;
  const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string("Tovasel") : executable.stem().string();
}

}  // namespace

TProgramFiles TProgramFiles::OfThisProgram() {
  const std::string folder = ExecutableFolder();
  const bool portable = Writable(folder);
  return TProgramFiles{(portable ? folder : UserFolder("XDG_CONFIG_HOME", ".config")) + "/" + ExecutableName() + ".ini",
                       portable ? folder : UserFolder("XDG_CACHE_HOME", ".cache")};
}
