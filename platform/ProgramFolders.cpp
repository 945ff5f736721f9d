#include "ProgramFolders.h"

#include <filesystem>

std::string ExecutableFolder() {
  std::error_code error;
  const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return std::filesystem::current_path(error).string();
  return executable.parent_path().string();
}

std::string SystemModuleFolder() { return "/usr/lib/tovasel/plugins"; }

std::string InstallationModuleFolder() {
  return (std::filesystem::path(ExecutableFolder()) / "../lib/tovasel/plugins").lexically_normal().string();
}
