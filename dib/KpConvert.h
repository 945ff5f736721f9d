#pragma once
// Bit-depth changes that keep every colour (1 -> 4, 1 -> 8, 4 -> 8 and 1, 4, 8 -> 24 bits), and the
// 1-bit masks that mark the pixels of one background colour. Src stays untouched; Dst receives a
// complete new DIB whose pixel block (from GetMemory with UseFMO) belongs to the caller. Rows keep
// their memory order, so a top-down DIB stays top-down.

#include "KpDIBInfos.h"

// Expansions: the result keeps Src's colour table and biClrUsed.
void Convert1BitRGBTo4BitRGB(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO);
void Convert1BitRGBTo8BitRGB(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO);
void Convert4BitRGBTo8BitRGB(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO);
void Convert1BitRGBToTrueColor(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO);
void Convert4BitRGBToTrueColor(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO);
void Convert8BitRGBToTrueColor(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO);

// Background masks. BGColor is 0x00BBGGRR. Pixels of exactly that colour become index 1, all others
// index 0; the colour table is black, white (biClrUsed 2).
void ConvertTrueColorTo1BitRGB(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO, uint32_t BGColor);
void Convert8BitTo1BitRGB(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO, uint32_t BGColor);
void Convert4BitRGBTo1BitRGB(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO, uint32_t BGColor);

// The uncompressed rows that Src's header describes must lie inside its pixel block; otherwise (also for
// a width or height that no block can hold) EKpDIBInvalidDIB "<Routine>: Pixel Block Too Small".
void CheckSourceRows(const TKpDIBInfos& Src, const char* Routine);
