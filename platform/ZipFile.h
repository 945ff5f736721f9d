#pragma once
// Reading ZIP files: open read-only, the entries' names in central-directory order, and extraction of
// one named entry into a folder. Stored and deflated entries come through libzip, deflate64 entries
// through our own decoder; every extracted entry is checked against its CRC. Names are UTF-8 when the
// archive flags them so or they are valid UTF-8, else CP932 (ZIP files made on Japanese Windows), else
// CP437.
//
// Extraction is safe with hostile archives: a name that would lead outside the target folder (absolute,
// "..", through a symbolic link) fails; an entry never yields more bytes than its declared size; a
// failed extraction leaves no partial file behind; an archive whose entries overlap one another (a
// "zip bomb"), or whose data would not fit the free space of the target's disk, is refused.

#include "Exceptions.h"

#include <memory>
#include <string>

TV_DECLARE_EXCEPTION(EZipException, Exception)

enum TZipMode { zmRead };

class TZipFile {
public:
  TZipFile();
  ~TZipFile();
  TZipFile(const TZipFile&) = delete;
  TZipFile& operator=(const TZipFile&) = delete;

  // Raises EZipException with a clear message when the file cannot be opened or is not a ZIP file.
  void Open(const std::string& FileName, TZipMode Mode);
  void Close();

  int FileCount() const;
  // The name of entry Index (folders separated by '/'), decoded as described above.
  std::string FileName(int Index) const;

  // Writes the first entry named FileName to Path + "/" + FileName, creating missing folders (a folder
  // entry only creates its folder). Raises EZipException for an unknown name, an unsupported method,
  // damaged data, a wrong CRC or an unsafe name. CreateSubdirs false writes to Path + "/" + the bare
  // name instead.
  void Extract(const std::string& FileName, const std::string& Path, bool CreateSubdirs = true);

private:
  struct TImpl;
  std::unique_ptr<TImpl> FImpl;
};
