#pragma once
// Colour reduction: a 24-bit image to at most 256 or 16 colours, either through a histogram of 65536
// colour cells (the Low routines, kpCmNormal) or by dividing the pixels themselves (the High routines,
// kpCmFine), and an 8-bit image to at most 16 colours. The palette comes from a binary division of the
// colours: each range is split at the mean of its channel of largest weighted variance, the higher
// part first, down to MaxDepth levels; each leaf gives one colour, the rounded mean of its range.

#include "KpDIBInfos.h"

// Src 24 bits (any compression value); Dst 8 or 4 bits with the built palette as its colour table.
void ConvertTrueColorTo8BitRGBLow(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO, const TKpProgressCallback& Progress);
void ConvertTrueColorTo4BitRGBLow(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO, const TKpProgressCallback& Progress);
void ConvertTrueColorTo8BitRGBHigh(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO, const TKpProgressCallback& Progress);
void ConvertTrueColorTo4BitRGBHigh(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO, const TKpProgressCallback& Progress);
// Src 8 bits uncompressed; Dst 4 bits.
void Convert8BitRGBTo4BitRGB(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO, const TKpProgressCallback& Progress);

// A colour of the division: a histogram cell (kpCmNormal) or a colour-table entry (8 -> 4 bits).
struct TColorCell {
  int32_t R, G, B;
  int32_t Count;  // the weight (pixels); once the division has placed the cell, its palette index
  int32_t Key;    // the cell's own number
};

constexpr uint8_t kDivideRed = 0;
constexpr uint8_t kDivideGreen = 1;
constexpr uint8_t kDivideBlue = 2;
constexpr uint8_t kDivideLeaf = 3;

// A node of the kpCmFine division. A pixel goes to LowChild when its DivideID channel is <= Threshold.
// Slots that no pixel reaches stay leaves of index 0.
struct TDivideNode {
  uint8_t DivideID = kDivideLeaf;
  long double Threshold = 0;  // the mean of the divided channel; 0 in a leaf
  uint8_t PalIndex = 0;       // a leaf's palette index; 0 in inner nodes
  int32_t LowChild = 0;
  int32_t HighChild = 0;
};

// Node 0 is the root. A division of depth 8 uses at most 511 nodes.
struct TDivideTree {
  int32_t NodeCount = 0;
  TDivideNode Nodes[512];
};

// The palette builders. Each divides to MaxDepth levels (0 to 8; 8 for 256 colours, 4 for 16), writes
// up to 2^MaxDepth entries to Palette and returns their count, and calls Progress once for every leaf
// of the division, empty ones included: exactly 2^MaxDepth times.

// Src 24 bits. Table (65536 bytes) receives the palette index of every colour cell,
// (R >> 3) * 2048 + (G >> 2) * 32 + (B >> 3); cells without pixels map to 0.
int MakePaletteNormal(const TKpDIBInfos& Src, int MaxDepth, const TKpProgressCallback& Progress, RGBQUAD* Palette,
                      uint8_t* Table);
// Src 24 bits. Tree receives the division; walking it with a pixel of Src gives the pixel's index.
int MakePaletteFine(const TKpDIBInfos& Src, int MaxDepth, const TKpProgressCallback& Progress, RGBQUAD* Palette,
                    TDivideTree& Tree);
// Src 8 bits uncompressed. Map (256 bytes) receives the new index of every old one; unused ones map to 0.
int MakePaletteFrom8Bit(const TKpDIBInfos& Src, int MaxDepth, const TKpProgressCallback& Progress, RGBQUAD* Palette,
                        uint8_t* Map);
