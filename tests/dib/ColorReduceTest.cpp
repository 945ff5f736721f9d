// Tests of the colour reductions and their palette builders. The builders are checked against a plain
// rendering of the division: extended-precision sums, means and comparisons, item by item.

#include "DIBTestUtil.h"
#include "dib/KpColorReduce.h"
#include "dib/KpConvert.h"
#include "platform/FileMapping.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using TReduction = void (*)(const TKpDIBInfos&, TKpDIBInfos&, bool, const TKpProgressCallback&);

uint8_t Red(uint32_t pixel) { return pixel & 0xFF; }
uint8_t Green(uint32_t pixel) { return pixel >> 8 & 0xFF; }
uint8_t Blue(uint32_t pixel) { return pixel >> 16 & 0xFF; }
uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return b << 16 | g << 8 | r; }
uint32_t ColorOf(const RGBQUAD& c) { return Rgb(c.rgbRed, c.rgbGreen, c.rgbBlue); }
int CellOf(uint32_t pixel) { return (Red(pixel) >> 3) * 2048 + (Green(pixel) >> 2) * 32 + (Blue(pixel) >> 3); }

// ---- The reference division ----

struct TRefItem {
  int Id;
  long double Weight;
  int Value[3];  // red, green, blue
};

struct TRefResult {
  std::vector<RGBQUAD> Palette;
  std::map<int, int> LeafOf;  // item id -> palette index
  int Progress = 0;
  std::unique_ptr<TDivideTree> Tree;  // for the pixel division only
};

class TRefDivision {
public:
  TRefDivision(int maxDepth, TRefResult& result) : FMaxDepth(maxDepth), FResult(result) {}

  void Divide(const std::vector<TRefItem>& items, int depth, int node) {
    if (items.empty()) {
      if (depth == FMaxDepth) {
        ++FResult.Progress;
      } else {
        Divide(items, depth + 1, node);
        Divide(items, depth + 1, node);
      }
      return;
    }
    long double n = 0, sum[3] = {0, 0, 0}, squares[3] = {0, 0, 0};
    for (const TRefItem& item : items) {
      n += item.Weight;
      for (int c = 0; c < 3; ++c) {
        sum[c] += item.Weight * item.Value[c];
        squares[c] += item.Weight * item.Value[c] * item.Value[c];
      }
    }
    long double mean[3], variance[3];
    for (int c = 0; c < 3; ++c) {
      mean[c] = sum[c] / n;
      variance[c] = squares[c] / n - mean[c] * mean[c];
    }
    TDivideTree* tree = FResult.Tree.get();
    if (depth == FMaxDepth) {
      const int index = static_cast<int>(FResult.Palette.size());
      FResult.Palette.push_back(RGBQUAD{static_cast<uint8_t>(std::nearbyint(mean[2])),
                                        static_cast<uint8_t>(std::nearbyint(mean[1])),
                                        static_cast<uint8_t>(std::nearbyint(mean[0])), 0});
      for (const TRefItem& item : items) FResult.LeafOf[item.Id] = index;
      if (tree) tree->Nodes[node] = TDivideNode{kDivideLeaf, 0, static_cast<uint8_t>(index), 0, 0};
      ++FResult.Progress;
      return;
    }
    int channel;
    if (3 * variance[0] >= 4 * variance[1] && 3 * variance[0] >= 2 * variance[2])
      channel = 0;
    else if (4 * variance[1] >= 3 * variance[0] && 4 * variance[1] >= 2 * variance[2])
      channel = 1;
    else
      channel = 2;
    std::vector<TRefItem> low, high;
    for (const TRefItem& item : items) (item.Value[channel] <= mean[channel] ? low : high).push_back(item);
    if (!tree) {
      Divide(high, depth + 1, 0);
      Divide(low, depth + 1, 0);
      return;
    }
    tree->Nodes[node] = TDivideNode{static_cast<uint8_t>(channel), mean[channel], 0, 0, 0};
    const int h = tree->NodeCount++;
    tree->Nodes[node].HighChild = h;
    Divide(high, depth + 1, h);
    const int l = tree->NodeCount++;
    tree->Nodes[node].LowChild = l;
    Divide(low, depth + 1, l);
  }

private:
  int FMaxDepth;
  TRefResult& FResult;
};

