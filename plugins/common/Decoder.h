#pragma once
// What one module knows about its format. Each module defines TheDecoder(); the module edge
// (ModuleEdge.cpp) turns the interface's calls into calls of it and its failures into result codes.

#include "Dib.h"
#include "Progress.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tvplugin {

struct TFileType {
  std::string Filter;  // wildcard patterns separated by ';'
  std::string Name;
};

struct TPictureFacts {
  int32_t Width = 0;
  int32_t Height = 0;
  int16_t ColorDepth = 0;  // bits per pixel of the stored picture
  uint16_t XDensity = 0;   // dots per inch, 0 when unknown
  uint16_t YDensity = 0;
};

enum class TDecodeSize { Full, Preview };

class TDecoder {
public:
  virtual ~TDecoder() = default;
  // Info number 1: names the module and its library.
  virtual std::string Description() const = 0;
  // Info numbers 2, 3, 4 ...
  virtual std::vector<TFileType> FileTypes() const = 0;
  // Whether the head of a source (SPI_HEAD_BYTES, zero past the source's end) is this format.
  virtual bool Accepts(std::span<const uint8_t> Head) const = 0;
  // Size and depth as they will be decoded (after any turn the format asks for). Raises EModuleError.
  virtual TPictureFacts ReadFacts(std::span<const uint8_t> Image) const = 0;
  // The picture, or with Preview a reduced one where the library can decode it so. Raises EModuleError.
  virtual TDib Decode(std::span<const uint8_t> Image, TDecodeSize Size, TProgress& Progress) const = 0;
};

const TDecoder& TheDecoder();

}  // namespace tvplugin
