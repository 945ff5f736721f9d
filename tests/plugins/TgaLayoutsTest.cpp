// The TGA module on files built here, for the layouts the standard tools do not write: the four row
// and column orders, 16-bit and 32-bit pixels with and without attribute bits, 16-bit map indexes,
// grey with alpha, runs that go on into the next row, and damaged data.

#include "PluginTestSupport.h"

using namespace plugintest;

namespace {

// A 3 x 2 picture, as the viewer must show it (0xAARRGGBB), top row first.
const uint32_t kShown[2][3] = {{0xFF102030, 0xFF405060, 0xFF708090}, {0xFFA0B0C0, 0xFFD0E0F0, 0xFF000000}};

struct TTgaFile {
  uint8_t ImageType = 2;
  uint8_t PixelBits = 24;
  uint8_t Descriptor = 0;  // bit 5: rows from the top, bit 4: columns from the right, bits 0-3: alpha bits
  std::vector<uint8_t> Map;  // colour map entries, 24-bit
  uint16_t MapFirst = 0;
  std::vector<uint8_t> Pixels;  // as stored

  std::vector<uint8_t> Bytes() const {
    const auto entries = static_cast<uint16_t>(Map.size() / 3);
    std::vector<uint8_t> out = {0, static_cast<uint8_t>(Map.empty() ? 0 : 1), ImageType,
                                static_cast<uint8_t>(MapFirst), static_cast<uint8_t>(MapFirst >> 8),
                                static_cast<uint8_t>(entries), static_cast<uint8_t>(entries >> 8),
                                static_cast<uint8_t>(Map.empty() ? 0 : 24), 0, 0, 0, 0, 3, 0, 2, 0, PixelBits, Descriptor};
    out.insert(out.end(), Map.begin(), Map.end());
    out.insert(out.end(), Pixels.begin(), Pixels.end());
    return out;
  }
};

// The picture's pixels in the order a descriptor stores them, each written by Put.
template <class Put>
std::vector<uint8_t> Stored(uint8_t descriptor, Put put) {
  std::vector<uint8_t> bytes;
  for (int row = 0; row < 2; ++row)
    for (int column = 0; column < 3; ++column) {
      const int y = descriptor & 0x20 ? row : 1 - row;
      const int x = descriptor & 0x10 ? 2 - column : column;
      put(bytes, kShown[y][x]);
    }
  return bytes;
}

void Bgr(std::vector<uint8_t>& out, uint32_t c) { out.insert(out.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)}); }

TPixels Expected(uint32_t (*shown)(uint32_t)) {
  TPixels pixels{3, 2, {}};
  for (const auto& row : kShown)
    for (uint32_t c : row) pixels.Argb.push_back(shown(c));
  return pixels;
}

