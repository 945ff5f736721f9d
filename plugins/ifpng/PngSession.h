#pragma once
// One libpng read over a block of memory, its info read. libpng's errors become EModuleError
// (thrown through the library, whose frames carry unwind tables); its warnings are dropped.

#include <cstddef>
#include <cstdint>
#include <span>

#include <png.h>

namespace tvplugin {

class TPngSession {
public:
  explicit TPngSession(std::span<const uint8_t> Image);
  ~TPngSession();
  TPngSession(const TPngSession&) = delete;
  TPngSession& operator=(const TPngSession&) = delete;

  png_structp Png() const { return FPng; }
  png_infop Info() const { return FInfo; }

private:
  static void Read(png_structp png, png_bytep data, size_t length);

  png_structp FPng = nullptr;
  png_infop FInfo = nullptr;
  std::span<const uint8_t> FImage;
  size_t FPosition = 0;
};

}  // namespace tvplugin
