// The pixel-format change of a storage: decode RLE input, convert between the plain bit counts,
// encode RLE output, each step's result feeding the next, and the last one installed.

#include "KpColorReduce.h"
#include "KpConvert.h"
#include "KpHalftone.h"
#include "KpInternalDIB.h"
#include "KpRLE.h"

#include <memory>
#include <vector>

namespace {

using TConversionStep = std::function<void(const TKpDIBInfos& Src, TKpDIBInfos& Dst)>;

[[noreturn]] void PixelFormatError() { throw EAssertionFailed("TKpIntenalDIB.SetPixelsFormat: PixelFormat Error", "KpDIB"); }

// The plain format behind a stored one.
TKpPixelFormat Uncompressed(TKpPixelFormat format) {
  return format == kpPf4BitRLE ? kpPf4Bit : format == kpPf8BitRLE ? kpPf8Bit : format;
}

// The routine that takes one plain format to another, or none when they are the same.
TConversionStep PlainStep(TKpPixelFormat from, TKpPixelFormat to, TKpConvertMode mode, const TKpProgressCallback& progress,
                          uint32_t bgColor, bool useFMO) {
  using std::placeholders::_1;
  using std::placeholders::_2;
  if (from == to) return nullptr;
  if (to == kpPfHalftone) return std::bind(ConvertToHalfTone, _1, _2, useFMO);
  if (to == kpPfHalftoneBW) return std::bind(ConvertToHalfToneBW, _1, _2, useFMO);
  switch (from) {
    case kpPf1Bit:
      if (to == kpPf4Bit) return std::bind(Convert1BitRGBTo4BitRGB, _1, _2, useFMO);
      if (to == kpPf8Bit) return std::bind(Convert1BitRGBTo8BitRGB, _1, _2, useFMO);
      if (to == kpPf24Bit) return std::bind(Convert1BitRGBToTrueColor, _1, _2, useFMO);
      break;
    case kpPf4Bit:
      if (to == kpPf1Bit) return std::bind(Convert4BitRGBTo1BitRGB, _1, _2, useFMO, bgColor);
      if (to == kpPf8Bit) return std::bind(Convert4BitRGBTo8BitRGB, _1, _2, useFMO);
      if (to == kpPf24Bit) return std::bind(Convert4BitRGBToTrueColor, _1, _2, useFMO);
      break;
    case kpPf8Bit:
      if (to == kpPf1Bit) return std::bind(Convert8BitTo1BitRGB, _1, _2, useFMO, bgColor);
      if (to == kpPf4Bit) return std::bind(Convert8BitRGBTo4BitRGB, _1, _2, useFMO, std::cref(progress));
      if (to == kpPf24Bit) return std::bind(Convert8BitRGBToTrueColor, _1, _2, useFMO);
      break;
    case kpPf24Bit:
      if (to == kpPf1Bit) return std::bind(ConvertTrueColorTo1BitRGB, _1, _2, useFMO, bgColor);
      if (mode != kpCmNormal && mode != kpCmFine) PixelFormatError();
      if (to == kpPf4Bit)
        return std::bind(mode == kpCmNormal ? ConvertTrueColorTo4BitRGBLow : ConvertTrueColorTo4BitRGBHigh, _1, _2, useFMO,
                         std::cref(progress));
      if (to == kpPf8Bit)
        return std::bind(mode == kpCmNormal ? ConvertTrueColorTo8BitRGBLow : ConvertTrueColorTo8BitRGBHigh, _1, _2, useFMO,
                         std::cref(progress));
      break;
    default: break;
  }
  PixelFormatError();
}

// Runs the steps in order; every intermediate block is released once the next step has used it,
// and all of them when a step fails.
TKpDIBInfos RunChain(const TKpDIBInfos& source, const std::vector<TConversionStep>& steps, bool useFMO) {
  TKpDIBInfos current = source;
  bool ownsCurrent = false;
  for (const TConversionStep& step : steps) {
    TKpDIBInfos next;
    try {
      step(current, next);
    } catch (...) {
      if (ownsCurrent) ReleaseMemory(current.hFile, current.pBits, useFMO);
      throw;
    }
    if (ownsCurrent) ReleaseMemory(current.hFile, current.pBits, useFMO);
    current = next;
    ownsCurrent = true;
  }
  return current;
}

}  // namespace

void TKpInternalDIB::SetPixelFormat(TKpPixelFormat Value, TKpConvertMode ConvertMode, const TKpProgressCallback& Progress,
                                    uint32_t BGColor) {
  using std::placeholders::_1;
  using std::placeholders::_2;
  const TKpPixelFormat current = GetPixelFormat();
  if (Value == current || Value < kpPf1Bit || Value > kpPfHalftoneBW) PixelFormatError();

  std::vector<TConversionStep> steps;
  if (current == kpPf4BitRLE) steps.push_back(std::bind(Convert4BitRLETo4BitRGB, _1, _2, UseFMO));
  if (current == kpPf8BitRLE) steps.push_back(std::bind(Convert8BitRLETo8BitRGB, _1, _2, UseFMO));
  if (TConversionStep plain = PlainStep(Uncompressed(current), Uncompressed(Value), ConvertMode, Progress, BGColor, UseFMO))
    steps.push_back(std::move(plain));
  if (Value == kpPf4BitRLE) steps.push_back(std::bind(Convert4BitRGBTo4BitRLE, _1, _2, UseFMO));
  if (Value == kpPf8BitRLE) steps.push_back(std::bind(Convert8BitRGBTo8BitRLE, _1, _2, UseFMO));
  Install(RunChain(DIBInfos, steps, UseFMO));
}

void TKpInternalDIB::CreateTrueColorPalette(TKpConvertMode ConvertMode, const TKpProgressCallback& Progress) {
  if (DIBInfos.W3Head.biBitCount != 24) throw EKpDIBBadDIBType("TKpInternalDIB.CreateTrueColorPalette: Bad DIB Type");
  RGBQUAD palette[256]{};
  int count;
  if (ConvertMode == kpCmNormal) {
    std::vector<uint8_t> table(65536);
    count = MakePaletteNormal(DIBInfos, 8, Progress, palette, table.data());
  } else {
    auto tree = std::make_unique<TDivideTree>();
    count = MakePaletteFine(DIBInfos, 8, Progress, palette, *tree);
  }
  std::copy_n(palette, count, DIBInfos.Colors());
  DIBInfos.W3Head.biClrUsed = static_cast<uint32_t>(count);
  UpdatePalette();
}
