#pragma once
// Error-diffusion rendering of an uncompressed 1-, 4-, 8- or 24-bit DIB onto the fixed halftone
// palette (8 bits, 215 colours) or onto black and white (1 bit). Rows keep their memory order.

#include "KpDIBInfos.h"

void ConvertToHalfTone(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO);
void ConvertToHalfToneBW(const TKpDIBInfos& Src, TKpDIBInfos& Dst, bool UseFMO);

// The halftone palette: a 6 x 7 x 5 cube, entry 35 r + 5 g + b, and five extra colours at 210..214.
void GetHalftoneColors(RGBQUAD (&Colors)[215]);
