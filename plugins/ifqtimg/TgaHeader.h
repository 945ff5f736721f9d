#pragma once
// What Qt's TGA reader needs help with. TGA has no signature, and the reader asks for the footer of
// version 2 of the format, which many files (those of ImageMagick among them) lack; and it reads past
// the end of a short file without failing. So this module recognises TGA by a plausible header,
// checks its length, and hands Qt the data with the footer added where it is missing.

#include <QByteArray>

#include <cstdint>
#include <span>

namespace tvplugin {

bool LooksLikeTga(std::span<const uint8_t> Head);
// The data as it is when it ends in the footer, else a copy with the footer appended.
QByteArray WithTgaFooter(std::span<const uint8_t> Image);
// Whether an uncompressed TGA holds all of its pixels (compressed ones Qt does not read).
bool TgaIsComplete(std::span<const uint8_t> Image);

}  // namespace tvplugin
