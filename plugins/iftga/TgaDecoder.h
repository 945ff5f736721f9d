#pragma once
// TGA, decoded here: uncompressed and run-length encoded, colour-mapped, true-colour and grey, in
// any of the four row and column orders. 32 bits with alpha when the file has an alpha channel, 24
// bits otherwise. The format has no signature: a plausible header decides.

#include "Decoder.h"

namespace tvplugin {

class TTgaDecoder : public TDecoder {
public:
  std::string Description() const override;
  std::vector<TFileType> FileTypes() const override;
  bool Accepts(std::span<const uint8_t> Head) const override;
  TPictureFacts ReadFacts(std::span<const uint8_t> Image) const override;
  TDib Decode(std::span<const uint8_t> Image, TDecodeSize Size, TProgress& Progress) const override;
};

}  // namespace tvplugin
