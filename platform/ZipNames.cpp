#include "ZipNames.h"

#include "ZipFile.h"

#include <cerrno>
#include <cstdint>

namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

iconv_t OpenConverter(const char* from) {
  const iconv_t converter = iconv_open("UTF-8", from);
  if (converter == kNoConverter) throw EZipException(std::string("TZipFile.Open: no converter from ") + from);
  return converter;
}

// The whole of raw in the converter's encoding, or false when raw is not valid in it.
bool Convert(iconv_t converter, std::string_view raw, std::string& result) {
  iconv(converter, nullptr, nullptr, nullptr, nullptr);
  result.assign(raw.size() * 4 + 4, '\0');  // no CP932 or CP437 character takes more than 3 UTF-8 bytes
  char* in = const_cast<char*>(raw.data());
  size_t inLeft = raw.size();
  char* out = result.data();
  size_t outLeft = result.size();
  if (iconv(converter, &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1)) return false;
  result.resize(result.size() - outLeft);
  return true;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<uint8_t>(text[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    size_t length;
    uint32_t code;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      code = lead & 0x07u;
    } else {
      return false;
    }
    if (text.size() - i < length) return false;
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<uint8_t>(text[i + k]);
      if ((next & 0xC0u) != 0x80u) return false;
      code = code << 6 | (next & 0x3Fu);
    }
    // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
    if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) || code > 0x10FFFF ||
        (code >= 0xD800 && code <= 0xDFFF))
      return false;
    i += length;
  }
  return true;
}

TZipNameDecoder::TZipNameDecoder() : FCp932(OpenConverter("CP932")), FCp437(kNoConverter) {
  try {
    FCp437 = OpenConverter("CP437");
  } catch (...) {
    iconv_close(FCp932);
    throw;
  }
}

TZipNameDecoder::~TZipNameDecoder() {
  iconv_close(FCp932);
  iconv_close(FCp437);
}

std::string TZipNameDecoder::Decode(std::string_view raw) {
  if (IsValidUtf8(raw)) return std::string(raw);
  std::string result;
  if (Convert(FCp932, raw, result)) return result;
  if (!Convert(FCp437, raw, result)) throw EZipException("TZipFile.Open: an entry name cannot be decoded");
  return result;
}