// Pixels of a 24-bit or 8-bit DIB in memory order.
std::vector<uint32_t> Pixels(TTestDIB& dib) {
  std::vector<uint32_t> pixels;
  for (int32_t y = 0; y < dib.Height(); ++y)
    for (int32_t x = 0; x < dib.Width(); ++x) pixels.push_back(dib.Pixel(x, y));
  return pixels;
}

TRefResult RefNormal(TTestDIB& src, int maxDepth) {
  struct TCell {
    int64_t R = 0, G = 0, B = 0, Count = 0;
  };
  std::vector<TCell> cells(65536);
  for (uint32_t pixel : Pixels(src)) {
    TCell& cell = cells[CellOf(pixel)];
    cell.R += Red(pixel) % 8;
    cell.G += Green(pixel) % 4;
    cell.B += Blue(pixel) % 8;
    ++cell.Count;
  }
  std::vector<TRefItem> items;
  for (int k = 0; k < 65536; ++k) {
    const TCell& c = cells[k];
    if (c.Count == 0) continue;
    items.push_back(TRefItem{k, static_cast<long double>(c.Count),
                             {static_cast<int>(c.R / c.Count) + (k >> 11) * 8,
                              static_cast<int>(c.G / c.Count) + ((k >> 5) % 64) * 4,
                              static_cast<int>(c.B / c.Count) + (k % 32) * 8}});
  }
  TRefResult result;
  TRefDivision(maxDepth, result).Divide(items, 0, 0);
  return result;
}

TRefResult RefFine(TTestDIB& src, int maxDepth) {
  std::vector<TRefItem> items;
  for (uint32_t pixel : Pixels(src))
    items.push_back(TRefItem{static_cast<int>(items.size()), 1, {Red(pixel), Green(pixel), Blue(pixel)}});
  TRefResult result;
  result.Tree = std::make_unique<TDivideTree>();
  result.Tree->NodeCount = 1;
  TRefDivision(maxDepth, result).Divide(items, 0, 0);
  return result;
}

TRefResult RefFrom8Bit(TTestDIB& src, int maxDepth) {
  std::vector<int64_t> counts(256);
  for (uint32_t index : Pixels(src)) ++counts[index];
  std::vector<TRefItem> items;
  for (int j = 0; j < 256; ++j) {
    const RGBQUAD& c = src.Infos.Colors()[j];
    if (counts[j]) items.push_back(TRefItem{j, static_cast<long double>(counts[j]), {c.rgbRed, c.rgbGreen, c.rgbBlue}});
  }
  TRefResult result;
  TRefDivision(maxDepth, result).Divide(items, 0, 0);
  return result;
}

// ---- Test images ----

// Images whose colours make ties, means on whole and half values, empty halves and colliding cells.
enum class TImageKind { Noise, FewLevels, Gray, OneChannel, Clusters, Dominant };
const TImageKind kImageKinds[] = {TImageKind::Noise,      TImageKind::FewLevels, TImageKind::Gray,
                                  TImageKind::OneChannel, TImageKind::Clusters,  TImageKind::Dominant};

uint32_t RandomColor(std::mt19937& random, TImageKind kind, const std::vector<uint32_t>& centres) {
  static const uint8_t kLevels[] = {0, 1, 2, 3, 127, 128, 129, 254, 255};
  const auto level = [&] { return kLevels[random() % 9]; };
  switch (kind) {
    case TImageKind::Noise: return random() & 0xFFFFFF;
    case TImageKind::FewLevels: return Rgb(level(), level(), level());
    case TImageKind::Gray: {
      const uint8_t v = level();
      return Rgb(v, v, v);
    }
    case TImageKind::OneChannel: return Rgb(random() % 7 * 40, 100, 100);
    case TImageKind::Clusters: {
      const uint32_t c = centres[random() % centres.size()];
      const auto near = [&](int v) { return static_cast<uint32_t>(std::clamp(v + static_cast<int>(random() % 9) - 4, 0, 255)); };
      return Rgb(near(Red(c)), near(Green(c)), near(Blue(c)));
    }
    case TImageKind::Dominant: return random() % 10 ? 0x123456 : random() & 0xFFFFFF;
  }
  return 0;
}

