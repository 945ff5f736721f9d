// Tests of the bit-depth expansions and the background masks, and of what every conversion routine
// refuses.

#include "DIBTestUtil.h"
#include "dib/KpColorReduce.h"
#include "dib/KpConvert.h"
#include "platform/FileMapping.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using TExpansion = void (*)(const TKpDIBInfos&, TKpDIBInfos&, bool);
using TMask = void (*)(const TKpDIBInfos&, TKpDIBInfos&, bool, uint32_t);

// Every byte random, row padding and spare bits included: none of it may reach a result. The header
// carries values that a conversion must keep.
TTestDIB RandomDIB(std::mt19937& random, int32_t width, int32_t height, uint16_t bitCount) {
  TTestDIB dib(width, height, bitCount, DefaultClrUsed(bitCount));
  for (int32_t i = 0; i < dib.Infos.BitsSize; ++i) dib.Infos.pBits[i] = static_cast<uint8_t>(random());
  for (int i = 0; i < 256; ++i) dib.SetColor(i, random() & 0xFF, random() & 0xFF, random() & 0xFF);
  dib.Infos.W3Head.biXPelsPerMeter = 1234;
  dib.Infos.W3Head.biYPelsPerMeter = 4321;
  dib.Infos.W3Head.biClrImportant = 7;
  dib.Infos.W3Head.biSizeImage = 999;
  return dib;
}

uint32_t ColorOf(const TKpDIBInfos& infos, uint32_t index) {
  const RGBQUAD& c = infos.Colors()[index];
  return static_cast<uint32_t>(c.rgbBlue) << 16 | c.rgbGreen << 8 | c.rgbRed;
}

// The bits of every row after its last pixel are zero.
bool PaddingIsZero(TTestDIB& dib) {
  const int64_t usedBits = static_cast<int64_t>(dib.Width()) * dib.Infos.W3Head.biBitCount;
  for (int32_t y = 0; y < dib.Height(); ++y)
    for (int64_t bit = usedBits; bit < dib.Stride() * 8; ++bit)
      if (dib.Row(y)[bit / 8] & (0x80 >> (bit % 8))) return false;
  return true;
}

// The header of a result: Src's, with the new bit count and no compression.
void ExpectResultHeader(const TKpDIBInfos& src, const TKpDIBInfos& dst, uint16_t bitCount) {
  EXPECT_EQ(dst.W3Head.biSize, 40u);
  EXPECT_EQ(dst.W3Head.biWidth, src.W3Head.biWidth);
  EXPECT_EQ(dst.W3Head.biHeight, src.W3Head.biHeight);
  EXPECT_EQ(dst.W3Head.biBitCount, bitCount);
  EXPECT_EQ(dst.W3Head.biCompression, BI_RGB);
  EXPECT_EQ(dst.W3Head.biSizeImage, 0u);
  EXPECT_EQ(dst.W3Head.biXPelsPerMeter, src.W3Head.biXPelsPerMeter);
  EXPECT_EQ(dst.W3Head.biYPelsPerMeter, src.W3Head.biYPelsPerMeter);
  EXPECT_EQ(dst.W3Head.biClrImportant, src.W3Head.biClrImportant);
  EXPECT_EQ(dst.BitsSize, AbsHeight(src) * DIBRowBytes(src.W3Head.biWidth, bitCount));
}

struct TExpansionCase {
  const char* Name;
  TExpansion Routine;
  uint16_t SrcBits;
  uint16_t DstBits;
};

const TExpansionCase kExpansions[] = {
    {"1 -> 4", Convert1BitRGBTo4BitRGB, 1, 4},       {"1 -> 8", Convert1BitRGBTo8BitRGB, 1, 8},
    {"4 -> 8", Convert4BitRGBTo8BitRGB, 4, 8},       {"1 -> 24", Convert1BitRGBToTrueColor, 1, 24},
    {"4 -> 24", Convert4BitRGBToTrueColor, 4, 24},   {"8 -> 24", Convert8BitRGBToTrueColor, 8, 24},
};

