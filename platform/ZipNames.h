#pragma once
// Entry names of ZIP files as UTF-8. Archives made on Japanese Windows store CP932 without saying
// so; archives made elsewhere store UTF-8 (flagged or not); the format's own default is CP437.

#include <iconv.h>

#include <string>
#include <string_view>

bool IsValidUtf8(std::string_view text);

// Decodes a raw entry name: UTF-8 when it is valid UTF-8 (whether or not the archive flags it, a
// flagged name that is not valid UTF-8 is read as the others), else CP932 when it is valid CP932,
// else CP437, which every byte string is.
class TZipNameDecoder {
public:
  TZipNameDecoder();
  ~TZipNameDecoder();
  TZipNameDecoder(const TZipNameDecoder&) = delete;
  TZipNameDecoder& operator=(const TZipNameDecoder&) = delete;

  std::string Decode(std::string_view raw);

private:
  iconv_t FCp932;  // opened once per archive, not once per name
  iconv_t FCp437;
};