TTestDIB RandomImage(std::mt19937& random, TImageKind kind, int32_t width, int32_t height) {
  std::vector<uint32_t> centres(5);
  for (uint32_t& c : centres) c = random() & 0xFFFFFF;
  TTestDIB dib(width, height, 24);
  for (int32_t y = 0; y < dib.Height(); ++y)
    for (int32_t x = 0; x < width; ++x) dib.SetPixel(x, y, RandomColor(random, kind, centres));
  return dib;
}

TTestDIB Reduce(TReduction reduction, const TKpDIBInfos& src, int* progress = nullptr) {
  int calls = 0;
  TKpDIBInfos dst;
  reduction(src, dst, false, [&calls] { ++calls; });
  if (progress) *progress = calls;
  return TTestDIB::Adopt(dst);
}

TTestDIB Expand(void (*expansion)(const TKpDIBInfos&, TKpDIBInfos&, bool), const TKpDIBInfos& src) {
  TKpDIBInfos dst;
  expansion(src, dst, false);
  return TTestDIB::Adopt(dst);
}

void ExpectPalette(const RGBQUAD* palette, int count, const std::vector<RGBQUAD>& expected) {
  ASSERT_EQ(count, static_cast<int>(expected.size()));
  for (int i = 0; i < count; ++i) EXPECT_EQ(ColorOf(palette[i]), ColorOf(expected[i])) << "entry " << i;
}

// A reduction's result: header, the palette as its colour table, and every pixel's index.
void ExpectReduced(TTestDIB& result, const TKpDIBInfos& src, uint16_t bits, const std::vector<RGBQUAD>& palette,
                   const std::vector<int>& indexes) {
  EXPECT_EQ(result.Infos.W3Head.biBitCount, bits);
  EXPECT_EQ(result.Infos.W3Head.biCompression, BI_RGB);
  EXPECT_EQ(result.Infos.W3Head.biHeight, src.W3Head.biHeight);
  EXPECT_EQ(result.Infos.W3Head.biClrUsed, palette.size());
  ExpectPalette(result.Infos.Colors(), static_cast<int>(palette.size()), palette);
  const std::vector<uint32_t> pixels = Pixels(result);
  ASSERT_EQ(pixels.size(), indexes.size());
  for (size_t i = 0; i < pixels.size(); ++i) ASSERT_EQ(pixels[i], static_cast<uint32_t>(indexes[i])) << "pixel " << i;
  const int64_t usedBytes = (static_cast<int64_t>(result.Width()) * bits + 7) / 8;
  for (int32_t y = 0; y < result.Height(); ++y) {
    if (bits == 4 && result.Width() % 2) {
      EXPECT_EQ(result.Row(y)[usedBytes - 1] & 0x0F, 0);
    }
    for (int64_t i = usedBytes; i < result.Stride(); ++i) EXPECT_EQ(result.Row(y)[i], 0);
  }
}

// ---- Against the reference ----