TEST(ConvertExpand, KeepsEveryPixelAndTheColourTable) {
  std::mt19937 random(11);
  for (const TExpansionCase& c : kExpansions)
    for (int32_t width : {1, 7, 8, 9, 15, 16, 17, 33})
      for (int32_t height : {3, -2}) {  // -2: top-down, whose row order must stay
        SCOPED_TRACE(std::string(c.Name) + " width " + std::to_string(width) + " height " + std::to_string(height));
        TTestDIB src = RandomDIB(random, width, height, c.SrcBits);
        TKpDIBInfos dstInfos;
        c.Routine(src.Infos, dstInfos, false);
        TTestDIB dst = TTestDIB::Adopt(dstInfos);
        ExpectResultHeader(src.Infos, dst.Infos, c.DstBits);
        EXPECT_EQ(dst.Infos.W3Head.biClrUsed, src.Infos.W3Head.biClrUsed);
        EXPECT_EQ(std::memcmp(dst.Infos.Colors(), src.Infos.Colors(), 256 * sizeof(RGBQUAD)), 0);
        for (int32_t y = 0; y < src.Height(); ++y)
          for (int32_t x = 0; x < width; ++x) {
            const uint32_t index = src.Pixel(x, y);
            ASSERT_EQ(dst.Pixel(x, y), c.DstBits == 24 ? ColorOf(src.Infos, index) : index) << x << "," << y;
          }
        EXPECT_TRUE(PaddingIsZero(dst));
      }
}

TEST(ConvertExpand, NinePixelsOf1BitFillFiveOfEightBytes) {
  TTestDIB src(9, 1, 1, 2);
  const uint32_t pixels[9] = {1, 0, 1, 1, 0, 0, 1, 0, 1};
  for (int x = 0; x < 9; ++x) src.SetPixel(x, 0, pixels[x]);
  src.Row(0)[1] |= 0x7F;  // spare bits after the ninth pixel
  TKpDIBInfos dst;
  Convert1BitRGBTo4BitRGB(src.Infos, dst, false);
  TTestDIB result = TTestDIB::Adopt(dst);
  EXPECT_EQ(result.Bytes(), (std::vector<uint8_t>{0x10, 0x11, 0x00, 0x10, 0x10, 0, 0, 0}));
}

TEST(ConvertExpand, ResultInFileMappingWhenAsked) {
  std::mt19937 random(5);
  TTestDIB src = RandomDIB(random, 13, 4, 8);
  const size_t viewsBefore = LiveFileMappingViews();
  TKpDIBInfos onHeap, mapped;
  Convert8BitRGBToTrueColor(src.Infos, onHeap, false);
  Convert8BitRGBToTrueColor(src.Infos, mapped, true);
  TTestDIB heapResult = TTestDIB::Adopt(onHeap);
  {
    TTestDIB mappedResult = TTestDIB::Adopt(mapped, true);
    EXPECT_NE(mappedResult.Infos.hFile, 0u);
    EXPECT_EQ(mappedResult.Bytes(), heapResult.Bytes());
    EXPECT_EQ(LiveFileMappingViews(), viewsBefore + 1);
  }
  EXPECT_EQ(LiveFileMappingViews(), viewsBefore);
}

struct TMaskCase {
  const char* Name;
  TMask Routine;
  uint16_t SrcBits;
};

const TMaskCase kMasks[] = {
    {"24 -> 1", ConvertTrueColorTo1BitRGB, 24},
    {"8 -> 1", Convert8BitTo1BitRGB, 8},
    {"4 -> 1", Convert4BitRGBTo1BitRGB, 4},
};

TEST(ConvertMask, BackgroundPixelsTurnWhiteAllOthersBlack) {
  std::mt19937 random(3);
  const uint32_t background = 0x00336699;  // blue 0x33, green 0x66, red 0x99
  for (const TMaskCase& c : kMasks)
    for (int32_t width : {1, 8, 9, 21})
      for (int32_t height : {4, -3}) {
        SCOPED_TRACE(std::string(c.Name) + " width " + std::to_string(width) + " height " + std::to_string(height));
        TTestDIB src = RandomDIB(random, width, height, c.SrcBits);
        // A few colours, the background among them; the colours that differ from it in one byte, or
        // that are it with red and blue exchanged, must not count.
        const uint32_t colors[] = {background, 0x00336698, 0x00336799, 0x00346699, 0x00996633, 0x00FFFFFF};
        if (c.SrcBits == 24) {
          for (int32_t y = 0; y < src.Height(); ++y)
            for (int32_t x = 0; x < width; ++x) src.SetPixel(x, y, colors[random() % 6]);
        } else {
          for (int i = 0; i < 256; ++i) {
            const uint32_t color = colors[random() % 6];
            src.SetColor(i, color & 0xFF, color >> 8 & 0xFF, color >> 16);
          }
        }
        TKpDIBInfos dstInfos;
        c.Routine(src.Infos, dstInfos, false, background);
        TTestDIB dst = TTestDIB::Adopt(dstInfos);
        ExpectResultHeader(src.Infos, dst.Infos, 1);
        EXPECT_EQ(dst.Infos.W3Head.biClrUsed, 2u);
        EXPECT_EQ(ColorOf(dst.Infos, 0), 0x000000u);
        EXPECT_EQ(ColorOf(dst.Infos, 1), 0xFFFFFFu);
        for (int32_t y = 0; y < src.Height(); ++y)
          for (int32_t x = 0; x < width; ++x) {
            const uint32_t pixel = src.Pixel(x, y);
            const uint32_t color = c.SrcBits == 24 ? pixel : ColorOf(src.Infos, pixel);
            ASSERT_EQ(dst.Pixel(x, y), color == background ? 1u : 0u) << x << "," << y;
          }
        EXPECT_TRUE(PaddingIsZero(dst));
      }
}

