#pragma once
// The path helpers the viewer relies on, on the text alone (the file system is not asked).

#include <string>

// The folder part of a path, without a trailing separator.
std::string FolderPart(const std::string& Path);
// The text from the last '.' after the last '/' (or '\'), dot included; empty when there is none.
std::string ExtensionPart(const std::string& Path);
// The text after the last '/', '\' or ':'.
std::string FileNamePart(const std::string& Path);
// ASCII letters in lower case; other characters unchanged.
std::string LowerCase(std::string Text);
