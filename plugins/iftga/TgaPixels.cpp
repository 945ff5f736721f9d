#include "TgaPixels.h"

#include "ModuleError.h"

#include <algorithm>
#include <cstring>

namespace tvplugin {

namespace {

constexpr uint32_t kOpaque = 0xFF000000u;

uint32_t Bgra(uint32_t blue, uint32_t green, uint32_t red, uint32_t alpha) {
  return blue | green << 8 | red << 16 | alpha << 24;
}

uint32_t FiveToEight(uint32_t value) { return value << 3 | value >> 2; }

}  // namespace

TTgaPixels::TTgaPixels(const TTgaHeader& Header, std::span<const uint8_t> Image)
    : FHeader(Header), FImage(Image), FAt(kTgaHeaderBytes + Header.IdLength), FPixelBytes((Header.PixelBits + 7u) / 8u) {
  if (Header.ColourMapType != 1) return;
  const uint8_t bits = Header.MapEntryBits;
  const size_t entryBytes = (bits + 7u) / 8u;
  const uint8_t* entries = Take(size_t{Header.MapLength} * entryBytes);
  FMap.resize(Header.MapLength);
  for (size_t i = 0; i < FMap.size(); ++i) FMap[i] = Entry(entries + i * entryBytes, bits);
}

const uint8_t* TTgaPixels::Take(size_t Bytes) {
  if (FImage.size() < FAt || FImage.size() - FAt < Bytes) Fail(SPI_BROKEN_DATA);
  const uint8_t* at = FImage.data() + FAt;
  FAt += Bytes;
  return at;
}

uint32_t TTgaPixels::Entry(const uint8_t* Entry, uint8_t Bits) const {
  switch (Bits) {
    case 15:
    case 16: {
      // x-R5-G5-B5; the attribute bit is not taken for alpha, as few writers set it meaningfully.
      const uint32_t value = Entry[0] | Entry[1] << 8;
      return Bgra(FiveToEight(value & 0x1F), FiveToEight(value >> 5 & 0x1F), FiveToEight(value >> 10 & 0x1F), 0xFF);
    }
    case 24: return Bgra(Entry[0], Entry[1], Entry[2], 0xFF);
    default: {
      const uint32_t pixel = Bgra(Entry[0], Entry[1], Entry[2], Entry[3]);
      // Without attribute bits the fourth byte means nothing.
      return FHeader.AlphaBits() > 0 ? pixel : pixel | kOpaque;
    }
  }
}

uint32_t TTgaPixels::Stored(const uint8_t* Pixel) const {
  if (FHeader.Grey()) return Bgra(Pixel[0], Pixel[0], Pixel[0], FHeader.PixelBits == 16 ? Pixel[1] : 0xFF);
  if (!FHeader.Mapped()) return Entry(Pixel, FHeader.PixelBits);
  const uint32_t index = FHeader.PixelBits == 16 ? Pixel[0] | Pixel[1] << 8 : Pixel[0];
  // An index outside the map shows black.
  return index >= FHeader.MapFirst && index - FHeader.MapFirst < FMap.size() ? FMap[index - FHeader.MapFirst] : kOpaque;
}

void TTgaPixels::NextRow(uint8_t* Row) {
  auto* out = reinterpret_cast<uint32_t*>(Row);
  if (!FHeader.RunLength()) {
    const uint8_t* stored = Take(size_t{FHeader.Width} * FPixelBytes);
    for (uint32_t x = 0; x < FHeader.Width; ++x, stored += FPixelBytes) out[x] = Stored(stored);
    return;
  }
  for (uint32_t x = 0; x < FHeader.Width;) {
    if (FLeft == 0) {
      const uint8_t packet = *Take(1);
      FInRun = (packet & 0x80) != 0;
      FLeft = (packet & 0x7Fu) + 1;
      if (FInRun) FRunPixel = Stored(Take(FPixelBytes));
    }
    const uint32_t count = std::min(FLeft, FHeader.Width - x);
    if (FInRun) {
      std::fill(out + x, out + x + count, FRunPixel);
    } else {
      const uint8_t* stored = Take(count * FPixelBytes);
      for (uint32_t i = 0; i < count; ++i, stored += FPixelBytes) out[x + i] = Stored(stored);
    }
    x += count;
    FLeft -= count;
  }
}

const uint8_t* TTgaPixels::NextStoredRow() { return Take(size_t{FHeader.Width} * FPixelBytes); }

}  // namespace tvplugin
