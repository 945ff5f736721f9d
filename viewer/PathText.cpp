#include "PathText.h"

std::string FolderPart(const std::string& Path) {
  const size_t slash = Path.find_last_of("/\\");
  if (slash == std::string::npos) return "";
  // The root keeps its separator: it has no other name.
  return slash == 0 ? Path.substr(0, 1) : Path.substr(0, slash);
}

std::string ExtensionPart(const std::string& Path) {
  const size_t dot = Path.find_last_of('.');
  const size_t slash = Path.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return Path.substr(dot);
}

std::string FileNamePart(const std::string& Path) {
  const size_t separator = Path.find_last_of("/\\:");
  return separator == std::string::npos ? Path : Path.substr(separator + 1);
}

std::string LowerCase(std::string Text) {
  for (char& c : Text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return Text;
}
