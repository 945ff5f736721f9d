#include "TgaDecoder.h"

#include "ModuleError.h"
#include "TgaPixels.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tvplugin {

namespace {

TTgaHeader HeaderOf(std::span<const uint8_t> Image) {
  TTgaHeader header;
  if (!ReadTgaHeader(Image, header)) Fail(SPI_UNKNOWN_FORMAT);
  return header;
}

}  // namespace

std::string TTgaDecoder::Description() const {
  return "iftga.spi: TGA decoder module of Tovasel (uncompressed and run-length; colour-mapped, true-colour and grey)";
}

std::vector<TFileType> TTgaDecoder::FileTypes() const { return {{"*.tga", "TGA picture"}}; }

bool TTgaDecoder::Accepts(std::span<const uint8_t> Head) const {
  TTgaHeader header;
  return ReadTgaHeader(Head, header);
}

TPictureFacts TTgaDecoder::ReadFacts(std::span<const uint8_t> Image) const {
  const TTgaHeader header = HeaderOf(Image);
  TPictureFacts facts;
  facts.Width = header.Width;
  facts.Height = header.Height;
  facts.ColorDepth = header.PixelBits == 15 ? 16 : header.PixelBits;
  return facts;
}

TDib TTgaDecoder::Decode(std::span<const uint8_t> Image, TDecodeSize, TProgress& Progress) const {
  const TTgaHeader header = HeaderOf(Image);
  const bool alpha = header.HasAlpha();
  TDib dib(header.Width, header.Height, alpha ? 32 : 24);
  TTgaPixels pixels(header, Image);
  const size_t width = header.Width;
  const int bytes = dib.BitCount() / 8;
  // Rows stored as the DIB keeps them are copied as they are.
  const bool asStored = !header.RunLength() && !header.Mapped() && !header.Grey() && !header.RightToLeft() &&
                        header.PixelBits == dib.BitCount();
  std::vector<uint8_t> row(asStored ? 0 : width * 4);
  for (int32_t i = 0; i < header.Height; ++i) {
    Progress.Report(i, header.Height);
    uint8_t* out = dib.Row(header.TopDown() ? i : header.Height - 1 - i);
    if (asStored) {
      std::memcpy(out, pixels.NextStoredRow(), width * static_cast<size_t>(bytes));
      continue;
    }
    pixels.NextRow(row.data());
    for (size_t x = 0; x < width; ++x) {
      const uint8_t* pixel = row.data() + 4 * (header.RightToLeft() ? width - 1 - x : x);
      std::memcpy(out + x * static_cast<size_t>(bytes), pixel, static_cast<size_t>(bytes));
    }
  }
  Progress.Report(header.Height, header.Height);
  return dib;
}

const TDecoder& TheDecoder() {
  static const TTgaDecoder decoder;
  return decoder;
}

}  // namespace tvplugin
