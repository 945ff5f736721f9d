#include "KpColorReduce.h"

#include "KpConvert.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr int kCellCount = 65536;

// The histogram cell of a colour: 32 red x 64 green x 32 blue levels.
inline int CellOf(uint8_t r, uint8_t g, uint8_t b) { return (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3); }

// Weighted sums of a range of colours, channels red, green, blue. All terms are integers and even for
// the largest image stay far below 2^64, so they are exact, and so is their one conversion to long
// double: the same values that summing in extended precision gives.
struct TColorSums {
  uint64_t N = 0;
  uint64_t S[3] = {};  // sum of w * v
  uint64_t Q[3] = {};  // sum of w * v * v

  void Add(uint64_t w, uint32_t r, uint32_t g, uint32_t b) {
    N += w;
    S[0] += w * r;
    S[1] += w * g;
    S[2] += w * b;
    Q[0] += w * (r * r);
    Q[1] += w * (g * g);
    Q[2] += w * (b * b);
  }
  TColorSums operator-(const TColorSums& part) const {
    TColorSums rest;
    rest.N = N - part.N;
    for (int c = 0; c < 3; ++c) {
      rest.S[c] = S[c] - part.S[c];
      rest.Q[c] = Q[c] - part.Q[c];
    }
    return rest;
  }
};

// Means and variances in 80-bit extended precision: mean = S / N, variance = Q / N - mean^2.
struct TColorStats {
  long double Mean[3];
  long double Variance[3];

  explicit TColorStats(const TColorSums& sums) {
    const long double n = static_cast<long double>(sums.N);
    for (int c = 0; c < 3; ++c) {
      Mean[c] = static_cast<long double>(sums.S[c]) / n;
      Variance[c] = static_cast<long double>(sums.Q[c]) / n - Mean[c] * Mean[c];
    }
  }

  // The channel of largest weighted variance (weights 3, 4, 2); ties go to red, then green.
  uint8_t DivideChannel() const {
    const long double r = 3 * Variance[0];
    const long double g = 4 * Variance[1];
    const long double b = 2 * Variance[2];
    if (r >= g && r >= b) return kDivideRed;
    if (g >= r && g >= b) return kDivideGreen;
    return kDivideBlue;
  }

  // The rounded mean colour, halves to even (the default rounding mode).
  RGBQUAD Color() const {
    return RGBQUAD{static_cast<uint8_t>(std::lrint(Mean[2])), static_cast<uint8_t>(std::lrint(Mean[1])),
                   static_cast<uint8_t>(std::lrint(Mean[0])), 0};
  }
};

// For an integer channel value v and any mean m, v <= m exactly when v <= floor(m), so the division
// and the tree walk compare bytes against an integer.
inline int IntegerThreshold(long double mean) {
  if (!(mean >= 0)) return -1;
  return mean >= 255 ? 255 : static_cast<int>(std::floor(mean));
}

// What the cell and pixel divisions share: the palette being built and the progress count.
class TDivision {
public:
  TDivision(int maxDepth, const TKpProgressCallback& progress, RGBQUAD* palette)
      : FMaxDepth(maxDepth), FProgress(progress), FPalette(palette) {}
  int Count() const { return FCount; }

protected:
  // An empty range still counts all the leaves below it, so every build reports 2^MaxDepth steps.
  void EmptyRange(int depth) {
    for (int leaf = 0; leaf < 1 << (FMaxDepth - depth); ++leaf) FProgress();
  }
  uint8_t AddColor(const TColorStats& stats) {
    FPalette[FCount] = stats.Color();
    return static_cast<uint8_t>(FCount++);
  }

  const int FMaxDepth;
  const TKpProgressCallback& FProgress;

private:
  RGBQUAD* FPalette;
  int FCount = 0;
};

// Divides weighted colour cells; a placed cell's Count becomes its palette index.
class TCellDivision : public TDivision {
public:
  TCellDivision(TColorCell* cells, int maxDepth, const TKpProgressCallback& progress, RGBQUAD* palette)
      : TDivision(maxDepth, progress, palette), FCells(cells) {}