TEST(ColorReduceReference, NormalBuilderAndConversions) {
  std::mt19937 random(1);
  for (TImageKind kind : kImageKinds)
    for (int round = 0; round < 6; ++round) {
      TTestDIB src = RandomImage(random, kind, 37 + round * 13, round % 2 ? -29 : 23);
      for (int depth : {8, 4, 1}) {
        SCOPED_TRACE("kind " + std::to_string(static_cast<int>(kind)) + " round " + std::to_string(round) + " depth " +
                     std::to_string(depth));
        const TRefResult ref = RefNormal(src, depth);
        RGBQUAD palette[256];
        std::vector<uint8_t> table(65536, 0xAB);
        int calls = 0;
        const int count = MakePaletteNormal(src.Infos, depth, [&calls] { ++calls; }, palette, table.data());
        ExpectPalette(palette, count, ref.Palette);
        EXPECT_EQ(calls, 1 << depth);
        for (int k = 0; k < 65536; ++k) {
          const auto leaf = ref.LeafOf.find(k);
          ASSERT_EQ(table[k], leaf == ref.LeafOf.end() ? 0 : leaf->second) << "cell " << k;
        }
        if (depth == 1) continue;
        std::vector<int> indexes;
        for (uint32_t pixel : Pixels(src)) indexes.push_back(ref.LeafOf.at(CellOf(pixel)));
        TTestDIB result = Reduce(depth == 8 ? ConvertTrueColorTo8BitRGBLow : ConvertTrueColorTo4BitRGBLow, src.Infos);
        ExpectReduced(result, src.Infos, static_cast<uint16_t>(depth), ref.Palette, indexes);
      }
    }
}

TEST(ColorReduceReference, FineBuilderTreeAndConversions) {
  std::mt19937 random(2);
  for (TImageKind kind : kImageKinds)
    for (int round = 0; round < 6; ++round) {
      // The larger images split over several chunks of the partition.
      TTestDIB src = RandomImage(random, kind, round < 4 ? 37 + round * 13 : 211, round % 2 ? -29 : 23);
      for (int depth : {8, 4, 1}) {
        SCOPED_TRACE("kind " + std::to_string(static_cast<int>(kind)) + " round " + std::to_string(round) + " depth " +
                     std::to_string(depth));
        const TRefResult ref = RefFine(src, depth);
        RGBQUAD palette[256];
        auto tree = std::make_unique<TDivideTree>();
        int calls = 0;
        const int count = MakePaletteFine(src.Infos, depth, [&calls] { ++calls; }, palette, *tree);
        ExpectPalette(palette, count, ref.Palette);
        EXPECT_EQ(calls, 1 << depth);
        ASSERT_EQ(tree->NodeCount, ref.Tree->NodeCount);
        for (int i = 0; i < tree->NodeCount; ++i) {
          const TDivideNode& a = tree->Nodes[i];
          const TDivideNode& b = ref.Tree->Nodes[i];
          ASSERT_TRUE(a.DivideID == b.DivideID && a.Threshold == b.Threshold && a.PalIndex == b.PalIndex &&
                      a.LowChild == b.LowChild && a.HighChild == b.HighChild)
              << "node " << i;
        }
        if (depth == 1) continue;
        std::vector<int> indexes;
        for (size_t i = 0; i < ref.LeafOf.size(); ++i) indexes.push_back(ref.LeafOf.at(static_cast<int>(i)));
        TTestDIB result = Reduce(depth == 8 ? ConvertTrueColorTo8BitRGBHigh : ConvertTrueColorTo4BitRGBHigh, src.Infos);
        ExpectReduced(result, src.Infos, static_cast<uint16_t>(depth), ref.Palette, indexes);
      }
    }
}