TEST(ConvertMask, OnlyExactWhiteIsWhite) {
  TTestDIB src(5, 1, 24);
  const uint32_t pixels[5] = {0xFFFFFF, 0xFFFFFE, 0xFFFEFF, 0xFEFFFF, 0x000000};  // 0xFFFFFE is (254, 255, 255)
  for (int x = 0; x < 5; ++x) src.SetPixel(x, 0, pixels[x]);
  TKpDIBInfos dst;
  ConvertTrueColorTo1BitRGB(src.Infos, dst, false, 0x00FFFFFF);
  TTestDIB result = TTestDIB::Adopt(dst);
  EXPECT_EQ(result.Bytes(), (std::vector<uint8_t>{0x80, 0, 0, 0}));
}

TEST(ConvertMask, ColourTableEntriesBeyondClrUsedStillCount) {
  TTestDIB src(3, 1, 8, 2);
  src.SetColor(200, 1, 2, 3);
  src.SetPixel(0, 0, 0);
  src.SetPixel(1, 0, 200);
  src.SetPixel(2, 0, 1);
  TKpDIBInfos dst;
  Convert8BitTo1BitRGB(src.Infos, dst, false, 0x00030201);
  TTestDIB result = TTestDIB::Adopt(dst);
  EXPECT_EQ(result.Pixel(1, 0), 1u);
  EXPECT_EQ(result.Pixel(0, 0) + result.Pixel(2, 0), 0u);
}

// Kinds of input for the table of refusals. Each is a 4 x 3 DIB with a full pixel block.
struct TInputKind {
  const char* Name;
  uint16_t BitCount;
  uint32_t Compression;
};

const TInputKind kKinds[] = {
    {"1 bit", 1, BI_RGB},   {"1 bit marked RLE8", 1, BI_RLE8}, {"4 bit", 4, BI_RGB},
    {"RLE4", 4, BI_RLE4},   {"8 bit", 8, BI_RGB},              {"RLE8", 8, BI_RLE8},
    {"24 bit", 24, BI_RGB}, {"24 bit bit fields", 24, BI_BITFIELDS}, {"32 bit", 32, BI_RGB},
};

TTestDIB InputOfKind(const TInputKind& kind, bool useFMO = false) {
  TTestDIB dib(4, 3, kind.BitCount, DefaultClrUsed(kind.BitCount), useFMO);
  dib.Infos.W3Head.biCompression = kind.Compression;
  return dib;
}

using TRoutine = std::function<void(const TKpDIBInfos&, TKpDIBInfos&, bool)>;

struct TRoutineCase {
  const char* Name;
  TRoutine Routine;
  std::vector<std::string> Accepts;  // names of input kinds
  const char* Message;
};

