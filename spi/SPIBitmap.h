#pragma once
// TSPIBitmap: the bitmap class behind every module extension. Loading a file or stream decodes it
// through the modules (or, for ".bmp" names, first reads it as a plain bitmap), writes the decoded
// picture as a BMP image and reads that back with the bitmap's own reader. Once loaded it is an
// ordinary bitmap.

#include "SPIGraphic.h"
#include "platform/Bitmap.h"

#include <functional>
#include <string>

using TSPILoadFromStreamWithNameEvent = std::function<void(TStream& Stream, const std::string& FileName)>;

class TSPIBitmap : public TBitmap {
  TV_GRAPHIC_CLASS(TSPIBitmap)

public:
  TSPIBitmap() = default;

  void Assign(const TPersistent* Source) override;
  // Raises EInvalidGraphic "Susie Plugins could not decode" when neither the modules nor the plain
  // bitmap reader can load the source; the bitmap then keeps its picture.
  void LoadFromFile(const std::string& Filename) override;
  void LoadFromStream(TStream& Stream) override { LoadFromStreamWithName(Stream, ""); }
  virtual void AssignDecodedGraphic(std::unique_ptr<TGraphic> Graphic);
  virtual void LoadFromStreamWithName(TStream& Stream, const std::string& FileName);

  // Always this bitmap's own LoadFromStreamWithName; assigning another handler has no effect.
  TSPILoadFromStreamWithNameEvent OnLoadFromStreamWithName() const;
  void SetOnLoadFromStreamWithName(const TSPILoadFromStreamWithNameEvent&) {}

private:
  TProgressEvent ForwardProgress();
  void LoadedProgress();
};
