#pragma once
// JPEG through libjpeg-turbo: rows decoded as blue, green, red straight into the DIB, bottom-up, and
// turned upright by the EXIF orientation.

#include "Decoder.h"

namespace tvplugin {

class TJpegDecoder : public TDecoder {
public:
  std::string Description() const override;
  std::vector<TFileType> FileTypes() const override;
  bool Accepts(std::span<const uint8_t> Head) const override;
  TPictureFacts ReadFacts(std::span<const uint8_t> Image) const override;
  TDib Decode(std::span<const uint8_t> Image, TDecodeSize Size, TProgress& Progress) const override;
};

}  // namespace tvplugin
