#pragma once
// The two sources of the picture calls: Flag 0 names a file and an offset into it, Flag 1 hands a
// block of memory and its length. Either way the decoder sees the image as one run of bytes. A file
// is read into memory rather than mapped, so a file that shrinks while it is read is a read error
// and not a bus error.

#include <cstdint>
#include <memory>
#include <span>

namespace tvplugin {

class TModuleSource {
public:
  // Raises EModuleError: SPI_FILE_READ_ERROR for a file that cannot be read, SPI_MEMORY_ERROR for a
  // missing block, SPI_NOT_IMPLEMENTED for a source kind other than the two.
  TModuleSource(const char* Buf, int32_t Len, uint32_t Flag);

  std::span<const uint8_t> Bytes() const { return FBytes; }

private:
  std::unique_ptr<uint8_t[]> FOwned;
  std::span<const uint8_t> FBytes;
};

}  // namespace tvplugin
