// The viewer's folder scan alone: lists FOLDER's tree with the 12 picture masks and prints the count.
// Usage: tovasel_scan FOLDER

#include "platform/DirectoryListing.h"
#include "viewer/ViewerState.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::vector<std::string> masks;
  for (std::string_view extension : gazoExt) masks.push_back("*" + std::string(extension));
  const auto files = GetFiles(argv[1], [&masks](const std::string&, const std::string& name) {
    for (const std::string& mask : masks)
      if (MatchesMask(name, mask)) return true;
    return false;
  });
  std::printf("%zu\n", files.size());
  return 0;
}
