#include "WebpDecoder.h"

#include "CheckedSize.h"
#include "HeadProbe.h"
#include "PixelRows.h"

#include <algorithm>
#include <memory>

#include <webp/decode.h>
#include <webp/demux.h>

namespace tvplugin {

namespace {

// Data handed to the incremental decoder per step.
constexpr size_t kSliceBytes = 64 * 1024;

WebPBitstreamFeatures Features(std::span<const uint8_t> image) {
  WebPBitstreamFeatures features;
  const VP8StatusCode status = WebPGetFeatures(image.data(), image.size(), &features);
  if (status == VP8_STATUS_OUT_OF_MEMORY) Fail(SPI_NO_MEMORY);
  if (status != VP8_STATUS_OK) Fail(SPI_BROKEN_DATA);
  return features;
}

struct TIncrementalDecoderDeleter {
  void operator()(WebPIDecoder* decoder) const { WebPIDelete(decoder); }
};
struct TAnimDecoderDeleter {
  void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};

TDib DecodeStill(std::span<const uint8_t> image, const WebPBitstreamFeatures& features, TProgress& progress) {
  TDib dib(CheckedSide(static_cast<uint32_t>(features.width)), CheckedSide(static_cast<uint32_t>(features.height)),
           features.has_alpha ? 32 : 24);
  WebPDecBuffer output;
  if (!WebPInitDecBuffer(&output)) Fail(SPI_INTERNAL_ERROR);
  output.colorspace = features.has_alpha ? MODE_BGRA : MODE_BGR;
  output.is_external_memory = 1;
  output.u.RGBA.rgba = dib.Row(0);
  output.u.RGBA.stride = -static_cast<int>(dib.Stride());
  output.u.RGBA.size = dib.Stride() * static_cast<size_t>(dib.Height());
  const std::unique_ptr<WebPIDecoder, TIncrementalDecoderDeleter> decoder(WebPINewDecoder(&output));
  if (!decoder) Fail(SPI_NO_MEMORY);

  progress.Report(0, dib.Height());
  for (size_t fed = 0;;) {
    fed = std::min(image.size(), fed + kSliceBytes);
    const VP8StatusCode status = WebPIUpdate(decoder.get(), image.data(), fed);
    if (status == VP8_STATUS_OK) break;
    if (status == VP8_STATUS_OUT_OF_MEMORY) Fail(SPI_NO_MEMORY);
    // Still suspended with all of the data: the file ends early.
    if (status != VP8_STATUS_SUSPENDED || fed == image.size()) Fail(SPI_BROKEN_DATA);
    int lastRow = 0;
    WebPIDecGetRGB(decoder.get(), &lastRow, nullptr, nullptr, nullptr);
    progress.Report(lastRow, dib.Height());
  }
  progress.Report(dib.Height(), dib.Height());
  return dib;
}

TDib DecodeFirstFrame(std::span<const uint8_t> image, const WebPBitstreamFeatures& features, TProgress& progress) {
  WebPAnimDecoderOptions options;
  if (!WebPAnimDecoderOptionsInit(&options)) Fail(SPI_INTERNAL_ERROR);
  options.color_mode = MODE_BGRA;
  options.use_threads = 0;
  const WebPData data{image.data(), image.size()};
  const std::unique_ptr<WebPAnimDecoder, TAnimDecoderDeleter> decoder(WebPAnimDecoderNew(&data, &options));
  if (!decoder) Fail(SPI_BROKEN_DATA);
  WebPAnimInfo info;
  if (!WebPAnimDecoderGetInfo(decoder.get(), &info)) Fail(SPI_BROKEN_DATA);
  TDib dib(CheckedSide(info.canvas_width), CheckedSide(info.canvas_height), features.has_alpha ? 32 : 24);
  progress.Report(0, dib.Height());
  uint8_t* canvas = nullptr;
  int timestamp = 0;
  if (!WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp)) Fail(SPI_BROKEN_DATA);
  const size_t width = static_cast<size_t>(dib.Width());
  for (int32_t y = 0; y < dib.Height(); ++y) {
    const uint8_t* source = canvas + static_cast<size_t>(y) * width * 4;
    if (features.has_alpha)
      std::copy(source, source + width * 4, dib.Row(y));
    else
      BgraToBgr(dib.Row(y), source, width);
    progress.Report(y + 1, dib.Height());
  }
  return dib;
}

}  // namespace

std::string TWebpDecoder::Description() const {
  const int version = WebPGetDecoderVersion();
  return "ifwebp.spi: WebP decoder module of Tovasel (libwebp " + std::to_string(version >> 16) + "." +
         std::to_string((version >> 8) & 0xFF) + "." + std::to_string(version & 0xFF) + ", first frame)";
}

std::vector<TFileType> TWebpDecoder::FileTypes() const { return {{"*.webp", "WebP picture"}}; }

bool TWebpDecoder::Accepts(std::span<const uint8_t> Head) const {
  return StartsWith(Head, "RIFF") && StartsWith(Head, "WEBP", 8);
}

TPictureFacts TWebpDecoder::ReadFacts(std::span<const uint8_t> Image) const {
  const WebPBitstreamFeatures features = Features(Image);
  TPictureFacts facts;
  facts.Width = CheckedSide(static_cast<uint32_t>(features.width));
  facts.Height = CheckedSide(static_cast<uint32_t>(features.height));
  if (features.has_animation) {
    // The canvas of an animation may be larger than what the bitstream features report.
    const WebPData data{Image.data(), Image.size()};
    WebPDemuxer* demuxer = WebPDemux(&data);
    if (demuxer == nullptr) Fail(SPI_BROKEN_DATA);
    const uint32_t width = WebPDemuxGetI(demuxer, WEBP_FF_CANVAS_WIDTH);
    const uint32_t height = WebPDemuxGetI(demuxer, WEBP_FF_CANVAS_HEIGHT);
    WebPDemuxDelete(demuxer);
    facts.Width = CheckedSide(width);
    facts.Height = CheckedSide(height);
  }
  facts.ColorDepth = static_cast<int16_t>(features.has_alpha ? 32 : 24);
  return facts;
}

TDib TWebpDecoder::Decode(std::span<const uint8_t> Image, TDecodeSize, TProgress& Progress) const {
  const WebPBitstreamFeatures features = Features(Image);
  return features.has_animation ? DecodeFirstFrame(Image, features, Progress) : DecodeStill(Image, features, Progress);
}

const TDecoder& TheDecoder() {
  static const TWebpDecoder decoder;
  return decoder;
}

}  // namespace tvplugin
