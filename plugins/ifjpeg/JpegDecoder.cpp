#include "JpegDecoder.h"

#include "CheckedSize.h"
#include "ExifOrientation.h"
#include "HeadProbe.h"
#include "JpegSession.h"
#include "OrientedRows.h"

#include <algorithm>
#include <memory>

namespace tvplugin {

namespace {

// A preview is the smallest of 1/2, 1/4 and 1/8 whose longer side keeps this many pixels.
constexpr uint32_t kPreviewLongerSide = 256;
// Rows handed to libjpeg per call: enough for one iMCU row of any sampling.
constexpr int kRowsPerCall = 16;

bool IsCmyk(const jpeg_decompress_struct& info) {
  return info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
}

uint16_t DotsPerInch(const jpeg_decompress_struct& info, uint16_t density) {
  if (!info.saw_JFIF_marker) return 0;
  if (info.density_unit == 1) return density;
  if (info.density_unit == 2) return static_cast<uint16_t>(std::min<uint32_t>((density * 254u + 50u) / 100u, 0xFFFF));
  return 0;
}

unsigned PreviewDenominator(const jpeg_decompress_struct& info) {
  const uint32_t longer = std::max(info.image_width, info.image_height);
  for (unsigned denominator : {8u, 4u, 2u})
    if ((longer + denominator - 1) / denominator >= kPreviewLongerSide) return denominator;
  return 1;
}

// CMYK as Adobe writes it (inverted) or plain, to blue, green, red.
void CmykToBgr(uint8_t* dest, const uint8_t* source, size_t width, bool inverted) {
  for (size_t x = 0; x < width; ++x, dest += 3, source += 4) {
    const unsigned c = inverted ? source[0] : 255u - source[0];
    const unsigned m = inverted ? source[1] : 255u - source[1];
    const unsigned y = inverted ? source[2] : 255u - source[2];
    const unsigned k = inverted ? source[3] : 255u - source[3];
    dest[0] = static_cast<uint8_t>((y * k + 127) / 255);
    dest[1] = static_cast<uint8_t>((m * k + 127) / 255);
    dest[2] = static_cast<uint8_t>((c * k + 127) / 255);
  }
}

}  // namespace

std::string TJpegDecoder::Description() const {
  return "ifjpeg.spi: JPEG decoder module of Tovasel (libjpeg-turbo, JPEG library " + std::to_string(JPEG_LIB_VERSION) + ")";
}

std::vector<TFileType> TJpegDecoder::FileTypes() const { return {{"*.jpg;*.jpeg;*.jpe;*.jfif", "JPEG picture"}}; }

bool TJpegDecoder::Accepts(std::span<const uint8_t> Head) const { return StartsWith(Head, "\xFF\xD8\xFF"); }

TPictureFacts TJpegDecoder::ReadFacts(std::span<const uint8_t> Image) const {
  TJpegSession session(Image);
  const jpeg_decompress_struct& info = session.Info();
  const bool swap = SwapsSides(ExifOrientation(info.marker_list));
  TPictureFacts facts;
  facts.Width = CheckedSide(swap ? info.image_height : info.image_width);
  facts.Height = CheckedSide(swap ? info.image_width : info.image_height);
  facts.ColorDepth = static_cast<int16_t>(info.num_components == 1 ? 8 : 24);
  facts.XDensity = DotsPerInch(info, swap ? info.Y_density : info.X_density);
  facts.YDensity = DotsPerInch(info, swap ? info.X_density : info.Y_density);
  return facts;
}

TDib TJpegDecoder::Decode(std::span<const uint8_t> Image, TDecodeSize Size, TProgress& Progress) const {
  TJpegSession session(Image);
  jpeg_decompress_struct& info = session.Info();
  const int orientation = ExifOrientation(info.marker_list);
  const bool cmyk = IsCmyk(info);
  info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
  info.scale_num = 1;
  info.scale_denom = Size == TDecodeSize::Preview ? PreviewDenominator(info) : 1;
  info.dct_method = JDCT_ISLOW;
  jpeg_calc_output_dimensions(&info);
  const int32_t width = CheckedSide(info.output_width);
  const int32_t height = CheckedSide(info.output_height);
  const bool swap = SwapsSides(orientation);

  // The DIB first: a picture too large for it fails before libjpeg allocates anything big.
  TDib dib(swap ? height : width, swap ? width : height, 24);
  dib.SetDensity(DotsPerInch(info, swap ? info.Y_density : info.X_density), DotsPerInch(info, swap ? info.X_density : info.Y_density));
  Progress.Report(0, height);
  jpeg_start_decompress(&info);

  if (orientation == 1 && !cmyk) {
    // The fast path: libjpeg writes each row where the DIB keeps it.
    JSAMPROW rows[kRowsPerCall];
    while (info.output_scanline < info.output_height) {
      const int32_t first = static_cast<int32_t>(info.output_scanline);
      const int32_t count = std::min<int32_t>(kRowsPerCall, height - first);
      for (int32_t i = 0; i < count; ++i) rows[i] = dib.Row(first + i);
      jpeg_read_scanlines(&info, rows, static_cast<JDIMENSION>(count));
      Progress.Report(info.output_scanline, height);
    }
  } else {
    const TOrientedRows placement(dib, orientation, width, height);
    const size_t components = cmyk ? 4 : 3;
    const auto decoded = std::make_unique_for_overwrite<uint8_t[]>(CheckedMul(static_cast<size_t>(width), components));
    const auto converted = std::make_unique_for_overwrite<uint8_t[]>(CheckedMul(static_cast<size_t>(width), 3));
    const bool inverted = info.saw_Adobe_marker;
    while (info.output_scanline < info.output_height) {
      const int32_t y = static_cast<int32_t>(info.output_scanline);
      JSAMPROW row = decoded.get();
      jpeg_read_scanlines(&info, &row, 1);
      if (cmyk) CmykToBgr(converted.get(), decoded.get(), static_cast<size_t>(width), inverted);
      placement.Put(y, cmyk ? converted.get() : decoded.get());
      Progress.Report(y + 1, height);
    }
  }
  jpeg_finish_decompress(&info);
  return dib;
}

const TDecoder& TheDecoder() {
  static const TJpegDecoder decoder;
  return decoder;
}

}  // namespace tvplugin
