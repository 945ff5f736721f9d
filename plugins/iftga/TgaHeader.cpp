#include "TgaHeader.h"

namespace tvplugin {

namespace {

uint16_t Word(std::span<const uint8_t> bytes, size_t at) { return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8); }

bool EntryBitsKnown(uint8_t bits) { return bits == 15 || bits == 16 || bits == 24 || bits == 32; }

}  // namespace

bool TTgaHeader::HasAlpha() const {
  if (Grey()) return PixelBits == 16;
  const uint8_t bits = Mapped() ? MapEntryBits : PixelBits;
  return bits == 32 && AlphaBits() > 0;
}

size_t TTgaHeader::PixelsOffset() const {
  const size_t entryBytes = (MapEntryBits + 7u) / 8u;
  return kTgaHeaderBytes + IdLength + (ColourMapType == 1 ? size_t{MapLength} * entryBytes : 0);
}

bool ReadTgaHeader(std::span<const uint8_t> Head, TTgaHeader& Header) {
  if (Head.size() < kTgaHeaderBytes) return false;
  TTgaHeader h;
  h.IdLength = Head[0];
  h.ColourMapType = Head[1];
  h.ImageType = Head[2];
  h.MapFirst = Word(Head, 3);
  h.MapLength = Word(Head, 5);
  h.MapEntryBits = Head[7];
  h.Width = Word(Head, 12);
  h.Height = Word(Head, 14);
  h.PixelBits = Head[16];
  h.Descriptor = Head[17];
  const bool known = h.Mapped() || h.ImageType == 2 || h.ImageType == 3 || h.ImageType == 10 || h.ImageType == 11;
  if (!known || h.ColourMapType > 1 || h.Mapped() != (h.ColourMapType == 1)) return false;
  if (h.ColourMapType == 0 && (h.MapFirst | h.MapLength | h.MapEntryBits) != 0) return false;
  if (h.Mapped() && (h.MapLength == 0 || !EntryBitsKnown(h.MapEntryBits) || (h.PixelBits != 8 && h.PixelBits != 16)))
    return false;
  if (h.Grey() && h.PixelBits != 8 && h.PixelBits != 16) return false;
  if (!h.Mapped() && !h.Grey() && !EntryBitsKnown(h.PixelBits)) return false;
  // The two top bits of the descriptor are reserved (interleaving of the first version).
  if (h.Width == 0 || h.Height == 0 || (h.Descriptor & 0xC0) != 0) return false;
  Header = h;
  return true;
}

}  // namespace tvplugin
