#include "ExtractedEntry.h"

#include "platform/ZipFile.h"

#include <filesystem>

TExtractedEntry::TExtractedEntry(const std::string& Archive, const std::string& Entry, const std::string& ScratchFolder)
    : FPath(ScratchFolder + "/" + Entry), FScratchFolder(ScratchFolder) {
  try {
    TZipFile zip;
    zip.Open(Archive, zmRead);
    zip.Extract(Entry, ScratchFolder, true);
  } catch (...) {
    Remove(FPath, FScratchFolder);
    throw;
  }
}

TExtractedEntry::~TExtractedEntry() { Remove(FPath, FScratchFolder); }

void TExtractedEntry::Remove(const std::string& Path, const std::string& ScratchFolder) {
  std::error_code error;
  std::filesystem::remove(Path, error);
  std::filesystem::remove(ScratchFolder, error);  // only an empty folder goes
}
