#include "JpegSession.h"

#include "ModuleError.h"

#include <jerror.h>

namespace tvplugin {

namespace {

[[noreturn]] void ThrowError(j_common_ptr info) {
  Fail(info->err->msg_code == JERR_OUT_OF_MEMORY ? SPI_NO_MEMORY : SPI_BROKEN_DATA);
}

// Warnings about damaged data are common in photos that still look right; only the end of the data
// before the end of the picture is a failure.
void OnMessage(j_common_ptr info, int level) {
  if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) Fail(SPI_BROKEN_DATA);
}

}  // namespace

TJpegSession::TJpegSession(std::span<const uint8_t> Image) {
  FInfo.err = jpeg_std_error(&FErrors);
  FErrors.error_exit = ThrowError;
  FErrors.emit_message = OnMessage;
  jpeg_create_decompress(&FInfo);
  try {
    if (Image.empty()) Fail(SPI_BROKEN_DATA);
    jpeg_mem_src(&FInfo, Image.data(), static_cast<unsigned long>(Image.size()));
    jpeg_save_markers(&FInfo, JPEG_APP0 + 1, 0xFFFF);
    if (jpeg_read_header(&FInfo, TRUE) != JPEG_HEADER_OK) Fail(SPI_BROKEN_DATA);
  } catch (...) {
    jpeg_destroy_decompress(&FInfo);
    throw;
  }
}

TJpegSession::~TJpegSession() { jpeg_destroy_decompress(&FInfo); }

}  // namespace tvplugin