  void DivideCells(int first, int last, int depth) {
    if (first > last) {
      EmptyRange(depth);
      return;
    }
    TColorSums sums;
    for (int i = first; i <= last; ++i) {
      const TColorCell& cell = FCells[i];
      sums.Add(static_cast<uint64_t>(cell.Count), static_cast<uint32_t>(cell.R), static_cast<uint32_t>(cell.G),
               static_cast<uint32_t>(cell.B));
    }
    const TColorStats stats(sums);
    if (depth == FMaxDepth) {
      const uint8_t index = AddColor(stats);
      for (int i = first; i <= last; ++i) FCells[i].Count = index;
      FProgress();
      return;
    }
    const uint8_t channel = stats.DivideChannel();
    const int threshold = IntegerThreshold(stats.Mean[channel]);
    const auto value = [channel](const TColorCell& cell) {
      return channel == kDivideRed ? cell.R : channel == kDivideGreen ? cell.G : cell.B;
    };
    // Exchange from both ends: [first, low) holds values <= the mean, (high, last] the others.
    int low = first;
    int high = last;
    for (;;) {
      while (low <= high && value(FCells[low]) <= threshold) ++low;
      while (low <= high && value(FCells[high]) > threshold) --high;
      if (low >= high) break;
      std::swap(FCells[low++], FCells[high--]);
    }
    DivideCells(low, last, depth + 1);
    DivideCells(first, low - 1, depth + 1);
  }

private:
  TColorCell* FCells;
};

// Pixels are blue, green, red triples. They are read as 32-bit words, so the pixel copy has 4 spare
// bytes at its end.
constexpr size_t kPixelSlack = 4;
constexpr size_t kPartitionChunk = 2048;

// Scratch for PartitionPixels: the low and the high pixels of one chunk, with room for word stores.
struct TPartitionBuffers {
  uint8_t Low[3 * kPartitionChunk + kPixelSlack];
  uint8_t High[3 * kPartitionChunk + kPixelSlack];
};

// Adds count pixels to the sums.
void AddPixels(TColorSums& sums, const uint8_t* pixels, size_t count) {
  uint64_t sr = 0, sg = 0, sb = 0, qr = 0, qg = 0, qb = 0;
  for (const uint8_t *p = pixels, *end = pixels + 3 * count; p != end; p += 3) {
    const uint32_t b = p[0], g = p[1], r = p[2];
    sr += r;
    sg += g;
    sb += b;
    qr += r * r;
    qg += g * g;
    qb += b * b;
  }
  sums.N += count;
  sums.S[0] += sr;
  sums.S[1] += sg;
  sums.S[2] += sb;
  sums.Q[0] += qr;
  sums.Q[1] += qg;
  sums.Q[2] += qb;
}

// Moves the pixels whose byte at Offset is <= threshold to the front, adds them to low and returns
// their number. Chunk by chunk: a chunk is split into the two buffers without branches (in noisy
// images each comparison is as good as random), then its low pixels go to the end of the low part and
// the high pixels they displace move into the chunk's place. Order within a part is free, as the
// division only ever looks at sets of pixels.
template <int Offset>
size_t PartitionPixels(uint8_t* pixels, size_t count, int threshold, TColorSums& low, TPartitionBuffers& buffers) {
  uint8_t* lowEnd = pixels;  // [pixels, lowEnd) low, [lowEnd, chunk) high
  uint8_t* chunk = pixels;
  size_t lowCount = 0;
  for (size_t done = 0; done < count;) {
    const size_t size = std::min(kPartitionChunk, count - done);
    uint8_t* lowOut = buffers.Low;
    uint8_t* highOut = buffers.High;
    for (const uint8_t *p = chunk, *end = chunk + 3 * size; p != end; p += 3) {
      uint32_t word;
      std::memcpy(&word, p, 4);
      const size_t isLow = (word >> (8 * Offset) & 0xFF) <= static_cast<uint32_t>(threshold);
      std::memcpy(lowOut, &word, 4);
      std::memcpy(highOut, &word, 4);
      lowOut += 3 * isLow;
      highOut += 3 - 3 * isLow;
    }
    const size_t lowBytes = static_cast<size_t>(lowOut - buffers.Low);
    lowCount += lowBytes / 3;
    AddPixels(low, buffers.Low, lowBytes / 3);
    const size_t displaced = std::min(lowBytes, static_cast<size_t>(chunk - lowEnd));
    std::memcpy(chunk + lowBytes - displaced, lowEnd, displaced);
    std::memcpy(lowEnd, buffers.Low, lowBytes);
    std::memcpy(chunk + lowBytes, buffers.High, static_cast<size_t>(highOut - buffers.High));
    lowEnd += lowBytes;
    chunk += 3 * size;
    done += size;
  }
  return lowCount;
}

