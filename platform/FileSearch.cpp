#include "FileSearch.h"

#include "DirectoryListing.h"

#include <algorithm>
#include <filesystem>

std::vector<std::string> FindFiles(const std::string& Folder, const std::string& Pattern) {
  struct TFound {
    std::u16string Key;
    std::string Name;
  };
  std::vector<TFound> found;
  std::error_code error;
  for (std::filesystem::directory_iterator it(Folder, error), end; !error && it != end; it.increment(error)) {
    std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.') continue;
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    if (MatchesMask(name, Pattern)) found.push_back({NameOrderKey(name), std::move(name)});
  }
  // The listing's order, ties included.
  std::sort(found.begin(), found.end(),
            [](const TFound& a, const TFound& b) { return a.Key != b.Key ? a.Key < b.Key : a.Name < b.Name; });
  std::vector<std::string> names;
  names.reserve(found.size());
  for (TFound& entry : found) names.push_back(std::move(entry.Name));
  return names;
}
