#include "TiffDecoder.h"

#include "CheckedSize.h"
#include "HeadProbe.h"
#include "PixelRows.h"
#include "TiffSession.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace tvplugin {

namespace {

struct TRgbaImage {
  TIFFRGBAImage Image{};
  ~TRgbaImage() { TIFFRGBAImageEnd(&Image); }
};

uint16_t DotsPerInch(TIFF* tiff, uint32_t tag) {
  float resolution = 0;
  uint16_t unit = RESUNIT_INCH;
  if (!TIFFGetField(tiff, tag, &resolution) || !std::isfinite(resolution) || resolution <= 0) return 0;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
  const double dpi = unit == RESUNIT_CENTIMETER ? resolution * 2.54 : unit == RESUNIT_INCH ? resolution : 0;
  return static_cast<uint16_t>(std::clamp(std::lround(dpi), 0L, 0xFFFFL));
}

}  // namespace

std::string TTiffDecoder::Description() const {
  std::string version = TIFFGetVersion();
  version = version.substr(0, version.find('\n'));
  return "iftiff.spi: TIFF decoder module of Tovasel (" + version + ", first page)";
}

std::vector<TFileType> TTiffDecoder::FileTypes() const { return {{"*.tif;*.tiff", "TIFF picture"}}; }

bool TTiffDecoder::Accepts(std::span<const uint8_t> Head) const {
  return StartsWith(Head, {"II*\0", 4}) || StartsWith(Head, {"MM\0*", 4}) || StartsWith(Head, {"II+\0", 4}) ||
         StartsWith(Head, {"MM\0+", 4});
}

TPictureFacts TTiffDecoder::ReadFacts(std::span<const uint8_t> Image) const {
  const TTiffSession session(Image);
  TIFF* tiff = session.Tiff();
  uint32_t width = 0, height = 0;
  uint16_t bits = 1, samples = 1;
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TPictureFacts facts;
  facts.Width = CheckedSide(width);
  facts.Height = CheckedSide(height);
  facts.ColorDepth = static_cast<int16_t>(std::min(bits * samples, 0x7FFF));
  facts.XDensity = DotsPerInch(tiff, TIFFTAG_XRESOLUTION);
  facts.YDensity = DotsPerInch(tiff, TIFFTAG_YRESOLUTION);
  return facts;
}

TDib TTiffDecoder::Decode(std::span<const uint8_t> Image, TDecodeSize, TProgress& Progress) const {
  const TTiffSession session(Image);
  TIFF* tiff = session.Tiff();
  char message[1024];
  if (!TIFFRGBAImageOK(tiff, message)) Fail(SPI_BROKEN_DATA);
  TRgbaImage rgba;
  if (!TIFFRGBAImageBegin(&rgba.Image, tiff, 1, message)) Fail(SPI_BROKEN_DATA);
  const int32_t width = CheckedSide(rgba.Image.width);
  const int32_t height = CheckedSide(rgba.Image.height);
  const bool alpha = rgba.Image.alpha != 0;
  TDib dib(width, height, alpha ? 32 : 24);
  dib.SetDensity(DotsPerInch(tiff, TIFFTAG_XRESOLUTION), DotsPerInch(tiff, TIFFTAG_YRESOLUTION));

  // With alpha the DIB's block has the raster's size and takes it in place.
  std::unique_ptr<uint32_t[]> raster;
  uint32_t* pixels = reinterpret_cast<uint32_t*>(dib.Bits());
  if (!alpha) {
    raster = std::make_unique_for_overwrite<uint32_t[]>(CheckedMul(static_cast<size_t>(width), static_cast<size_t>(height)));
    pixels = raster.get();
  }
  Progress.Report(0, height);
  rgba.Image.req_orientation = ORIENTATION_BOTLEFT;
  if (!TIFFRGBAImageGet(&rgba.Image, pixels, static_cast<uint32_t>(width), static_cast<uint32_t>(height)))
    Fail(SPI_BROKEN_DATA);

  // Raster row r is the r-th row from the bottom, as the DIB's; each pixel is red, green, blue, alpha.
  for (int32_t r = 0; r < height; ++r) {
    const auto* source = reinterpret_cast<const uint8_t*>(pixels + static_cast<size_t>(r) * width);
    uint8_t* target = dib.Bits() + static_cast<size_t>(r) * dib.Stride();
    if (alpha) {
      RgbaToBgra(target, source, static_cast<size_t>(width));
      UnpremultiplyBgra(target, static_cast<size_t>(width));
    } else {
      RgbaToBgr(target, source, static_cast<size_t>(width));
    }
    Progress.Report(r + 1, height);
  }
  return dib;
}

const TDecoder& TheDecoder() {
  static const TTiffDecoder decoder;
  return decoder;
}

}  // namespace tvplugin
