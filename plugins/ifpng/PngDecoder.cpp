#include "PngDecoder.h"

#include "CheckedSize.h"
#include "HeadProbe.h"
#include "PngSession.h"

#include <algorithm>

namespace tvplugin {

namespace {

bool HasTransparency(png_structp png, png_infop info) {
  const int type = png_get_color_type(png, info);
  return (type & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS) != 0;
}

void DotsPerInch(png_structp png, png_infop info, uint16_t& x, uint16_t& y) {
  png_uint_32 xppm = 0, yppm = 0;
  int unit = 0;
  if (!png_get_pHYs(png, info, &xppm, &yppm, &unit) || unit != PNG_RESOLUTION_METER) return;
  x = static_cast<uint16_t>(std::min<uint64_t>((uint64_t{xppm} * 254 + 5000) / 10000, 0xFFFF));
  y = static_cast<uint16_t>(std::min<uint64_t>((uint64_t{yppm} * 254 + 5000) / 10000, 0xFFFF));
}

}  // namespace

std::string TPngDecoder::Description() const {
  return std::string("ifpng.spi: PNG decoder module of Tovasel (libpng ") + PNG_LIBPNG_VER_STRING + ")";
}

std::vector<TFileType> TPngDecoder::FileTypes() const { return {{"*.png", "PNG picture"}}; }

bool TPngDecoder::Accepts(std::span<const uint8_t> Head) const { return StartsWith(Head, "\x89PNG\r\n\x1A\n"); }

TPictureFacts TPngDecoder::ReadFacts(std::span<const uint8_t> Image) const {
  const TPngSession session(Image);
  png_structp png = session.Png();
  png_infop info = session.Info();
  TPictureFacts facts;
  facts.Width = CheckedSide(png_get_image_width(png, info));
  facts.Height = CheckedSide(png_get_image_height(png, info));
  facts.ColorDepth = static_cast<int16_t>(png_get_bit_depth(png, info) * png_get_channels(png, info));
  DotsPerInch(png, info, facts.XDensity, facts.YDensity);
  return facts;
}

TDib TPngDecoder::Decode(std::span<const uint8_t> Image, TDecodeSize, TProgress& Progress) const {
  const TPngSession session(Image);
  png_structp png = session.Png();
  png_infop info = session.Info();
  const int32_t width = CheckedSide(png_get_image_width(png, info));
  const int32_t height = CheckedSide(png_get_image_height(png, info));
  const bool alpha = HasTransparency(png, info);

  TDib dib(width, height, alpha ? 32 : 24);
  uint16_t xDpi = 0, yDpi = 0;
  DotsPerInch(png, info, xDpi, yDpi);
  dib.SetDensity(xDpi, yDpi);

  // Every colour type to 8-bit blue, green, red (, alpha).
  png_set_expand(png);
  png_set_scale_16(png);
  png_set_gray_to_rgb(png);
  png_set_bgr(png);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != static_cast<size_t>(width) * (alpha ? 4 : 3)) Fail(SPI_BROKEN_DATA);

  const int64_t total = int64_t{height} * passes;
  Progress.Report(0, total);
  for (int pass = 0; pass < passes; ++pass)
    for (int32_t y = 0; y < height; ++y) {
      png_read_row(png, dib.Row(y), nullptr);
      Progress.Report(int64_t{pass} * height + y + 1, total);
    }
  png_read_end(png, nullptr);
  return dib;
}

const TDecoder& TheDecoder() {
  static const TPngDecoder decoder;
  return decoder;
}

}  // namespace tvplugin
