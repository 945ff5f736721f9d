// Tests of the error-diffusion halftoning onto the 215-colour palette and onto black and white.

#include "DIBTestUtil.h"
#include "dib/KpHalftone.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using TConversion = void (*)(const TKpDIBInfos&, TKpDIBInfos&, bool);

TTestDIB Convert(TConversion conversion, const TKpDIBInfos& src, bool useFMO = false) {
  TKpDIBInfos dst;
  conversion(src, dst, useFMO);
  return TTestDIB::Adopt(dst, useFMO);
}

TTestDIB Uniform24(int32_t width, int32_t height, uint32_t rgb) {
  TTestDIB dib(width, height, 24);
  for (int32_t y = 0; y < dib.Height(); ++y)
    for (int32_t x = 0; x < width; ++x) dib.SetPixel(x, y, rgb);
  return dib;
}

// A colour in the form TTestDIB uses for 24-bit pixels, 0x00BBGGRR.
constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return b << 16 | g << 8 | r; }

uint32_t ColorOf(const RGBQUAD& c) { return Rgb(c.rgbRed, c.rgbGreen, c.rgbBlue); }

void ExpectAssertion(TConversion conversion, const TKpDIBInfos& src, const std::string& text) {
  TKpDIBInfos dst;
  try {
    conversion(src, dst, false);
    ADD_FAILURE() << "no assertion, expected " << text;
    ReleaseMemory(dst.hFile, dst.pBits, false);
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Text(), text);
    EXPECT_EQ(e.Unit(), "KpDIB");
    EXPECT_EQ(dst.pBits, nullptr);
  }
}

TEST(HalftoneColors, AreTheCubeAndFiveExtras) {
  RGBQUAD colors[215];
  GetHalftoneColors(colors);
  EXPECT_EQ(ColorOf(colors[0]), Rgb(0, 0, 0));
  EXPECT_EQ(ColorOf(colors[41]), Rgb(51, 43, 64));
  EXPECT_EQ(ColorOf(colors[122]), Rgb(153, 128, 128));
  EXPECT_EQ(ColorOf(colors[35 * 4 + 5 * 5 + 3]), Rgb(204, 214, 192));
  EXPECT_EQ(ColorOf(colors[209]), Rgb(255, 255, 255));
  const uint32_t extras[] = {Rgb(128, 0, 0), Rgb(128, 128, 0), Rgb(128, 0, 128), Rgb(192, 192, 192),
                             Rgb(128, 128, 128)};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(ColorOf(colors[210 + i]), extras[i]);
  for (const auto& c : colors) EXPECT_EQ(c.rgbReserved, 0);
}

TEST(Halftone, ExactLevelsDoNotDiffuse) {
  for (int32_t height : {5, -5}) {
    TTestDIB src = Uniform24(7, height, Rgb(51, 43, 64));
    for (int i = 215; i < 256; ++i) src.SetColor(i, static_cast<uint8_t>(i), 1, 2);
    TTestDIB dst = Convert(ConvertToHalfTone, src.Infos);
    const BITMAPINFOHEADER& head = dst.Infos.W3Head;
    EXPECT_EQ(head.biBitCount, 8);
    EXPECT_EQ(head.biClrUsed, 215u);
    EXPECT_EQ(head.biCompression, BI_RGB);
    EXPECT_EQ(head.biHeight, height);
    RGBQUAD halftone[215];
    GetHalftoneColors(halftone);
    for (int i = 0; i < 215; ++i) EXPECT_EQ(ColorOf(dst.Infos.Colors()[i]), ColorOf(halftone[i])) << i;
    for (int i = 215; i < 256; ++i) EXPECT_EQ(ColorOf(dst.Infos.Colors()[i]), ColorOf(src.Infos.Colors()[i])) << i;
    for (int32_t y = 0; y < 5; ++y)
      for (int32_t x = 0; x < 7; ++x) EXPECT_EQ(dst.Pixel(x, y), 41u);
    EXPECT_EQ(dst.Row(0)[7], 0);  // row padding stays zero
  }
}

// A single pixel carries no error in, so it shows the quantisation thresholds themselves, including the
// top ones of red (231) and green (234) that are not midpoints.
TEST(Halftone, QuantisesAtTheThresholds) {
  struct TCase {
    uint32_t Color;
    uint32_t Index;
  };
  const TCase cases[] = {
      {Rgb(25, 21, 31), 0},
      {Rgb(26, 22, 32), 35 + 5 + 1},
      {Rgb(127, 106, 159), 70 + 10 + 2},
      {Rgb(128, 107, 160), 105 + 15 + 3},
      {Rgb(230, 233, 223), 140 + 25 + 3},
      {Rgb(231, 234, 224), 175 + 30 + 4},
  };
  for (const auto& c : cases) {
    const TTestDIB src = Uniform24(1, 1, c.Color);
    TTestDIB dst = Convert(ConvertToHalfTone, src.Infos);
    EXPECT_EQ(dst.Pixel(0, 0), c.Index) << std::hex << c.Color;
  }
}

