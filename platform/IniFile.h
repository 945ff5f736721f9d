#pragma once
// Settings files with the semantics of private profiles: every read looks at the file as it is on disk
// now, every write changes one key and keeps the rest of the file (other sections, keys, comments and
// their order) as it was. Section and key names compare without regard to ASCII case; a new key goes
// to the end of its section, a new section to the end of the file. The file is UTF-8 (a byte-order mark
// is accepted on reading), so any path survives the round trip.

#include "Exceptions.h"

#include <cstdint>
#include <string>

TV_DECLARE_EXCEPTION(EIniFileException, Exception)

class TIniFile {
public:
  explicit TIniFile(std::string FileName);

  const std::string& FileName() const { return FFileName; }

  // The value of Ident in Section, or Default when the file, the section or the key is missing. At
  // most 2047 characters (UTF-8 code points) come back; surrounding blanks are trimmed, and a value in
  // matching double quotes loses them.
  std::string ReadString(const std::string& Section, const std::string& Ident, const std::string& Default) const;
  // Decimal, or hexadecimal with a leading "0x" or "$"; anything else (or a value beyond 32 bits)
  // gives Default.
  int32_t ReadInteger(const std::string& Section, const std::string& Ident, int32_t Default) const;
  // True when the file has a section of that name.
  bool SectionExists(const std::string& Section) const;

  // Write one key, creating the file, the section or the key as needed. The file is replaced as a
  // whole (written beside it, then renamed, with its permission bits; a symbolic link is written
  // through), so a failed write never leaves it half written. A file that cannot be written raises
  // EIniFileException "Unable to write to <FileName>". A value with surrounding blanks or quotes of its
  // own is stored in quotes, so it reads back as written; names and values that would break the line
  // structure (line breaks, '=' in a key, ']' in a section) raise EIniFileException.
  void WriteString(const std::string& Section, const std::string& Ident, const std::string& Value);
  void WriteInteger(const std::string& Section, const std::string& Ident, int32_t Value);

private:
  std::string FFileName;
};