TEST(ColorReduceReference, From8BitBuilderAndConversion) {
  std::mt19937 random(3);
  for (int round = 0; round < 30; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    TTestDIB src(19 + round, round % 2 ? -17 : 13, 8, 256);
    std::vector<uint32_t> colors(1 + random() % 40);  // repeated colours included
    for (uint32_t& c : colors) c = round % 3 ? random() & 0xFFFFFF : Rgb(random() % 3 * 127, 0, random() % 2 * 255);
    for (int i = 0; i < 256; ++i) {
      const uint32_t c = colors[random() % colors.size()];
      src.SetColor(i, Red(c), Green(c), Blue(c));
    }
    const int usedIndexes = 1 + static_cast<int>(random() % 256);
    for (int32_t y = 0; y < src.Height(); ++y)
      for (int32_t x = 0; x < src.Width(); ++x) src.SetPixel(x, y, random() % usedIndexes);
    const TRefResult ref = RefFrom8Bit(src, 4);
    RGBQUAD palette[16];
    uint8_t map[256];
    int calls = 0;
    const int count = MakePaletteFrom8Bit(src.Infos, 4, [&calls] { ++calls; }, palette, map);
    ExpectPalette(palette, count, ref.Palette);
    EXPECT_EQ(calls, 16);
    for (int j = 0; j < 256; ++j) {
      const auto leaf = ref.LeafOf.find(j);
      ASSERT_EQ(map[j], leaf == ref.LeafOf.end() ? 0 : leaf->second) << "index " << j;
    }
    std::vector<int> indexes;
    for (uint32_t index : Pixels(src)) indexes.push_back(ref.LeafOf.at(static_cast<int>(index)));
    TTestDIB result = Reduce(Convert8BitRGBTo4BitRGB, src.Infos);
    ExpectReduced(result, src.Infos, 4, ref.Palette, indexes);
  }
}

// ---- Edge cases of the division ----

struct TReductionCase {
  const char* Name;
  TReduction Routine;
  int Depth;
};

const TReductionCase kTrueColorReductions[] = {
    {"8 bit Low", ConvertTrueColorTo8BitRGBLow, 8},
    {"4 bit Low", ConvertTrueColorTo4BitRGBLow, 4},
    {"8 bit High", ConvertTrueColorTo8BitRGBHigh, 8},
    {"4 bit High", ConvertTrueColorTo4BitRGBHigh, 4},
};

TEST(ColorReduceEdges, OneColourGivesOneEntryAndStillAllProgressSteps) {
  for (const TReductionCase& c : kTrueColorReductions) {
    SCOPED_TRACE(c.Name);
    TTestDIB src(7, 5, 24);
    for (int32_t y = 0; y < 5; ++y)
      for (int32_t x = 0; x < 7; ++x) src.SetPixel(x, y, Rgb(200, 100, 50));
    int progress = 0;
    TTestDIB result = Reduce(c.Routine, src.Infos, &progress);
    EXPECT_EQ(progress, 1 << c.Depth);
    ExpectReduced(result, src.Infos, static_cast<uint16_t>(c.Depth), {RGBQUAD{50, 100, 200, 0}}, std::vector<int>(35, 0));
  }
  TTestDIB src(7, 5, 8, 256);
  src.SetColor(9, 1, 2, 3);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 7; ++x) src.SetPixel(x, y, 9);
  int progress = 0;
  TTestDIB result = Reduce(Convert8BitRGBTo4BitRGB, src.Infos, &progress);
  EXPECT_EQ(progress, 16);
  ExpectReduced(result, src.Infos, 4, {RGBQUAD{3, 2, 1, 0}}, std::vector<int>(35, 0));
}

TEST(ColorReduceEdges, CellsMergeColoursUnderNormalButNotUnderFine) {
  TTestDIB src(2, 1, 24);
  src.SetPixel(0, 0, Rgb(8, 0, 0));
  src.SetPixel(1, 0, Rgb(15, 0, 0));  // the same cell: red 8 .. 15
  TTestDIB normal = Reduce(ConvertTrueColorTo8BitRGBLow, src.Infos);
  ExpectReduced(normal, src.Infos, 8, {RGBQUAD{0, 0, 11, 0}}, {0, 0});  // 8 + (0 + 7) div 2
  TTestDIB fine = Reduce(ConvertTrueColorTo8BitRGBHigh, src.Infos);
  ExpectReduced(fine, src.Infos, 8, {RGBQUAD{0, 0, 15, 0}, RGBQUAD{0, 0, 8, 0}}, {1, 0});
}