// Divides the copied pixels (each of weight 1) and records the division in the tree.
class TPixelDivision : public TDivision {
public:
  TPixelDivision(uint8_t* pixels, TDivideTree& tree, int maxDepth, const TKpProgressCallback& progress,
                 RGBQUAD* palette)
      : TDivision(maxDepth, progress, palette), FPixels(pixels), FTree(tree) {}

  // The pixels first .. first + count - 1, whose sums are known.
  void DividePixels(size_t first, size_t count, int depth, int32_t node, const TColorSums& sums) {
    if (count == 0) {
      EmptyRange(depth);
      return;
    }
    const TColorStats stats(sums);
    TDivideNode& divideNode = FTree.Nodes[node];
    if (depth == FMaxDepth) {
      divideNode = TDivideNode{kDivideLeaf, 0, AddColor(stats), 0, 0};
      FProgress();
      return;
    }
    const uint8_t channel = stats.DivideChannel();
    const int threshold = IntegerThreshold(stats.Mean[channel]);
    uint8_t* const pixels = FPixels + 3 * first;
    TColorSums lowSums;
    const size_t lowCount = channel == kDivideRed     ? PartitionPixels<2>(pixels, count, threshold, lowSums, FBuffers)
                            : channel == kDivideGreen ? PartitionPixels<1>(pixels, count, threshold, lowSums, FBuffers)
                                                      : PartitionPixels<0>(pixels, count, threshold, lowSums, FBuffers);
    divideNode = TDivideNode{channel, stats.Mean[channel], 0, 0, 0};
    const int32_t high = FTree.NodeCount++;
    divideNode.HighChild = high;
    DividePixels(first + lowCount, count - lowCount, depth + 1, high, sums - lowSums);
    const int32_t low = FTree.NodeCount++;
    divideNode.LowChild = low;
    DividePixels(first, lowCount, depth + 1, low, lowSums);
  }

private:
  uint8_t* FPixels;
  TDivideTree& FTree;
  TPartitionBuffers FBuffers;
};

void CheckBuilderInput(const TKpDIBInfos& src, uint16_t bitCount, int maxDepth, const TKpProgressCallback& progress,
                       const char* routine) {
  KpAssert(src.W3Head.biBitCount == bitCount && (bitCount == 24 || src.W3Head.biCompression == BI_RGB),
           (std::string(routine) + ": Invalid Bitcount").c_str());
  KpAssert(maxDepth >= 0 && maxDepth <= 8, (std::string(routine) + ": Invalid MaxDepth").c_str());
  KpAssert(static_cast<bool>(progress), (std::string(routine) + ": Progress Must be Assigned").c_str());
  CheckSourceRows(src, routine);
}

// Calls pixelFunction(pixel) for every pixel of an uncompressed source, rows in memory order.
template <int BytesPerPixel, class TPixelFunction>
void ForEachPixel(const TKpDIBInfos& src, TPixelFunction pixelFunction) {
  const int64_t stride = RowBytes(src);
  const int64_t width = src.W3Head.biWidth;
  const int32_t rows = AbsHeight(src);
  for (int32_t y = 0; y < rows; ++y) {
    const uint8_t* p = src.pBits + y * stride;
    for (const uint8_t* end = p + BytesPerPixel * width; p != end; p += BytesPerPixel) pixelFunction(p);
  }
}

// Fills Dst's 8- or 4-bit rows with indexOf(source pixel), rows in memory order.
template <int SrcBytesPerPixel, int DstBits, class TIndexFunction>
void WriteIndexes(const TKpDIBInfos& src, TKpDIBInfos& dst, TIndexFunction indexOf) {
  const int64_t srcStride = RowBytes(src);
  const int64_t dstStride = RowBytes(dst);
  const int64_t width = src.W3Head.biWidth;
  const int32_t rows = AbsHeight(src);
  for (int32_t y = 0; y < rows; ++y) {
    const uint8_t* s = src.pBits + y * srcStride;
    uint8_t* d = dst.pBits + y * dstStride;
    if constexpr (DstBits == 8) {
      for (int64_t x = 0; x < width; ++x) d[x] = indexOf(s + SrcBytesPerPixel * x);
    } else {
      const int64_t pairs = width >> 1;
      for (int64_t i = 0; i < pairs; ++i) {
        const uint8_t first = indexOf(s + SrcBytesPerPixel * 2 * i);
        const uint8_t second = indexOf(s + SrcBytesPerPixel * (2 * i + 1));
        d[i] = static_cast<uint8_t>(first << 4 | second);
      }
      if (width & 1) d[pairs] = static_cast<uint8_t>(indexOf(s + SrcBytesPerPixel * (width - 1)) << 4);
    }
  }
}