TEST(TgaLayouts, EveryOrderAndPixelLayoutShowsThePicture) {
  const std::unique_ptr<TInSPI> module = OpenModule("iftga");
  ASSERT_TRUE(module);
  const auto same = [](uint32_t c) { return c; };
  const auto fiveBits = [](uint32_t c) {
    const auto five = [](uint32_t v) { return (v >> 3) << 3 | (v >> 3) >> 2; };
    return 0xFF000000u | five(c >> 16 & 0xFF) << 16 | five(c >> 8 & 0xFF) << 8 | five(c & 0xFF);
  };
  const auto grey = [](uint32_t c) { return 0x80000000u | (c & 0xFF) * 0x010101u; };
  struct TCase {
    const char* Name;
    TTgaFile File;
    uint32_t (*Shown)(uint32_t);
    int BitCount;
  };
  std::vector<TCase> cases;
  for (const uint8_t descriptor : {0x00, 0x20, 0x10, 0x30}) {
    TTgaFile file;
    file.Descriptor = descriptor;
    file.Pixels = Stored(descriptor, Bgr);
    cases.push_back({descriptor == 0 ? "24-bit, bottom-up" : descriptor == 0x20 ? "24-bit, top-down"
                     : descriptor == 0x10                   ? "24-bit, right to left"
                                                            : "24-bit, top-down right to left",
                     file, +same, 24});
  }
  TTgaFile sixteen;
  sixteen.PixelBits = 16;
  sixteen.Pixels = Stored(0, [](std::vector<uint8_t>& out, uint32_t c) {
    const uint32_t v = (c >> 19 & 0x1F) << 10 | (c >> 11 & 0x1F) << 5 | (c >> 3 & 0x1F) | 0x8000;
    out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)});
  });
  cases.push_back({"16-bit, the attribute bit not taken for alpha", sixteen, +fiveBits, 24});
  TTgaFile noAlphaBits;
  noAlphaBits.PixelBits = 32;
  noAlphaBits.Pixels = Stored(0, [](std::vector<uint8_t>& out, uint32_t c) { Bgr(out, c), out.push_back(0); });
  cases.push_back({"32-bit without attribute bits: opaque", noAlphaBits, +same, 24});
  TTgaFile withAlpha = noAlphaBits;
  withAlpha.Descriptor = 8;
  withAlpha.Pixels = Stored(8, [](std::vector<uint8_t>& out, uint32_t c) { Bgr(out, c), out.push_back(0x80); });
  cases.push_back({"32-bit with 8 alpha bits", withAlpha, [](uint32_t c) { return (c & 0xFFFFFF) | 0x80000000u; }, 32});
  TTgaFile greyAlpha;
  greyAlpha.ImageType = 3;
  greyAlpha.PixelBits = 16;
  greyAlpha.Pixels = Stored(0, [](std::vector<uint8_t>& out, uint32_t c) { out.insert(out.end(), {uint8_t(c), 0x80}); });
  cases.push_back({"grey with alpha", greyAlpha, +grey, 32});
  // Mapped with 16-bit indexes into a map that starts at entry 1000.
  TTgaFile mapped;
  mapped.ImageType = 1;
  mapped.PixelBits = 16;
  mapped.MapFirst = 1000;
  for (const auto& row : kShown)
    for (uint32_t c : row) Bgr(mapped.Map, c);
  mapped.Pixels = Stored(0, [](std::vector<uint8_t>& out, uint32_t c) {
    for (int i = 0; i < 6; ++i)
      if (kShown[i / 3][i % 3] == c) out.insert(out.end(), {uint8_t(1000 + i), uint8_t((1000 + i) >> 8)});
  });
  cases.push_back({"colour-mapped, 16-bit indexes", mapped, +same, 24});
  // Run-length: the bottom row as a raw packet of 2 and a run of 2 that ends in the top row, then raw.
  TTgaFile runs;
  runs.ImageType = 10;
  runs.Pixels.push_back(0x01);
  Bgr(runs.Pixels, kShown[1][0]);
  Bgr(runs.Pixels, kShown[1][1]);
  runs.Pixels.push_back(0x81);
  Bgr(runs.Pixels, 0x00000000);
  runs.Pixels.push_back(0x01);
  Bgr(runs.Pixels, kShown[0][1]);
  Bgr(runs.Pixels, kShown[0][2]);
  cases.push_back({"runs across rows", runs, [](uint32_t c) { return c == 0xFF102030 ? 0xFF000000u : c; }, 24});

  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TDecoded decoded = DecodeFromMemory(*module, c.File.Bytes());
    ASSERT_EQ(decoded.Result, SPI_SUCCESS);
    EXPECT_EQ(decoded.BitCount, c.BitCount);
    EXPECT_TRUE(SamePixels(decoded.Pixels, Expected(c.Shown)));
  }
}

TEST(TgaLayouts, DamagedDataFailsAndIndexesOutsideTheMapShowBlack) {
  const std::unique_ptr<TInSPI> module = OpenModule("iftga");
  ASSERT_TRUE(module);
  TTgaFile file;
  file.Pixels = Stored(0, Bgr);
  std::vector<uint8_t> bytes = file.Bytes();
  bytes.pop_back();
  EXPECT_EQ(DecodeFromMemory(*module, bytes).Result, SPI_BROKEN_DATA) << "a pixel short";
  TTgaFile runs;
  runs.ImageType = 10;
  runs.Pixels = {0xFF};  // a run of 128 whose pixel is missing
  EXPECT_EQ(DecodeFromMemory(*module, runs.Bytes()).Result, SPI_BROKEN_DATA);
  TTgaFile mapped;
  mapped.ImageType = 1;
  mapped.PixelBits = 8;
  Bgr(mapped.Map, 0x123456);
  mapped.Pixels = {0, 7, 0, 0, 0, 0};
  const TDecoded decoded = DecodeFromMemory(*module, mapped.Bytes());
  ASSERT_EQ(decoded.Result, SPI_SUCCESS);
  EXPECT_EQ(decoded.Pixels.At(0, 1), 0xFF123456u);
  EXPECT_EQ(decoded.Pixels.At(1, 1), 0xFF000000u);
}

}  // namespace