// With one level, the two halves show where a value equal to the mean went: into the lower one.
TEST(ColorReduceEdges, ValueEqualToTheMeanGoesToTheLowerHalf) {
  RGBQUAD palette[2];
  std::vector<uint8_t> table(65536);
  TTestDIB cells(3, 1, 24);
  for (int x = 0; x < 3; ++x) cells.SetPixel(x, 0, Rgb(40 * x, 0, 0));
  ASSERT_EQ(MakePaletteNormal(cells.Infos, 1, [] {}, palette, table.data()), 2);
  EXPECT_EQ(ColorOf(palette[0]), Rgb(80, 0, 0));
  EXPECT_EQ(ColorOf(palette[1]), Rgb(20, 0, 0));

  TTestDIB pixels(3, 1, 24);
  for (int x = 0; x < 3; ++x) pixels.SetPixel(x, 0, Rgb(0, 5 * x, 0));
  TDivideTree tree;
  ASSERT_EQ(MakePaletteFine(pixels.Infos, 1, [] {}, palette, tree), 2);
  EXPECT_EQ(ColorOf(palette[0]), Rgb(0, 10, 0));
  EXPECT_EQ(ColorOf(palette[1]), Rgb(0, 2, 0));  // mean 2.5, rounded to even
  EXPECT_EQ(tree.Nodes[0].DivideID, kDivideGreen);
  EXPECT_EQ(tree.Nodes[0].Threshold, 5.0L);

  TTestDIB indexed(3, 1, 8, 3);
  for (int x = 0; x < 3; ++x) {
    indexed.SetColor(x, 0, 0, static_cast<uint8_t>(40 * x));
    indexed.SetPixel(x, 0, x);
  }
  uint8_t map[256];
  ASSERT_EQ(MakePaletteFrom8Bit(indexed.Infos, 1, [] {}, palette, map), 2);
  EXPECT_EQ(ColorOf(palette[0]), Rgb(0, 0, 80));
  EXPECT_EQ(ColorOf(palette[1]), Rgb(0, 0, 20));
  EXPECT_EQ(map[1], 1);
}

TEST(ColorReduceEdges, MeansRoundHalfToEven) {
  struct TCase {
    int A, B, Expected;
  };
  for (const TCase& c : {TCase{0, 1, 0}, TCase{1, 2, 2}, TCase{2, 3, 2}, TCase{253, 254, 254}, TCase{254, 255, 254}}) {
    SCOPED_TRACE(std::to_string(c.A) + " and " + std::to_string(c.B));
    TTestDIB src(2, 1, 24);
    src.SetPixel(0, 0, Rgb(c.A, c.A, c.A));
    src.SetPixel(1, 0, Rgb(c.B, c.B, c.B));
    RGBQUAD palette[1];
    TDivideTree tree;
    ASSERT_EQ(MakePaletteFine(src.Infos, 0, [] {}, palette, tree), 1);
    EXPECT_EQ(ColorOf(palette[0]), Rgb(c.Expected, c.Expected, c.Expected));
  }
  // Cells hold their rounded-down means; the division rounds the mean of cells 0 and 9.
  TTestDIB cells(2, 1, 24);
  cells.SetPixel(0, 0, Rgb(0, 0, 0));
  cells.SetPixel(1, 0, Rgb(9, 0, 0));
  RGBQUAD palette[1];
  std::vector<uint8_t> table(65536);
  ASSERT_EQ(MakePaletteNormal(cells.Infos, 0, [] {}, palette, table.data()), 1);
  EXPECT_EQ(ColorOf(palette[0]), Rgb(4, 0, 0));
}

TEST(ColorReduceEdges, HigherHalfComesFirst) {
  TTestDIB src(2, 1, 24);
  src.SetPixel(0, 0, Rgb(0, 0, 0));
  src.SetPixel(1, 0, Rgb(255, 0, 0));
  for (TReduction reduction : {ConvertTrueColorTo4BitRGBLow, ConvertTrueColorTo4BitRGBHigh}) {
    int progress = 0;
    TTestDIB result = Reduce(reduction, src.Infos, &progress);
    ExpectReduced(result, src.Infos, 4, {RGBQUAD{0, 0, 255, 0}, RGBQUAD{0, 0, 0, 0}}, {1, 0});
    EXPECT_EQ(progress, 16);
  }
}

