#include "AvifSession.h"

#include "ModuleError.h"

namespace tvplugin {

int32_t AvifFailure(avifResult result) {
  switch (result) {
    case AVIF_RESULT_OUT_OF_MEMORY: return SPI_NO_MEMORY;
    case AVIF_RESULT_NO_CODEC_AVAILABLE: return SPI_INTERNAL_ERROR;
    default: return SPI_BROKEN_DATA;
  }
}

TAvifSession::TAvifSession(std::span<const uint8_t> Image) : FDecoder(avifDecoderCreate()) {
  if (FDecoder == nullptr) Fail(SPI_NO_MEMORY);
  // Files that bend the container's rules are common and decode fine.
  FDecoder->strictFlags = AVIF_STRICT_DISABLED;
  FDecoder->maxThreads = 1;
  FDecoder->ignoreExif = AVIF_TRUE;
  FDecoder->ignoreXMP = AVIF_TRUE;
  avifResult result = avifDecoderSetIOMemory(FDecoder, Image.data(), Image.size());
  if (result == AVIF_RESULT_OK) result = avifDecoderParse(FDecoder);
  if (result != AVIF_RESULT_OK) {
    avifDecoderDestroy(FDecoder);
    Fail(AvifFailure(result));
  }
}

TAvifSession::~TAvifSession() { avifDecoderDestroy(FDecoder); }

void TAvifSession::DecodeFirst() const {
  const avifResult result = avifDecoderNextImage(FDecoder);
  if (result != AVIF_RESULT_OK) Fail(AvifFailure(result));
}

}  // namespace tvplugin
