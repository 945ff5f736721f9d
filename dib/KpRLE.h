#pragma once
// Run-length codecs of 8-bit (BI_RLE8) and 4-bit (BI_RLE4) DIBs. Src stays untouched; Dst receives a
// complete new DIB whose pixel block (from GetMemory with UseFMO) belongs to the caller.

#include "KpDIBInfos.h"

// Decoders: plain bottom-up or top-down rows as the header says; pixels the stream skips stay index 0.
void Convert8BitRLETo8BitRGB(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO);
void Convert4BitRLETo4BitRGB(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO);

// Encoders: the result is always bottom-up; an image that does not fit into its own uncompressed size
// raises EKpDIBCompressionFailed.
void Convert8BitRGBTo8BitRLE(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO);
void Convert4BitRGBTo4BitRLE(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO);
