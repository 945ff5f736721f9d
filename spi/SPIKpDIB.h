#pragma once
// TSPIKpDIB: the DIB library's graphic, loading any format a decoder module reads, and able to give
// true-colour pictures a palette for palette screens. It stands behind module extensions only when
// a program passes it to TSPIs::SetDefaultGraphic before the registry searches.

#include "SPIBitmap.h"
#include "dib/KpDIB.h"

enum TSPIKpDIBPaletteOption : uint8_t {
  sdpNone,     // never add a palette
  sdpDev8bit,  // add one when the screen shows at most 8 bits a pixel
  sdpAllways,  // always add one
};

// Whether the screen shows at most 8 bits a pixel: asked once, the first time it is needed (no
// screen can be asked before the application exists); false when there is no screen.
bool ScreenIs8BitOrLess();

class TSPIKpDIB : public TKpDIB {
  TV_GRAPHIC_CLASS(TSPIKpDIB)

public:
  TSPIKpDIB() = default;

  TSPIKpDIBPaletteOption PaletteOption() const { return FPaletteOption; }
  void SetPaletteOption(TSPIKpDIBPaletteOption Value) { FPaletteOption = Value; }

  void Assign(const TPersistent* Source) override;
  // Raises EInvalidGraphic "Susie Plugins could not decode" when neither the modules nor the DIB
  // reader can load the source; the DIB then keeps its picture.
  void LoadFromFile(const std::string& Filename) override;
  void LoadFromStream(TStream& Stream) override { LoadFromStreamWithName(Stream, ""); }
  virtual void AssignDecodedGraphic(std::unique_ptr<TGraphic> Graphic);
  virtual void LoadFromStreamWithName(TStream& Stream, const std::string& FileName);

  // Always this DIB's own LoadFromStreamWithName; assigning another handler has no effect.
  TSPILoadFromStreamWithNameEvent OnLoadFromStreamWithName() const;
  void SetOnLoadFromStreamWithName(const TSPILoadFromStreamWithNameEvent&) {}

protected:
  void Changed() override;

private:
  TProgressEvent ForwardProgress();
  void LoadedProgress();

  TSPIKpDIBPaletteOption FPaletteOption = sdpDev8bit;
};
