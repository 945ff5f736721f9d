#include "AvifDecoder.h"

#include "AvifSession.h"
#include "CheckedSize.h"
#include "PixelRows.h"

namespace tvplugin {

namespace {

// Steps of the progress reports: parsed, decoded, converted, rows in place.
constexpr int kSteps = 4;

}  // namespace

std::string TAvifDecoder::Description() const {
  return std::string("ifavif.spi: AVIF decoder module of Tovasel (libavif ") + avifVersion() + ")";
}

std::vector<TFileType> TAvifDecoder::FileTypes() const { return {{"*.avif", "AVIF picture"}}; }

bool TAvifDecoder::Accepts(std::span<const uint8_t> Head) const {
  const avifROData data{Head.data(), Head.size()};
  return avifPeekCompatibleFileType(&data) == AVIF_TRUE;
}

TPictureFacts TAvifDecoder::ReadFacts(std::span<const uint8_t> Image) const {
  const TAvifSession session(Image);
  const avifImage& image = *session.Decoder().image;
  TPictureFacts facts;
  facts.Width = CheckedSide(image.width);
  facts.Height = CheckedSide(image.height);
  const int channels = image.yuvFormat == AVIF_PIXEL_FORMAT_YUV400 ? 1 : 3;
  facts.ColorDepth = static_cast<int16_t>(image.depth * (channels + (session.Decoder().alphaPresent ? 1 : 0)));
  return facts;
}

TDib TAvifDecoder::Decode(std::span<const uint8_t> Image, TDecodeSize, TProgress& Progress) const {
  const TAvifSession session(Image);
  Progress.Report(0, kSteps);
  session.DecodeFirst();
  Progress.Report(1, kSteps);
  avifImage* image = session.Decoder().image;
  const bool alpha = image->alphaPlane != nullptr;
  TDib dib(CheckedSide(image->width), CheckedSide(image->height), alpha ? 32 : 24);

  avifRGBImage rgb;
  avifRGBImageSetDefaults(&rgb, image);
  rgb.format = alpha ? AVIF_RGB_FORMAT_BGRA : AVIF_RGB_FORMAT_BGR;
  rgb.depth = 8;
  rgb.alphaPremultiplied = AVIF_FALSE;
  rgb.pixels = dib.Bits();
  rgb.rowBytes = static_cast<uint32_t>(dib.Stride());
  const avifResult result = avifImageYUVToRGB(image, &rgb);
  if (result != AVIF_RESULT_OK) Fail(AvifFailure(result));
  Progress.Report(2, kSteps);
  // libavif writes top-down only.
  FlipRows(dib);
  Progress.Report(kSteps, kSteps);
  return dib;
}

const TDecoder& TheDecoder() {
  static const TAvifDecoder decoder;
  return decoder;
}

}  // namespace tvplugin
