#pragma once
// One libtiff handle over a block of memory, at the first page. The library's messages are kept off
// standard error (it would print them from inside the viewer) and single allocations are capped.

#include <cstdint>
#include <span>

#include <tiffio.h>

namespace tvplugin {

class TTiffSession {
public:
  explicit TTiffSession(std::span<const uint8_t> Image);
  ~TTiffSession();
  TTiffSession(const TTiffSession&) = delete;
  TTiffSession& operator=(const TTiffSession&) = delete;

  TIFF* Tiff() const { return FTiff; }

private:
  static tmsize_t Read(thandle_t self, void* data, tmsize_t size);
  static tmsize_t Write(thandle_t self, void* data, tmsize_t size);
  static toff_t Seek(thandle_t self, toff_t offset, int whence);
  static int Close(thandle_t self);
  static toff_t Size(thandle_t self);
  static int Map(thandle_t self, void** base, toff_t* size);
  static void Unmap(thandle_t self, void* base, toff_t size);

  std::span<const uint8_t> FImage;
  uint64_t FPosition = 0;
  TIFF* FTiff = nullptr;
};

}  // namespace tvplugin