// Every bit count reads its pixels (through the colour table below 24 bits); colours that are levels of
// the palette come out exactly, in any width.
TEST(Halftone, ReadsEveryBitCount) {
  std::mt19937 random(9);
  RGBQUAD halftone[215];
  GetHalftoneColors(halftone);
  for (uint16_t bits : {1, 4, 8, 24}) {
    for (int32_t width : {1, 5, 13}) {
      SCOPED_TRACE(std::to_string(bits) + " bits, width " + std::to_string(width));
      TTestDIB src(width, 4, bits, DefaultClrUsed(bits));
      // index i of the source has the colour of palette entry 13 i (indexes 0..195, all in the cube)
      for (int i = 0; i < 16; ++i) src.Infos.Colors()[i] = halftone[13 * i];
      std::vector<uint32_t> expected;
      for (int32_t y = 0; y < 4; ++y) {
        for (int32_t x = 0; x < width; ++x) {
          const uint32_t index = random() % (bits == 1 ? 2 : 16);
          src.SetPixel(x, y, bits == 24 ? ColorOf(halftone[13 * index]) : index);
          expected.push_back(13 * index);
        }
      }
      TTestDIB dst = Convert(ConvertToHalfTone, src.Infos);
      EXPECT_EQ(dst.Infos.W3Head.biClrUsed, 215u);
      for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < width; ++x) EXPECT_EQ(dst.Pixel(x, y), expected[y * width + x]) << x << ", " << y;
    }
  }
}

TEST(Halftone, MixesNeighbouringLevels) {
  const TTestDIB src = Uniform24(64, 64, Rgb(128, 128, 128));
  TTestDIB dst = Convert(ConvertToHalfTone, src.Infos);
  EXPECT_EQ(dst.Pixel(0, 0), 122u);
  int64_t red = 0;
  for (int32_t y = 0; y < 64; ++y) {
    for (int32_t x = 0; x < 64; ++x) {
      const uint32_t index = dst.Pixel(x, y);
      ASSERT_TRUE(index == 87 || index == 122) << index;
      red += index == 87 ? 102 : 153;
    }
  }
  EXPECT_NEAR(static_cast<double>(red) / (64 * 64), 128.0, 1.0);
}

// The serpentine scan, the weights and the margins, on a 1-pixel-wide column and on two small images
// whose results were worked out by hand from the diffusion rule.
TEST(Halftone, DiffusesAlongTheSerpentine) {
  const TTestDIB column = Uniform24(1, 6, Rgb(128, 128, 128));
  TTestDIB columnOut = Convert(ConvertToHalfTone, column.Infos);
  for (int32_t y = 0; y < 6; ++y) EXPECT_EQ(columnOut.Pixel(0, y), y % 2 ? 87u : 122u) << y;

  const uint32_t colors[3][4] = {
      {Rgb(23, 92, 100), Rgb(60, 125, 236), Rgb(176, 181, 128), Rgb(236, 55, 188)},
      {Rgb(151, 18, 221), Rgb(46, 106, 174), Rgb(185, 75, 174), Rgb(141, 47, 159)},
      {Rgb(162, 156, 90), Rgb(40, 76, 158), Rgb(247, 82, 24), Rgb(41, 207, 16)},
  };
  const uint32_t indexes[3][4] = {{12, 54, 162, 148}, {113, 47, 153, 112}, {127, 48, 185, 60}};
  TTestDIB src(4, 3, 24);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 4; ++x) src.SetPixel(x, y, colors[y][x]);
  TTestDIB dst = Convert(ConvertToHalfTone, src.Infos);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(dst.Pixel(x, y), indexes[y][x]) << x << ", " << y;

  const uint32_t bwColors[3][5] = {
      {Rgb(34, 106, 225), Rgb(83, 56, 174), Rgb(26, 52, 0), Rgb(77, 51, 186), Rgb(13, 36, 106)},
      {Rgb(192, 76, 129), Rgb(177, 186, 242), Rgb(62, 59, 249), Rgb(238, 245, 247), Rgb(159, 43, 73)},
      {Rgb(52, 175, 135), Rgb(245, 82, 11), Rgb(105, 185, 75), Rgb(13, 152, 46), Rgb(133, 187, 85)},
  };
  const uint32_t bits[3][5] = {{0, 1, 0, 0, 0}, {1, 0, 1, 1, 0}, {0, 1, 0, 0, 1}};
  TTestDIB bwSrc(5, 3, 24);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 5; ++x) bwSrc.SetPixel(x, y, bwColors[y][x]);
  TTestDIB bw = Convert(ConvertToHalfToneBW, bwSrc.Infos);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 5; ++x) EXPECT_EQ(bw.Pixel(x, y), bits[y][x]) << x << ", " << y;
}