void SetPalette(TKpDIBInfos& dst, const RGBQUAD* palette, int count) {
  std::copy_n(palette, count, dst.Colors());
  dst.W3Head.biClrUsed = static_cast<uint32_t>(count);
}

// The tree walk of a whole image at once. The integer thresholds of each channel cut its 256 values
// into classes whose members take the same branch at every node, so a grid with one cell per triple of
// classes, filled by walking the tree with boxes of cells, gives every pixel's leaf in one lookup.
// At most 255 thresholds make at most 86 x 86 x 86 cells.
class TTreeLookup {
public:
  TTreeLookup(const TDivideTree& tree, const char* routine) {
    const std::string invalid = std::string(routine) + ": Invalid Divide Tree";
    const int32_t nodeCount = tree.NodeCount;
    KpAssert(nodeCount >= 1 && nodeCount <= 512, invalid.c_str());
    FNodes = WorkVector<TNode>(static_cast<size_t>(nodeCount));
    std::array<std::vector<int>, 3> thresholds;  // by byte offset in a pixel: blue, green, red
    for (int32_t i = 0; i < nodeCount; ++i) {
      const TDivideNode& node = tree.Nodes[i];
      KpAssert(node.DivideID <= kDivideLeaf, invalid.c_str());
      TNode& n = FNodes[static_cast<size_t>(i)];
      n.Leaf = node.DivideID == kDivideLeaf;
      n.PalIndex = node.PalIndex;
      if (n.Leaf) continue;
      // Children come after their parent, so every walk ends.
      KpAssert(node.LowChild > i && node.LowChild < nodeCount && node.HighChild > i && node.HighChild < nodeCount,
               invalid.c_str());
      n.Offset = 2 - node.DivideID;
      n.Threshold = IntegerThreshold(node.Threshold);
      n.Low = node.LowChild;
      n.High = node.HighChild;
      thresholds[n.Offset].push_back(n.Threshold);
    }
    size_t stride = 1;
    std::array<int, 3> lastClass;
    for (int o = 0; o < 3; ++o) {
      std::vector<int>& t = thresholds[o];
      std::sort(t.begin(), t.end());
      t.erase(std::unique(t.begin(), t.end()), t.end());
      // The class of a value is the number of thresholds below it.
      for (int v = 0; v < 256; ++v)
        FClass[o][v] = static_cast<uint32_t>((std::lower_bound(t.begin(), t.end(), v) - t.begin()) * stride);
      lastClass[o] = static_cast<int>(t.size());
      FStride[o] = stride;
      stride *= t.size() + 1;
    }
    for (TNode& n : FNodes)
      if (!n.Leaf) {
        const std::vector<int>& t = thresholds[n.Offset];
        n.SplitClass = static_cast<int>(std::lower_bound(t.begin(), t.end(), n.Threshold) - t.begin());
      }
    FGrid = WorkVector<uint8_t>(stride);
    Fill(0, {0, 0, 0}, lastClass);
  }

  uint8_t Index(const uint8_t* pixel) const { return FGrid[FClass[0][pixel[0]] + FClass[1][pixel[1]] + FClass[2][pixel[2]]]; }

private:
  struct TNode {
    bool Leaf = true;
    uint8_t PalIndex = 0;
    int Offset = 0;
    int Threshold = 0;
    int SplitClass = 0;  // values of classes up to this one are <= Threshold
    int32_t Low = 0;
    int32_t High = 0;
  };

  // The box of classes first[o] .. last[o] on each channel goes down the tree from node.
  void Fill(int32_t node, std::array<int, 3> first, std::array<int, 3> last) {
    const TNode& n = FNodes[static_cast<size_t>(node)];
    if (n.Leaf) {
      for (int r = first[2]; r <= last[2]; ++r)
        for (int g = first[1]; g <= last[1]; ++g) {
          uint8_t* cells = FGrid.data() + r * FStride[2] + g * FStride[1];
          std::fill(cells + first[0], cells + last[0] + 1, n.PalIndex);
        }
      return;
    }
    const int o = n.Offset;
    if (first[o] <= n.SplitClass) {
      std::array<int, 3> lowLast = last;
      lowLast[o] = std::min(last[o], n.SplitClass);
      Fill(n.Low, first, lowLast);
    }
    if (last[o] > n.SplitClass) {
      std::array<int, 3> highFirst = first;
      highFirst[o] = std::max(first[o], n.SplitClass + 1);
      Fill(n.High, highFirst, last);
    }
  }

