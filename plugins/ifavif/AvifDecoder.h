#pragma once
// AVIF through libavif: the first picture, converted by the library to blue, green, red (and
// straight alpha when it has an alpha plane) in the DIB's own block, then its rows put bottom-up.

#include "Decoder.h"

namespace tvplugin {

class TAvifDecoder : public TDecoder {
public:
  std::string Description() const override;
  std::vector<TFileType> FileTypes() const override;
  bool Accepts(std::span<const uint8_t> Head) const override;
  TPictureFacts ReadFacts(std::span<const uint8_t> Image) const override;
  TDib Decode(std::span<const uint8_t> Image, TDecodeSize Size, TProgress& Progress) const override;
};

}  // namespace tvplugin
