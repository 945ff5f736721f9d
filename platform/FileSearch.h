#pragma once
// Listing the files of one folder that match a wildcard.

#include <string>
#include <vector>

// The names of the plain files in Folder (not hidden, not folders) that match Pattern ('*' and '?',
// without regard to case), in the order NTFS lists them: by the upper-cased UTF-16 name. A folder
// that cannot be read lists nothing.
std::vector<std::string> FindFiles(const std::string& Folder, const std::string& Pattern);
