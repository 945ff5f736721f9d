#include "DirectoryListing.h"

#include <QList>
#include <QString>

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

namespace {

bool IsAscii(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char16_t AsciiUpper(char c) { return static_cast<char16_t>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c); }
char16_t AsciiLower(char16_t c) { return static_cast<char16_t>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); }

std::u16string ToU16(const QString& text) { return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), text.size()); }

// Case-folded code points of a name: ASCII directly, the rest through Qt's Unicode tables (invalid
// UTF-8 becomes replacement characters, never an error). Code points, so '?' takes one character even
// beyond the 16-bit range.
std::u32string Folded(const std::string& text) {
  std::u32string folded;
  folded.reserve(text.size());
  if (IsAscii(text)) {
    for (const char c : text) folded.push_back(AsciiLower(static_cast<char16_t>(c)));
    return folded;
  }
  for (const char32_t c : QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toUcs4())
    folded.push_back(QChar::toCaseFolded(c));
  return folded;
}

// '*' any run, '?' one unit; iterative with one back-tracking point, so no mask can take long.
// Unit(text, i) gives the comparable unit at i.
template <class TText, class TUnit>
bool Wildcard(const TText& name, const TText& mask, TUnit unit) {
  const size_t none = static_cast<size_t>(-1);
  size_t n = 0, m = 0, starMask = none, starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || unit(mask, m) == unit(name, n))) {
      ++n;
      ++m;
    } else if (m < mask.size() && mask[m] == '*') {
      starMask = m++;
      starName = n;
    } else if (starMask != none) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

struct TEntry {
  std::u16string Key;
  std::string Name;
  bool Folder;
};

void ListFolder(const std::string& folder, const TFileFilter& filter, std::vector<std::string>& found) {
  DIR* directory = ::opendir(folder.empty() ? "/" : folder.c_str());
  if (!directory) return;  // unreadable folders are skipped
  std::vector<TEntry> entries;
  while (const dirent* entry = ::readdir(directory)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    bool isFolder = entry->d_type == DT_DIR;
    bool isLink = entry->d_type == DT_LNK;
    if (entry->d_type == DT_UNKNOWN) {
      struct stat info {};
      if (::lstat((folder + "/" + name).c_str(), &info) == 0) {
        isFolder = S_ISDIR(info.st_mode);
        isLink = S_ISLNK(info.st_mode);
      }
    }
    if (isLink) {
      // A link to a folder is neither followed (it may loop) nor a file.
      struct stat target {};
      if (::stat((folder + "/" + name).c_str(), &target) == 0 && S_ISDIR(target.st_mode)) continue;
    }
    entries.push_back(TEntry{NameOrderKey(name), name, isFolder});
  }
  ::closedir(directory);
  // Names that differ only in case (possible here, not on Windows) keep one order too, never the
  // file system's.
  std::sort(entries.begin(), entries.end(), [](const TEntry& a, const TEntry& b) {
    return a.Key != b.Key ? a.Key < b.Key : a.Name < b.Name;
  });
  for (const TEntry& entry : entries) {
    if (entry.Folder)
      ListFolder(folder + "/" + entry.Name, filter, found);
    else if (filter(folder, entry.Name))
      found.push_back(folder + "/" + entry.Name);
  }
}

}  // namespace

std::u16string NameOrderKey(const std::string& Name) {
  if (IsAscii(Name)) {
    std::u16string key(Name.size(), u'\0');
    std::transform(Name.begin(), Name.end(), key.begin(), AsciiUpper);
    return key;
  }
  // Unit by unit, as NTFS's upper-case table does: no character grows into several (no "SS" for "ß").
  std::u16string key = ToU16(QString::fromUtf8(Name.data(), static_cast<qsizetype>(Name.size())));
  for (char16_t& unit : key) unit = QChar(unit).toUpper().unicode();
  return key;
}

bool MatchesMask(const std::string& Name, const std::string& Mask) {
  if (IsAscii(Name) && IsAscii(Mask))
    return Wildcard(Name, Mask, [](const std::string& text, size_t i) { return AsciiLower(static_cast<char16_t>(text[i])); });
  return Wildcard(Folded(Name), Folded(Mask), [](const std::u32string& text, size_t i) { return text[i]; });
}

std::vector<std::string> GetFiles(const std::string& Folder, const TFileFilter& Filter) {
  std::string root = Folder;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  struct stat info {};
  if (root.empty() || ::stat(root.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
    throw EDirectoryNotFoundException("Path not found: " + Folder);
  std::vector<std::string> found;
  // The root "/" has no name to add a separator to.
  ListFolder(root == "/" ? "" : root, Filter, found);
  return found;
}
