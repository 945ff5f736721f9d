#pragma once
// One ZIP entry extracted to the scratch folder for as long as this object lives: the file is
// deleted again on every path, and the scratch folder with it when that became empty. Folders made
// for entries in subfolders of the archive stay behind, empty.

#include <string>

class TExtractedEntry {
public:
  // Opens the archive, extracts the entry with its folders and closes the archive again; raises what
  // the ZIP facility raises.
  TExtractedEntry(const std::string& Archive, const std::string& Entry, const std::string& ScratchFolder);
  ~TExtractedEntry();
  TExtractedEntry(const TExtractedEntry&) = delete;
  TExtractedEntry& operator=(const TExtractedEntry&) = delete;

  const std::string& Path() const { return FPath; }

  // Deletes an extracted file, then the scratch folder if that became empty; failures change nothing.
  static void Remove(const std::string& Path, const std::string& ScratchFolder);

private:
  std::string FPath;
  std::string FScratchFolder;
};
