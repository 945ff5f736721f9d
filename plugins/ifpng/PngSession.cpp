#include "PngSession.h"

#include "ModuleError.h"

#include <cstring>

namespace tvplugin {

namespace {

[[noreturn]] void ThrowError(png_structp, png_const_charp) { Fail(SPI_BROKEN_DATA); }
void IgnoreWarning(png_structp, png_const_charp) {}

// The largest side the interface carries; libpng's default limit (a million) is lower than some
// panoramas.
constexpr uint32_t kSideLimit = 0x7FFFFFFF;

}  // namespace

TPngSession::TPngSession(std::span<const uint8_t> Image) : FImage(Image) {
  FPng = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, ThrowError, IgnoreWarning);
  if (FPng == nullptr) Fail(SPI_NO_MEMORY);
  try {
    FInfo = png_create_info_struct(FPng);
    if (FInfo == nullptr) Fail(SPI_NO_MEMORY);
    png_set_user_limits(FPng, kSideLimit, kSideLimit);
    png_set_read_fn(FPng, this, Read);
    png_read_info(FPng, FInfo);
  } catch (...) {
    png_destroy_read_struct(&FPng, FInfo ? &FInfo : nullptr, nullptr);
    throw;
  }
}

TPngSession::~TPngSession() { png_destroy_read_struct(&FPng, &FInfo, nullptr); }

void TPngSession::Read(png_structp png, png_bytep data, size_t length) {
  auto* session = static_cast<TPngSession*>(png_get_io_ptr(png));
  if (length > session->FImage.size() - session->FPosition) png_error(png, "end of data");
  std::memcpy(data, session->FImage.data() + session->FPosition, length);
  session->FPosition += length;
}

}  // namespace tvplugin
