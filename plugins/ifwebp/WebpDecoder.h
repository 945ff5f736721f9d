#pragma once
// WebP through libwebp. A still picture is decoded incrementally, in slices of the data (progress and
// the stop answer between them), straight into the DIB: the output rows start at the DIB's last row
// with a negative stride, so they land bottom-up. An animation gives its first frame through the
// demuxing decoder.

#include "Decoder.h"

namespace tvplugin {

class TWebpDecoder : public TDecoder {
public:
  std::string Description() const override;
  std::vector<TFileType> FileTypes() const override;
  bool Accepts(std::span<const uint8_t> Head) const override;
  TPictureFacts ReadFacts(std::span<const uint8_t> Image) const override;
  TDib Decode(std::span<const uint8_t> Image, TDecodeSize Size, TProgress& Progress) const override;
};

}  // namespace tvplugin
