#pragma once
// One libjpeg decompression over a block of memory. The library's fatal errors become EModuleError
// (thrown through the library, whose frames carry unwind tables), and so does running out of data:
// a truncated file fails rather than showing grey rows.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>

#include <jpeglib.h>

namespace tvplugin {

class TJpegSession {
public:
  // Reads the header, keeping the APP1 (EXIF) markers.
  explicit TJpegSession(std::span<const uint8_t> Image);
  ~TJpegSession();
  TJpegSession(const TJpegSession&) = delete;
  TJpegSession& operator=(const TJpegSession&) = delete;

  jpeg_decompress_struct& Info() { return FInfo; }

private:
  jpeg_decompress_struct FInfo{};
  jpeg_error_mgr FErrors{};
};

}  // namespace tvplugin