// ---- Round trips ----

// Colours on an even grid, each used equally often: every division halves the values of one channel,
// so 2^depth colours end in 2^depth leaves, one each, even under kpCmNormal (one colour a cell).
std::vector<uint32_t> GridColors(int reds, int greens, int blues) {
  std::vector<uint32_t> colors;
  for (int r = 0; r < reds; ++r)
    for (int g = 0; g < greens; ++g)
      for (int b = 0; b < blues; ++b) colors.push_back(Rgb(r * 255 / (reds - 1), g * 255 / (greens - 1), 8 + b * 240 / (blues - 1)));
  return colors;
}

// Each colour equally often, in random places.
std::vector<uint32_t> ShuffledUses(std::mt19937& random, const std::vector<uint32_t>& colors, size_t pixels) {
  std::vector<uint32_t> uses;
  while (uses.size() < pixels) uses.insert(uses.end(), colors.begin(), colors.end());
  std::shuffle(uses.begin(), uses.end(), random);
  return uses;
}

// Any depth + 1 colours: a division that splits off at least one colour at each level separates them.
std::vector<uint32_t> FewRandomColors(std::mt19937& random, int count) {
  std::vector<uint32_t> colors;
  while (static_cast<int>(colors.size()) < count) {
    const uint32_t c = random() & 0xFFFFFF;
    if (std::none_of(colors.begin(), colors.end(), [c](uint32_t o) { return CellOf(o) == CellOf(c); })) colors.push_back(c);
  }
  return colors;
}

TEST(ColorReduceRoundTrip, FewColoursSurviveFourBitsExactly) {
  std::mt19937 random(7);
  for (int round = 0; round < 8; ++round) {
    const bool grid = round % 2 == 0;
    const std::vector<uint32_t> colors = grid ? GridColors(4, 2, 2) : FewRandomColors(random, 5);
    TTestDIB src(9, round < 4 ? 16 : -16, 24);
    const std::vector<uint32_t> uses = grid ? ShuffledUses(random, colors, 144) : std::vector<uint32_t>{};
    for (int32_t i = 0; i < 144; ++i)
      src.SetPixel(i % 9, i / 9, grid ? uses[static_cast<size_t>(i)] : colors[random() % colors.size()]);
    for (TReduction reduction : {ConvertTrueColorTo4BitRGBLow, ConvertTrueColorTo4BitRGBHigh}) {
      SCOPED_TRACE("round " + std::to_string(round) + (reduction == ConvertTrueColorTo4BitRGBLow ? " Low" : " High"));
      TTestDIB reduced = Reduce(reduction, src.Infos);
      TTestDIB back = Expand(Convert4BitRGBToTrueColor, reduced.Infos);
      EXPECT_EQ(back.Bytes(), src.Bytes());
      EXPECT_EQ(back.Infos.W3Head.biHeight, src.Infos.W3Head.biHeight);
    }
  }
}

