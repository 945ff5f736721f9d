#pragma once
// SVG through librsvg and cairo: drawn at its intrinsic size into the DIB's own block, then rows put
// bottom-up with straight alpha. Always 32 bits: an SVG has no background of its own.

#include "Decoder.h"

namespace tvplugin {

class TSvgDecoder : public TDecoder {
public:
  std::string Description() const override;
  std::vector<TFileType> FileTypes() const override;
  bool Accepts(std::span<const uint8_t> Head) const override;
  TPictureFacts ReadFacts(std::span<const uint8_t> Image) const override;
  TDib Decode(std::span<const uint8_t> Image, TDecodeSize Size, TProgress& Progress) const override;
};

}  // namespace tvplugin
