#pragma once
// Listing a folder tree as the viewer expects of its platform: depth-first; within each folder the
// entries in the order Windows file systems give them (by the upper-cased UTF-16 name, ordinal), never
// the file system's hash order; a subfolder's files come at the place of the subfolder's own entry,
// before the entries after it. Every kind of entry counts, hidden ones (a leading '.') included.
// Symbolic links to files are files; links to folders are not followed (no loops). Folders that
// cannot be read are skipped silently.

#include "Exceptions.h"

#include <functional>
#include <string>
#include <vector>

TV_DECLARE_EXCEPTION(EDirectoryNotFoundException, Exception)

// Decides for each file (not folder) met: the folder it lies in (no trailing '/') and its bare name.
using TFileFilter = std::function<bool(const std::string& Folder, const std::string& Name)>;

// The full paths (Folder + "/" + subfolders + name) of the accepted files in the order met. Raises
// EDirectoryNotFoundException "Path not found: <Folder>" when Folder does not exist or is not a folder
// (a trailing '/' on Folder is dropped first).
std::vector<std::string> GetFiles(const std::string& Folder, const TFileFilter& Filter);

// The key that orders names as the listing does.
std::u16string NameOrderKey(const std::string& Name);

// True when Name matches Mask ('*' any run of characters, '?' exactly one character), without regard
// to case (Unicode simple case folding of UTF-8 names).
bool MatchesMask(const std::string& Name, const std::string& Mask);