// Indexed images expanded to true colour and reduced again keep every pixel's colour.
TEST(ColorReduceRoundTrip, ExpandedIndexedImagesComeBackWithTheirColours) {
  std::mt19937 random(8);
  struct TCase {
    uint16_t Bits;
    std::vector<uint32_t> Colors;
    int32_t Width, Height;
  };
  const TCase cases[] = {
      {4, GridColors(4, 2, 2), 9, 16},       {4, FewRandomColors(random, 5), 11, -7},
      {8, GridColors(8, 8, 4), 31, -256},    {8, FewRandomColors(random, 9), 13, 10},
  };
  for (const TCase& c : cases) {
    TTestDIB src(c.Width, c.Height, c.Bits, static_cast<uint32_t>(c.Colors.size()));
    for (size_t i = 0; i < c.Colors.size(); ++i) src.SetColor(static_cast<int>(i), Red(c.Colors[i]), Green(c.Colors[i]), Blue(c.Colors[i]));
    std::vector<uint32_t> indexes(c.Colors.size());
    for (size_t i = 0; i < indexes.size(); ++i) indexes[i] = static_cast<uint32_t>(i);
    const std::vector<uint32_t> uses = ShuffledUses(random, indexes, static_cast<size_t>(c.Width) * AbsHeight(src.Infos));
    for (int32_t y = 0; y < src.Height(); ++y)
      for (int32_t x = 0; x < c.Width; ++x) src.SetPixel(x, y, uses[static_cast<size_t>(y) * c.Width + x]);
    TTestDIB expanded = Expand(c.Bits == 4 ? Convert4BitRGBToTrueColor : Convert8BitRGBToTrueColor, src.Infos);
    const std::vector<TReduction> reductions =
        c.Bits == 4 ? std::vector<TReduction>{ConvertTrueColorTo4BitRGBLow, ConvertTrueColorTo4BitRGBHigh}
                    : std::vector<TReduction>{ConvertTrueColorTo8BitRGBLow, ConvertTrueColorTo8BitRGBHigh};
    for (size_t r = 0; r < reductions.size(); ++r) {
      SCOPED_TRACE(std::to_string(c.Bits) + " bits, " + std::to_string(c.Colors.size()) + " colours, " +
                   (r == 0 ? "Low" : "High"));
      TTestDIB reduced = Reduce(reductions[r], expanded.Infos);
      for (int32_t y = 0; y < src.Height(); ++y)
        for (int32_t x = 0; x < c.Width; ++x)
          ASSERT_EQ(ColorOf(reduced.Infos.Colors()[reduced.Pixel(x, y)]), ColorOf(src.Infos.Colors()[src.Pixel(x, y)]));
    }
  }
  // Eight bits with 16 colours, each in many table entries, down to four.
  TTestDIB src(17, 16, 8, 256);
  const std::vector<uint32_t> colors = GridColors(2, 4, 2);
  for (int i = 0; i < 256; ++i) src.SetColor(i, Red(colors[i % 16]), Green(colors[i % 16]), Blue(colors[i % 16]));
  std::vector<uint32_t> colorIds(16);
  for (uint32_t i = 0; i < 16; ++i) colorIds[i] = i;
  const std::vector<uint32_t> uses = ShuffledUses(random, colorIds, 17 * 16);
  for (int32_t i = 0; i < 17 * 16; ++i) src.SetPixel(i % 17, i / 17, uses[static_cast<size_t>(i)] + 16 * (random() % 16));
  TTestDIB reduced = Reduce(Convert8BitRGBTo4BitRGB, src.Infos);
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 17; ++x)
      ASSERT_EQ(ColorOf(reduced.Infos.Colors()[reduced.Pixel(x, y)]), ColorOf(src.Infos.Colors()[src.Pixel(x, y)]));
}

TEST(ColorReduceRoundTrip, SameResultInFileMapping) {
  std::mt19937 random(9);
  TTestDIB src = RandomImage(random, TImageKind::Clusters, 50, 40);
  const size_t viewsBefore = LiveFileMappingViews();
  for (TReduction reduction : {ConvertTrueColorTo8BitRGBLow, ConvertTrueColorTo4BitRGBHigh}) {
    TTestDIB onHeap = Reduce(reduction, src.Infos);
    TKpDIBInfos mapped;
    reduction(src.Infos, mapped, true, [] {});
    TTestDIB inMapping = TTestDIB::Adopt(mapped, true);
    EXPECT_EQ(inMapping.Bytes(), onHeap.Bytes());
    EXPECT_EQ(std::memcmp(inMapping.Infos.Dummy, onHeap.Infos.Dummy, sizeof(onHeap.Infos.Dummy)), 0);
  }
  EXPECT_EQ(LiveFileMappingViews(), viewsBefore);
}

}  // namespace
