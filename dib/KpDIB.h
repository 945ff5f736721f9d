#pragma once
// TKpDIB: the DIB library's graphic. Copies share one storage and the first change makes a private
// copy; it reads and writes BMP streams and packed DIBs, converts to and from bitmaps, draws itself
// (optionally halftoned) and gives access to its palette, colours, pixels and rows.

#include "KpGraph.h"
#include "KpInternalDIB.h"
#include "platform/Bitmap.h"
#include "platform/Canvas.h"
#include "platform/Colors.h"
#include "platform/DIBSection.h"

#include <memory>
#include <string>

enum TKpHalftoneMode { kpHtNoHalftone, kpHtHalftone, kpHtHalftoneBW };

// The UseFMO of the storage of every newly made TKpDIB.
extern bool DefaultUseFMO;

class TKpDIB : public TKpGraphic {
  TV_GRAPHIC_CLASS(TKpDIB)
  friend class TKpDIBCanvas;

public:
  TKpDIB();
  ~TKpDIB() override;
  TKpDIB(const TKpDIB&) = delete;
  TKpDIB& operator=(const TKpDIB&) = delete;

  void Assign(const TPersistent* Source) override;
  void Draw(TCanvas& ACanvas, const TRect& R) override;
  void LoadFromStream(TStream& Stream) override;
  void SaveToStream(TStream& Stream) override;
  void LoadFromClipboardFormat(uint16_t AFormat, HGLOBAL AData, HPALETTE APalette) override;
  void SaveToClipboardFormat(uint16_t& AFormat, HGLOBAL& AData, HPALETTE& APalette) override;
  uint16_t GetClipboardFormat() const override { return 8; }

  TColor GetColors(int Index) const;
  void SetColors(int Index, TColor Value);
  // Y = 0 is the picture's top row whatever the row order.
  int32_t GetPixels(int X, int Y) const;
  void SetPixels(int X, int Y, int32_t Value);
  uint8_t* GetScanLine(int Y);
  int GetPaletteSize() const { return static_cast<int>(InternalDIB->DIBInfos.W3Head.biClrUsed); }
  void SetPaletteSize(int Value);
  int GetBitCount() const { return InternalDIB->DIBInfos.W3Head.biBitCount; }
  void SetBitCount(int Value);
  TColor BGColor() const { return FBGColor; }
  void SetBGColor(TColor Value) { FBGColor = Value; }
  TKpConvertMode ConvertMode() const { return FConvertMode; }
  void SetConvertMode(TKpConvertMode Value) { FConvertMode = Value; }
  TKpHalftoneMode HalftoneMode() const { return FHalftoneMode; }
  void SetHalftoneMode(TKpHalftoneMode Value);
  TKpPixelFormat GetPixelFormat() const { return InternalDIB->GetPixelFormat(); }
  void SetPixelFormat(TKpPixelFormat Value);
  int32_t XPelsPerMeter() const { return InternalDIB->DIBInfos.W3Head.biXPelsPerMeter; }
  void SetXPelsPerMeter(int32_t Value);
  int32_t YPelsPerMeter() const { return InternalDIB->DIBInfos.W3Head.biYPelsPerMeter; }
  void SetYPelsPerMeter(int32_t Value);
  bool GetUseFMO() const { return InternalDIB->UseFMO; }
  void SetUseFMO(bool Value);
  void CreateTrueColorPalette();

  // The shared storage, for inspection: its reference count and record.
  const TKpInternalDIB& Storage() const { return *InternalDIB; }

protected:
  void AssignTo(TPersistent& Dest) const override;
  bool GetEmpty() const override { return false; }
  int GetWidth() const override { return InternalDIB->Width; }
  int GetHeight() const override { return InternalDIB->Height; }
  void SetWidthValue(int Value) override;
  void SetHeightValue(int Value) override;
  // The handle stays the library's; callers that keep it take a copy.
  HPALETTE GetPalette() const override;
  // The library takes the handle over.
  void SetPaletteValue(HPALETTE Value) override;

private:
  void ReleaseInternalDIB();
  // Makes the storage this object's own before a change; a copy notes a palette change unless told not to.
  void UniqueDIB(bool NotePaletteChange = true);
  void UpdatePaletteModified();
  void InstallInternalDIB(std::unique_ptr<TKpInternalDIB> Storage);
  std::unique_ptr<TKpInternalDIB> NewBlankStorage(int32_t AWidth, int32_t AHeight, int32_t ClrUsed, int32_t BitCount) const;
  void AssignFromBitmap(const TBitmap& Bitmap);
  void AssignToBitmap(TBitmap& Bitmap) const;
  HPALETTE OwnPalette() const;
  void DrawPlain(TCanvas& ACanvas, const TRect& R) const;
  void DrawHalftoned(TCanvas& ACanvas, const TRect& R);
  // Which row of the block holds picture row Y, checked against the height.
  uint8_t* PixelRow(int Y) const;

  void InitProgress(int Max, const std::string& Text);
  void StartProgress();
  void StepProgress();
  void EndProgress();

  TKpInternalDIB* InternalDIB = nullptr;
  TKpConvertMode FConvertMode = kpCmNormal;
  TColor FBGColor = clWhite;
  TKpHalftoneMode FHalftoneMode = kpHtNoHalftone;
  int NumberOfProgresses = 0;
  int MaxNumberOfProgresses = 0;
  std::string ProgressString;
};

// Drawing into a TKpDIB with the canvas operations: the canvas draws on a DIB section over the DIB's
// own file mapping, so the DIB must keep its pixels in one (UseFMO).
class TKpDIBCanvas : public TCanvas {
public:
  explicit TKpDIBCanvas(TKpDIB* ADIB);
  ~TKpDIBCanvas() override;

private:
  TKpDIB* DIB;
  std::unique_ptr<TDIBSection> FSection;
  HPALETTE OldPalette = 0;
};

// The shared palettes of the halftone drawing modes: 215 colours, and black and white.
HPALETTE HalftonePalette();
HPALETTE HalftoneBWPalette();