TEST(HalftoneBW, HalfGreyIsHalfWhite) {
  TTestDIB src = Uniform24(65, -40, Rgb(128, 128, 128));
  for (int i = 2; i < 256; ++i) src.SetColor(i, 1, 2, 3);
  TTestDIB dst = Convert(ConvertToHalfToneBW, src.Infos, true);
  const BITMAPINFOHEADER& head = dst.Infos.W3Head;
  EXPECT_EQ(head.biBitCount, 1);
  EXPECT_EQ(head.biClrUsed, 2u);
  EXPECT_EQ(head.biHeight, -40);
  EXPECT_EQ(dst.Infos.BitsSize, 40 * 12);
  EXPECT_EQ(ColorOf(dst.Infos.Colors()[0]), Rgb(0, 0, 0));
  EXPECT_EQ(ColorOf(dst.Infos.Colors()[1]), Rgb(255, 255, 255));
  EXPECT_EQ(dst.Pixel(0, 0), 1u);
  int white = 0;
  for (int32_t y = 0; y < 40; ++y) {
    for (int32_t x = 0; x < 65; ++x) white += static_cast<int>(dst.Pixel(x, y));
    EXPECT_EQ(dst.Row(y)[8] & 0x7F, 0) << "spare bits of row " << y;
  }
  EXPECT_NEAR(white / (65.0 * 40), 0.5, 0.02);
}

// Over smooth gradients the dithered colours keep the local average of the input.
TEST(Halftone, KeepsTheAverageOverAGradient) {
  const int32_t size = 128;
  TTestDIB src(size, size, 24);
  for (int32_t y = 0; y < size; ++y)
    for (int32_t x = 0; x < size; ++x) src.SetPixel(x, y, Rgb(2 * x, 255 - 2 * y, x + y));
  TTestDIB colour = Convert(ConvertToHalfTone, src.Infos);
  TTestDIB bw = Convert(ConvertToHalfToneBW, src.Infos);
  const int32_t tile = 16;
  for (int32_t ty = 0; ty < size; ty += tile) {
    for (int32_t tx = 0; tx < size; tx += tile) {
      double in[3] = {};
      double out[3] = {};
      double grey = 0;
      for (int32_t y = ty; y < ty + tile; ++y) {
        for (int32_t x = tx; x < tx + tile; ++x) {
          const uint32_t c = src.Pixel(x, y);
          const RGBQUAD& q = colour.Infos.Colors()[colour.Pixel(x, y)];
          const double inRgb[3] = {double(c & 0xFF), double(c >> 8 & 0xFF), double(c >> 16)};
          const double outRgb[3] = {double(q.rgbRed), double(q.rgbGreen), double(q.rgbBlue)};
          for (int i = 0; i < 3; ++i) {
            in[i] += inRgb[i];
            out[i] += outRgb[i];
          }
          grey += bw.Pixel(x, y) * 255.0;
        }
      }
      const double n = tile * tile;
      for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(out[i] / n, in[i] / n, 4.0) << "tile " << tx << ", " << ty << " channel " << i;
      EXPECT_NEAR(grey / n, (in[0] + in[1] + in[2]) / (3 * n), 9.0) << "tile " << tx << ", " << ty;
    }
  }
}

TEST(Halftone, RejectsCompressedAndOddBitCounts) {
  const TTestDIB rle = TTestDIB::Compressed(4, 2, 8, {4, 1, 0, 0, 4, 2, 0, 1});
  ExpectAssertion(ConvertToHalfTone, rle.Infos, "ConvertToHalfTone: Invalid DIB Format");
  ExpectAssertion(ConvertToHalfToneBW, rle.Infos, "ConvertToHalfToneBW: Invalid DIB Format");
  for (uint16_t bits : {2, 16, 32}) {
    TTestDIB odd(4, 2, 8, 256);
    odd.Infos.W3Head.biBitCount = bits;  // a block too small for such rows must not be read either
    ExpectAssertion(ConvertToHalfTone, odd.Infos, "ConvertToHalfTone: Invalid Bit Count");
    ExpectAssertion(ConvertToHalfToneBW, odd.Infos, "ConvertToHalfToneBW: Invalid Bit Count");
  }
}

}  // namespace
