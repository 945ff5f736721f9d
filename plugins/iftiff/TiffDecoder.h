#pragma once
// TIFF through libtiff's RGBA interface, which reads every photometric, depth and compression the
// library knows: the first page, bottom-up as the interface can deliver it, then each row put into
// the DIB's layout (alpha, which the interface gives premultiplied, made straight again).

#include "Decoder.h"

namespace tvplugin {

class TTiffDecoder : public TDecoder {
public:
  std::string Description() const override;
  std::vector<TFileType> FileTypes() const override;
  bool Accepts(std::span<const uint8_t> Head) const override;
  TPictureFacts ReadFacts(std::span<const uint8_t> Image) const override;
  TDib Decode(std::span<const uint8_t> Image, TDecodeSize Size, TProgress& Progress) const override;
};

}  // namespace tvplugin
