#pragma once
// PNG through libpng: rows transformed by the library to blue, green, red (and straight alpha for
// pictures with transparency) and read straight into the DIB, bottom-up.

#include "Decoder.h"

namespace tvplugin {

class TPngDecoder : public TDecoder {
public:
  std::string Description() const override;
  std::vector<TFileType> FileTypes() const override;
  bool Accepts(std::span<const uint8_t> Head) const override;
  TPictureFacts ReadFacts(std::span<const uint8_t> Image) const override;
  TDib Decode(std::span<const uint8_t> Image, TDecodeSize Size, TProgress& Progress) const override;
};

}  // namespace tvplugin
