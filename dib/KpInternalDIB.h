#pragma once
// The storage that TKpDIB objects share: one DIB, its cached logical palette and a reference count.
// It always holds a valid DIB; every change replaces the whole record at once.

#include "KpDIBInfos.h"
#include "platform/GlobalMemory.h"
#include "platform/Palettes.h"
#include "platform/Streams.h"

class TKpInternalDIB {
public:
  explicit TKpInternalDIB(bool AnUseFMO);
  ~TKpInternalDIB();
  TKpInternalDIB(const TKpInternalDIB&) = delete;
  TKpInternalDIB& operator=(const TKpInternalDIB&) = delete;

  // A blank DIB (all index 0, black colour table). Callers FreeDIB first.
  void CreateDIB(int32_t AWidth, int32_t AHeight, int32_t ClrUsed, int32_t BitCount);
  void FreeDIB();

  // BMP file from the stream's position; all or nothing.
  void LoadFromStream(TStream& Stream);
  void SaveToStream(TStream& Stream) const;
  // Packed DIB (the clipboard's DIB format) in a global block that stays the caller's.
  void LoadFromClipboardFormat(HGLOBAL hData);
  HGLOBAL SaveToClipboardFormat() const;

  void UpdatePalette();
  TKpPixelFormat GetPixelFormat() const;

  // Pixel-format change through the conversion chains; all or nothing.
  void SetPixelFormat(TKpPixelFormat Value, TKpConvertMode ConvertMode, const TKpProgressCallback& Progress,
                      uint32_t BGColor);
  // Gives a 24-bit DIB an optimised colour table of at most 256 colours; pixels stay.
  void CreateTrueColorPalette(TKpConvertMode ConvertMode, const TKpProgressCallback& Progress);

  // Replaces the DIB by a copy of another storage's header, colours and pixels, in a block of this
  // storage's kind.
  void CopyFrom(const TKpInternalDIB& Source);
  // Replaces the DIB by a complete new record whose pixel block this storage takes over.
  void Install(const TKpDIBInfos& NewInfos);

  int32_t RefCount = 1;
  int32_t Width = 0;
  int32_t Height = 0;
  HPALETTE Palette = 0;
  TKpDIBInfos DIBInfos;
  bool PaletteModified = false;
  bool UseFMO;
};

// A logical palette of the record's colour table (0 without one); the caller owns it.
HPALETTE GetPaletteFromDIBInfos(const TKpDIBInfos& DIBInfos);
