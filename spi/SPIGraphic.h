#pragma once
// TSPIGraphic: a graphic whose picture is what an input module decoded. It draws and measures that
// picture and writes it out as a BMP file image, from which any graphic class that reads BMP files
// can take it.

#include "SPIAbleData.h"
#include "platform/Graphics.h"

#include <memory>
#include <string>

class TSPIGraphic : public TGraphic {
  TV_GRAPHIC_CLASS(TSPIGraphic)

public:
  TSPIGraphic() = default;
  ~TSPIGraphic() override;
  TSPIGraphic(const TSPIGraphic&) = delete;
  TSPIGraphic& operator=(const TSPIGraphic&) = delete;

  void Draw(TCanvas& ACanvas, const TRect& R) override;
  void LoadFromFile(const std::string& FileName) override;
  void LoadFromStream(TStream& Stream) override { LoadFromStreamWithName(Stream, ""); }
  virtual void LoadFromStreamWithName(TStream& Stream, const std::string& FileName);
  // A BMP file image of the decoded picture; nothing for an empty graphic.
  void SaveToStream(TStream& Stream) override;
  void LoadFromClipboardFormat(uint16_t, HGLOBAL, HPALETTE) override {}
  void SaveToClipboardFormat(uint16_t&, HGLOBAL&, HPALETTE&) override {}

  bool PixelFormatIs4bit() const;
  // A new graphic of DestClass read from this graphic's BMP file image; this one keeps its picture.
  std::unique_ptr<TGraphic> CreateAndAssignToDIBFileReadableGraphic(const TGraphicClass& DestClass) const;
  // The same, but this graphic lets go of its picture as soon as the new one has it.
  std::unique_ptr<TGraphic> CreateAndConvertToDIBFileReadableGraphic(const TGraphicClass& DestClass);

  // The first of the decoding modules and AlternativeClass (in this order, or the other way round
  // when AlternativeFirst) that loads the source; none when neither can.
  static std::unique_ptr<TGraphic> CreateFromFile(const std::string& FileName, const TGraphicClass& AlternativeClass,
                                                  bool AlternativeFirst, const TProgressEvent& ProgressEvent);
  static std::unique_ptr<TGraphic> CreateFromStreamWithName(TStream& Stream, const std::string& FileName,
                                                            const TGraphicClass& AlternativeClass,
                                                            bool AlternativeFirst, const TProgressEvent& ProgressEvent);

protected:
  bool GetEmpty() const override { return !FData || FData->IsEmpty(); }
  int GetWidth() const override;
  int GetHeight() const override;
  void SetWidthValue(int) override {}
  void SetHeightValue(int) override {}
  // The graphic keeps the handle; callers that keep it take a copy.
  HPALETTE GetPalette() const override;

private:
  void ReleaseData();
  void LoadData();
  void UpdateBitmapInfo() const;
  // The BMP file image over the decoded blocks, read in place.
  std::unique_ptr<TStream> DIBFileImage() const;

  std::unique_ptr<TInSPIAbleData> FData;
  mutable int32_t FHeight = 0;
  mutable int32_t FWidth = 0;
  mutable HPALETTE FPalette = 0;
  mutable int32_t FInfoSize = 0;
  mutable int32_t FBitsSize = 0;
  mutable int32_t FColorCount = 0;
  mutable bool FPixelFormatIs4bit = false;
  mutable bool FDecodedDataBMInfo = false;
};
