#pragma once
// ICO and the other formats of Qt's image reader that no other module reads (see QtImageFormats.h),
// recognised by their content. Of a file holding several pictures of one subject (ICO, CUR, ICNS)
// the largest is shown.

#include "Decoder.h"

namespace tvplugin {

class TQtImageDecoder : public TDecoder {
public:
  std::string Description() const override;
  std::vector<TFileType> FileTypes() const override;
  bool Accepts(std::span<const uint8_t> Head) const override;
  TPictureFacts ReadFacts(std::span<const uint8_t> Image) const override;
  TDib Decode(std::span<const uint8_t> Image, TDecodeSize Size, TProgress& Progress) const override;
};

}  // namespace tvplugin
