#pragma once
// GIF through giflib: the first frame on its logical screen, 32 bits with alpha when it has
// transparent pixels or leaves part of the screen uncovered, 24 bits otherwise.

#include "Decoder.h"

namespace tvplugin {

class TGifDecoder : public TDecoder {
public:
  std::string Description() const override;
  std::vector<TFileType> FileTypes() const override;
  bool Accepts(std::span<const uint8_t> Head) const override;
  TPictureFacts ReadFacts(std::span<const uint8_t> Image) const override;
  TDib Decode(std::span<const uint8_t> Image, TDecodeSize Size, TProgress& Progress) const override;
};

}  // namespace tvplugin