  std::vector<TNode> FNodes;
  uint32_t FClass[3][256];
  size_t FStride[3];
  std::vector<uint8_t> FGrid;
};

template <int DstBits>
void ReduceNormal(const TKpDIBInfos& src, TKpDIBInfos& dst, bool useFMO, const TKpProgressCallback& progress,
                  const char* routine) {
  if (src.W3Head.biBitCount != 24) throw EKpDIBBadDIBType(std::string(routine) + ": Invalid Bitcount");
  CheckSourceRows(src, routine);
  MakeConversionResult(src, dst, DstBits, useFMO, routine);
  TPixelBlockGuard guard(dst, useFMO);
  RGBQUAD palette[256]{};
  std::vector<uint8_t> table = WorkVector<uint8_t>(kCellCount);
  const int count = MakePaletteNormal(src, DstBits, progress, palette, table.data());
  WriteIndexes<3, DstBits>(src, dst, [&table](const uint8_t* p) { return table[CellOf(p[2], p[1], p[0])]; });
  SetPalette(dst, palette, count);
  guard.Keep();
}

template <int DstBits>
void ReduceFine(const TKpDIBInfos& src, TKpDIBInfos& dst, bool useFMO, const TKpProgressCallback& progress,
                const char* routine) {
  if (src.W3Head.biBitCount != 24) throw EKpDIBBadDIBType(std::string(routine) + ": Invalid Bitcount");
  CheckSourceRows(src, routine);
  MakeConversionResult(src, dst, DstBits, useFMO, routine);
  TPixelBlockGuard guard(dst, useFMO);
  RGBQUAD palette[256]{};
  std::unique_ptr<TDivideTree> tree(new (std::nothrow) TDivideTree);
  if (!tree) throw EOutOfMemory("Out of memory");
  const int count = MakePaletteFine(src, DstBits, progress, palette, *tree);
  const TTreeLookup lookup(*tree, routine);
  WriteIndexes<3, DstBits>(src, dst, [&lookup](const uint8_t* p) { return lookup.Index(p); });
  SetPalette(dst, palette, count);
  guard.Keep();
}

}  // namespace

int MakePaletteNormal(const TKpDIBInfos& Src, int MaxDepth, const TKpProgressCallback& Progress, RGBQUAD* Palette,
                      uint8_t* Table) {
  CheckBuilderInput(Src, 24, MaxDepth, Progress, "MakePaletteNormal");
  // Only the bits below a cell's resolution are summed; 64-bit, as a cell may hold every pixel.
  struct TCellSums {
    uint64_t R, G, B, Count;
  };
  std::vector<TCellSums> sums = WorkVector<TCellSums>(kCellCount);
  ForEachPixel<3>(Src, [&sums](const uint8_t* p) {
    TCellSums& cell = sums[CellOf(p[2], p[1], p[0])];
    cell.R += p[2] & 7;
    cell.G += p[1] & 3;
    cell.B += p[0] & 7;
    ++cell.Count;
  });
  // The occupied cells in ascending cell number, each holding the mean colour of its pixels rounded down.
  std::vector<TColorCell> cells = WorkVector<TColorCell>(kCellCount);
  int occupied = 0;
  for (int k = 0; k < kCellCount; ++k) {
    const TCellSums& s = sums[k];
    if (s.Count == 0) continue;
    cells[occupied++] = TColorCell{static_cast<int32_t>(s.R / s.Count) + (k >> 11) * 8,
                                   static_cast<int32_t>(s.G / s.Count) + ((k >> 5) & 63) * 4,
                                   static_cast<int32_t>(s.B / s.Count) + (k & 31) * 8, static_cast<int32_t>(s.Count), k};
  }
  TCellDivision division(cells.data(), MaxDepth, Progress, Palette);
  division.DivideCells(0, occupied - 1, 0);
  std::memset(Table, 0, kCellCount);
  for (int i = 0; i < occupied; ++i) Table[cells[i].Key] = static_cast<uint8_t>(cells[i].Count);
  return division.Count();
}

