#pragma once
// One libavif decoder over a block of memory, its container parsed.

#include <cstdint>
#include <span>

#include <avif/avif.h>

namespace tvplugin {

class TAvifSession {
public:
  explicit TAvifSession(std::span<const uint8_t> Image);
  ~TAvifSession();
  TAvifSession(const TAvifSession&) = delete;
  TAvifSession& operator=(const TAvifSession&) = delete;

  avifDecoder& Decoder() const { return *FDecoder; }
  // Decodes the first picture into Decoder().image.
  void DecodeFirst() const;

private:
  avifDecoder* FDecoder;
};

// The result code for a libavif failure.
int32_t AvifFailure(avifResult result);

}  // namespace tvplugin
