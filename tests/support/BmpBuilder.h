#pragma once
// BMP files assembled field by field, so tests can state exactly which field is wrong.

#include "platform/BitmapTypes.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

struct TBmpBuilder {
  int32_t Width = 2;
  int32_t Height = 2;
  uint16_t BitCount = 24;
  uint32_t Compression = BI_RGB;
  uint32_t ClrUsed = 0;
  int32_t XPels = 2835;
  int32_t YPels = 2835;
  uint32_t HeaderSize = 40;       // 12 writes a core header
  std::vector<uint32_t> Masks;    // written after the header when not empty
  std::vector<RGBQUAD> Colors;    // RGBQUADs after an info header, RGBTRIPLEs after a core header
  uint32_t Gap = 0;               // bytes between the colour table and the pixels
  std::vector<uint8_t> Pixels;
  std::optional<uint32_t> OffBits;  // default: where the pixels start
  std::optional<uint32_t> FileSize; // default: the real size
  std::optional<uint16_t> Type;

  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> header;
    const auto put = [&](const void* p, size_t n) {
      header.insert(header.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
    };
    if (HeaderSize == 12) {
      const BITMAPCOREHEADER core{12, static_cast<uint16_t>(Width), static_cast<uint16_t>(Height), 1, BitCount};
      put(&core, sizeof(core));
      for (const RGBQUAD& c : Colors) put(&c, 3);
    } else {
      BITMAPINFOHEADER info{HeaderSize, Width, Height, 1, BitCount, Compression, 0, XPels, YPels, ClrUsed, 0};
      put(&info, sizeof(info));
      if (HeaderSize > 40) header.resize(HeaderSize, 0);
      for (uint32_t m : Masks) put(&m, 4);
      for (const RGBQUAD& c : Colors) put(&c, 4);
    }
    header.resize(header.size() + Gap, 0xEE);
    const uint32_t offBits = OffBits.value_or(static_cast<uint32_t>(14 + header.size()));
    const uint32_t size = FileSize.value_or(static_cast<uint32_t>(14 + header.size() + Pixels.size()));
    const BITMAPFILEHEADER file{Type.value_or(kBitmapFileType), size, 0, 0, offBits};
    std::vector<uint8_t> bytes(sizeof(file) + header.size() + Pixels.size());
    std::memcpy(bytes.data(), &file, sizeof(file));
    std::copy(header.begin(), header.end(), bytes.begin() + sizeof(file));
    std::copy(Pixels.begin(), Pixels.end(), bytes.begin() + static_cast<std::ptrdiff_t>(sizeof(file) + header.size()));
    return bytes;
  }

  // Rows of the given bit count filled with one byte value.
  TBmpBuilder& FillRows(uint8_t value, int bitCount = -1) {
    const int bits = bitCount < 0 ? BitCount : bitCount;
    Pixels.assign(static_cast<size_t>(DIBRowBytes(Width, bits) * (Height < 0 ? -Height : Height)), value);
    return *this;
  }
  TBmpBuilder& GrayColors(int count) {
    Colors.clear();
    for (int i = 0; i < count; ++i)
      Colors.push_back(RGBQUAD{static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i), 0});
    return *this;
  }
};