int MakePaletteFine(const TKpDIBInfos& Src, int MaxDepth, const TKpProgressCallback& Progress, RGBQUAD* Palette,
                    TDivideTree& Tree) {
  CheckBuilderInput(Src, 24, MaxDepth, Progress, "MakePaletteFine");
  const int64_t width = Src.W3Head.biWidth;
  const int32_t rows = AbsHeight(Src);
  const size_t pixelCount = static_cast<size_t>(width) * static_cast<size_t>(rows);
  std::unique_ptr<uint8_t[]> pixels(new (std::nothrow) uint8_t[3 * pixelCount + kPixelSlack]);
  if (!pixels) throw EOutOfMemory("Out of memory");
  std::memset(pixels.get() + 3 * pixelCount, 0, kPixelSlack);
  // The copy drops the row padding; the sums of the whole image come with it.
  TColorSums sums;
  const int64_t stride = RowBytes(Src);
  for (int32_t y = 0; y < rows; ++y) {
    uint8_t* copy = pixels.get() + 3 * width * y;
    std::memcpy(copy, Src.pBits + y * stride, static_cast<size_t>(3 * width));
    AddPixels(sums, copy, static_cast<size_t>(width));
  }

  std::fill(std::begin(Tree.Nodes), std::end(Tree.Nodes), TDivideNode{});
  Tree.NodeCount = 1;
  TPixelDivision division(pixels.get(), Tree, MaxDepth, Progress, Palette);
  division.DividePixels(0, pixelCount, 0, 0, sums);
  return division.Count();
}

int MakePaletteFrom8Bit(const TKpDIBInfos& Src, int MaxDepth, const TKpProgressCallback& Progress, RGBQUAD* Palette,
                        uint8_t* Map) {
  CheckBuilderInput(Src, 8, MaxDepth, Progress, "MakePaletteFrom8Bit");
  std::array<uint64_t, 256> counts{};
  ForEachPixel<1>(Src, [&counts](const uint8_t* p) { ++counts[*p]; });
  // The used colour-table entries in ascending index.
  std::array<TColorCell, 256> cells;
  int used = 0;
  for (int j = 0; j < 256; ++j) {
    if (counts[j] == 0) continue;
    const RGBQUAD& color = Src.Colors()[j];
    cells[used++] = TColorCell{color.rgbRed, color.rgbGreen, color.rgbBlue, static_cast<int32_t>(counts[j]), j};
  }
  TCellDivision division(cells.data(), MaxDepth, Progress, Palette);
  division.DivideCells(0, used - 1, 0);
  std::memset(Map, 0, 256);
  for (int i = 0; i < used; ++i) Map[cells[i].Key] = static_cast<uint8_t>(cells[i].Count);
  return division.Count();
}

void ConvertTrueColorTo8BitRGBLow(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO, const TKpProgressCallback& Progress) {
  ReduceNormal<8>(Src, Dst, UseFMO, Progress, "ConvertTrueColorTo8BitRGBLow");
}

void ConvertTrueColorTo4BitRGBLow(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO, const TKpProgressCallback& Progress) {
  ReduceNormal<4>(Src, Dst, UseFMO, Progress, "ConvertTrueColorTo4BitRGBLow");
}

void ConvertTrueColorTo8BitRGBHigh(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO, const TKpProgressCallback& Progress) {
  ReduceFine<8>(Src, Dst, UseFMO, Progress, "ConvertTrueColorTo8BitRGBHigh");
}

void ConvertTrueColorTo4BitRGBHigh(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO, const TKpProgressCallback& Progress) {
  ReduceFine<4>(Src, Dst, UseFMO, Progress, "ConvertTrueColorTo4BitRGBHigh");
}

void Convert8BitRGBTo4BitRGB(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO, const TKpProgressCallback& Progress) {
  if (Src.W3Head.biBitCount != 8 || Src.W3Head.biCompression != BI_RGB)
    throw EKpDIBBadDIBType("Convert8BitRGBTo4BitRGB: Invalid Bitcount or Compression");
  CheckSourceRows(Src, "Convert8BitRGBTo4BitRGB");
  MakeConversionResult(Src, Dst, 4, UseFMO, "Convert8BitRGBTo4BitRGB");
  TPixelBlockGuard guard(Dst, UseFMO);
  RGBQUAD palette[16]{};
  uint8_t map[256];
  const int count = MakePaletteFrom8Bit(Src, 4, Progress, palette, map);
  WriteIndexes<1, 4>(Src, Dst, [&map](const uint8_t* p) { return map[*p]; });
  SetPalette(Dst, palette, count);
  guard.Keep();
}
