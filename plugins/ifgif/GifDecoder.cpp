#include "GifDecoder.h"

#include "GifFirstFrame.h"
#include "HeadProbe.h"

namespace tvplugin {

std::string TGifDecoder::Description() const {
  return "ifgif.spi: GIF decoder module of Tovasel (giflib " + std::to_string(GIFLIB_MAJOR) + "." +
         std::to_string(GIFLIB_MINOR) + "." + std::to_string(GIFLIB_RELEASE) + ", first frame)";
}

std::vector<TFileType> TGifDecoder::FileTypes() const { return {{"*.gif", "GIF picture"}}; }

bool TGifDecoder::Accepts(std::span<const uint8_t> Head) const {
  return StartsWith(Head, "GIF87a") || StartsWith(Head, "GIF89a");
}

TPictureFacts TGifDecoder::ReadFacts(std::span<const uint8_t> Image) const {
  const TGifFirstFrame frame(Image);
  TPictureFacts facts;
  facts.Width = frame.CanvasWidth();
  facts.Height = frame.CanvasHeight();
  facts.ColorDepth = static_cast<int16_t>(frame.BitsPerPixel());
  return facts;
}

TDib TGifDecoder::Decode(std::span<const uint8_t> Image, TDecodeSize, TProgress& Progress) const {
  TGifFirstFrame frame(Image);
  TDib dib(frame.CanvasWidth(), frame.CanvasHeight(), frame.HasTransparency() ? 32 : 24);
  const int bytes = dib.BitCount() / 8;
  Progress.Report(0, frame.FrameHeight());
  frame.Render([&](int32_t y) { return dib.Row(y); }, bytes, [&](int32_t done) { Progress.Report(done, frame.FrameHeight()); });
  return dib;
}

const TDecoder& TheDecoder() {
  static const TGifDecoder decoder;
  return decoder;
}

}  // namespace tvplugin