std::vector<TRoutineCase> AllRoutines() {
  const TKpProgressCallback progress = [] {};
  const auto withProgress = [progress](auto routine) {
    return [routine, progress](const TKpDIBInfos& s, TKpDIBInfos& d, bool f) { routine(s, d, f, progress); };
  };
  const auto withBackground = [](auto routine) {
    return [routine](const TKpDIBInfos& s, TKpDIBInfos& d, bool f) { routine(s, d, f, 0x00FFFFFF); };
  };
  const std::vector<std::string> any24 = {"24 bit", "24 bit bit fields"};
  return {
      {"Convert1BitRGBTo4BitRGB", Convert1BitRGBTo4BitRGB, {"1 bit"},
       "Convert1BitRGBTo4BitRGB: Invalid Bitcount & Compression Combination"},
      {"Convert1BitRGBTo8BitRGB", Convert1BitRGBTo8BitRGB, {"1 bit"},
       "Convert1BitRGBTo8BitRGB: Invalid Bitcount & Compression Combination"},
      {"Convert4BitRGBTo8BitRGB", Convert4BitRGBTo8BitRGB, {"4 bit"},
       "Convert4BitRGBTo8BitRGB: Invalid Bitcount & Compression Combination"},
      {"Convert1BitRGBToTrueColor", Convert1BitRGBToTrueColor, {"1 bit"},
       "Convert1BitRGBToTrueColor: Invalid Bitcount & Compression Combination"},
      {"Convert4BitRGBToTrueColor", Convert4BitRGBToTrueColor, {"4 bit"},
       "Convert4BitRGBToTrueColor: Invalid Bitcount & Compression Combination"},
      {"Convert8BitRGBToTrueColor", Convert8BitRGBToTrueColor, {"8 bit"},
       "Convert8BitRGBToTrueColor: Invalid Bitcount & Compression Combination"},
      {"ConvertTrueColorTo8BitRGBLow", withProgress(ConvertTrueColorTo8BitRGBLow), any24,
       "ConvertTrueColorTo8BitRGBLow: Invalid Bitcount"},
      {"ConvertTrueColorTo4BitRGBLow", withProgress(ConvertTrueColorTo4BitRGBLow), any24,
       "ConvertTrueColorTo4BitRGBLow: Invalid Bitcount"},
      {"ConvertTrueColorTo8BitRGBHigh", withProgress(ConvertTrueColorTo8BitRGBHigh), any24,
       "ConvertTrueColorTo8BitRGBHigh: Invalid Bitcount"},
      {"ConvertTrueColorTo4BitRGBHigh", withProgress(ConvertTrueColorTo4BitRGBHigh), any24,
       "ConvertTrueColorTo4BitRGBHigh: Invalid Bitcount"},
      {"Convert8BitRGBTo4BitRGB", withProgress(Convert8BitRGBTo4BitRGB), {"8 bit"},
       "Convert8BitRGBTo4BitRGB: Invalid Bitcount or Compression"},
      {"ConvertTrueColorTo1BitRGB", withBackground(ConvertTrueColorTo1BitRGB), any24,
       "ConvertTrueColorTo1BitRGB: Invalid Bitcount"},
      {"Convert8BitTo1BitRGB", withBackground(Convert8BitTo1BitRGB), {"8 bit"},
       "Convert8BitTo1BitRGB: Invalid Bitcount or Compression"},
      {"Convert4BitRGBTo1BitRGB", withBackground(Convert4BitRGBTo1BitRGB), {"4 bit"},
       "Convert4BitRGBTo1BitRGB: Invalid Bitcount"},
  };
}

bool Accepts(const TRoutineCase& routine, const TInputKind& kind) {
  for (const std::string& name : routine.Accepts)
    if (name == kind.Name) return true;
  return false;
}

TEST(ConvertRefusal, EveryRoutineRefusesOtherInputsBeforeAllocating) {
  for (const TRoutineCase& routine : AllRoutines())
    for (const TInputKind& kind : kKinds) {
      SCOPED_TRACE(std::string(routine.Name) + " on " + kind.Name);
      const TTestDIB src = InputOfKind(kind, true);
      const size_t viewsBefore = LiveFileMappingViews();
      TKpDIBInfos dst;
      if (Accepts(routine, kind)) {
        routine.Routine(src.Infos, dst, true);
        TTestDIB result = TTestDIB::Adopt(dst, true);
        EXPECT_EQ(LiveFileMappingViews(), viewsBefore + 1);
        continue;
      }
      try {
        routine.Routine(src.Infos, dst, true);
        ADD_FAILURE() << "accepted";
      } catch (const EKpDIBBadDIBType& e) {
        EXPECT_EQ(e.Message(), routine.Message);
      }
      EXPECT_EQ(dst.pBits, nullptr);
      EXPECT_EQ(LiveFileMappingViews(), viewsBefore);
    }
}

// A header that promises more rows than the block holds is refused before a byte is read.
TEST(ConvertRefusal, PixelBlockShorterThanItsRows) {
  for (const TRoutineCase& routine : AllRoutines())
    for (const TInputKind& kind : kKinds) {
      if (!Accepts(routine, kind)) continue;
      SCOPED_TRACE(std::string(routine.Name) + " on " + kind.Name);
      TTestDIB src = InputOfKind(kind);
      src.Infos.BitsSize -= 1;
      TKpDIBInfos dst;
      try {
        routine.Routine(src.Infos, dst, false);
        ADD_FAILURE() << "accepted";
      } catch (const EKpDIBInvalidDIB& e) {
        EXPECT_EQ(e.Message(), std::string(routine.Name) + ": Pixel Block Too Small");
      }
      EXPECT_EQ(dst.pBits, nullptr);
      src.Infos.BitsSize += 1;
    }
}

}  // namespace
