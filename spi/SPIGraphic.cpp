#include "SPIGraphic.h"

#include "SPIBmpFileStream.h"
#include "SPIDecodedLayout.h"
#include "SPIRowsTakeOver.h"
#include "platform/Bitmap.h"
#include "platform/Canvas.h"

#include <algorithm>
#include <cstdlib>

TV_DEFINE_GRAPHIC_CLASS(TSPIGraphic, nullptr)

namespace {

constexpr const char* kCouldNotDecode = "Susie Plugins could not decode";

}  // namespace

TSPIGraphic::~TSPIGraphic() { ReleaseData(); }

void TSPIGraphic::ReleaseData() {
  FData.reset();
  if (FPalette) DeleteObject(FPalette);
  FPalette = 0;
  FDecodedDataBMInfo = false;
}

void TSPIGraphic::LoadFromFile(const std::string& FileName) {
  ReleaseData();
  FData = std::make_unique<TInSPIAbleFromFile>(*this, FileName);
  LoadData();
}

void TSPIGraphic::LoadFromStreamWithName(TStream& Stream, const std::string& FileName) {
  ReleaseData();
  FData = std::make_unique<TInSPIAbleFromStream>(*this, Stream, FileName);
  LoadData();
}

void TSPIGraphic::LoadData() {
  try {
    FData->OnProgress = OnProgress;
    FData->Load();
    if (FData->IsEmpty()) throw EInvalidGraphic(kCouldNotDecode);
  } catch (...) {
    ReleaseData();
    throw;
  }
  Changed();
}

void TSPIGraphic::UpdateBitmapInfo() const {
  if (FDecodedDataBMInfo) return;
  TSPIDecodedLayout layout;
  // The data keeps only blocks whose sizes agree with their header, so the layout can be read.
  if (GetEmpty() || !ReadDecodedLayout(FData->BMInfo(), FData->BMInfoSize(), FData->BMBitsSize(), layout)) layout = {};
  FWidth = layout.Width;
  FHeight = layout.Height;
  FColorCount = layout.ColorCount;
  FInfoSize = layout.InfoSize;
  FBitsSize = layout.BitsSize;
  FPixelFormatIs4bit = layout.BitCount == 4;
  if (FPalette) DeleteObject(FPalette);
  FPalette = 0;
  if (FColorCount > 0) {
    LOGPALETTE logPalette{0x300, static_cast<uint16_t>(std::min(FColorCount, 256)), {}};
    const auto* colors = reinterpret_cast<const RGBQUAD*>(static_cast<const uint8_t*>(FData->BMInfo()) + 40);
    for (int i = 0; i < logPalette.palNumEntries; ++i)
      logPalette.palPalEntry[i] = PALETTEENTRY{colors[i].rgbRed, colors[i].rgbGreen, colors[i].rgbBlue, 0};
    FPalette = CreatePalette(logPalette);
  }
  FDecodedDataBMInfo = true;
}

int TSPIGraphic::GetWidth() const {
  UpdateBitmapInfo();
  return FWidth;
}

int TSPIGraphic::GetHeight() const {
  UpdateBitmapInfo();
  return FHeight;
}

HPALETTE TSPIGraphic::GetPalette() const {
  UpdateBitmapInfo();
  return FPalette;
}

bool TSPIGraphic::PixelFormatIs4bit() const {
  UpdateBitmapInfo();
  return FPixelFormatIs4bit;
}

void TSPIGraphic::Draw(TCanvas& ACanvas, const TRect& R) {
  UpdateBitmapInfo();
  if (GetEmpty()) return;
  HPALETTE oldPalette = 0;
  if (FPalette) {
    oldPalette = ACanvas.SelectPalette(FPalette, true);
    ACanvas.RealizePalette();
  }
  const int oldMode = ACanvas.SetStretchBltMode(COLORONCOLOR);
  // The source rectangle counts rows upwards whatever the row order, so it is as high as the picture.
  ACanvas.StretchDIBits(R.Left, R.Top, R.Width(), R.Height(), 0, 0, FWidth, std::abs(FHeight), FData->BMBits(),
                        static_cast<size_t>(FBitsSize), *static_cast<const BITMAPINFO*>(FData->BMInfo()),
                        DIB_RGB_COLORS, ACanvas.CopyMode);
  ACanvas.SetStretchBltMode(oldMode);
  if (FPalette) ACanvas.SelectPalette(oldPalette, true);
}

std::unique_ptr<TStream> TSPIGraphic::DIBFileImage() const {
  UpdateBitmapInfo();
  return std::make_unique<TSPIBmpFileStream>(FData->BMInfo(), FInfoSize, FData->BMBits(), FBitsSize);
}

void TSPIGraphic::SaveToStream(TStream& Stream) {
  UpdateBitmapInfo();
  if (GetEmpty()) return;
  const BITMAPFILEHEADER file = TSPIBmpFileStream::FileHeader(FInfoSize, FBitsSize);
  Stream.WriteBuffer(&file, sizeof(file));
  Stream.WriteBuffer(FData->BMInfo(), FInfoSize);
  Stream.WriteBuffer(FData->BMBits(), FBitsSize);
}

std::unique_ptr<TGraphic> TSPIGraphic::CreateAndAssignToDIBFileReadableGraphic(const TGraphicClass& DestClass) const {
  if (GetEmpty()) throw EInvalidGraphic(kCouldNotDecode);
  std::unique_ptr<TGraphic> graphic = DestClass.Create();
  // Read in place rather than through a copy in a memory stream: the pixel block can be large.
  const std::unique_ptr<TStream> image = DIBFileImage();
  graphic->LoadFromStream(*image);
  return graphic;
}

std::unique_ptr<TGraphic> TSPIGraphic::CreateAndConvertToDIBFileReadableGraphic(const TGraphicClass& DestClass) {
  if (GetEmpty()) throw EInvalidGraphic(kCouldNotDecode);
  std::unique_ptr<TGraphic> graphic = DestClass.Create();
  // A bitmap takes the decoded rows over as they are, where their layout is one it keeps.
  auto* bitmap = dynamic_cast<TBitmap*>(graphic.get());
  if (bitmap && RowsCanBeTakenOver(FData->BMInfo(), FData->BMInfoSize(), FData->BMBitsSize())) {
    const auto head = *static_cast<const BITMAPINFOHEADER*>(FData->BMInfo());
    bitmap->SetImage(ImageOverRows(FData->TakeBits(), head));
  } else {
    graphic->LoadFromStream(*DIBFileImage());
  }
  ReleaseData();
  return graphic;
}

std::unique_ptr<TGraphic> TSPIGraphic::CreateFromFile(const std::string& FileName, const TGraphicClass& AlternativeClass,
                                                      bool AlternativeFirst, const TProgressEvent& ProgressEvent) {
  const TGraphicClass* order[2] = {&StaticClass(), &AlternativeClass};
  if (AlternativeFirst) std::swap(order[0], order[1]);
  for (const TGraphicClass* graphicClass : order) {
    try {
      std::unique_ptr<TGraphic> graphic = graphicClass->Create();
      graphic->OnProgress = ProgressEvent;
      graphic->LoadFromFile(FileName);
      return graphic;
    } catch (...) {
      // Whatever stopped this class, the other one may still read the file.
    }
  }
  return nullptr;
}

std::unique_ptr<TGraphic> TSPIGraphic::CreateFromStreamWithName(TStream& Stream, const std::string& FileName,
                                                                const TGraphicClass& AlternativeClass,
                                                                bool AlternativeFirst,
                                                                const TProgressEvent& ProgressEvent) {
  const int64_t start = Stream.Position();
  const TGraphicClass* order[2] = {&StaticClass(), &AlternativeClass};
  if (AlternativeFirst) std::swap(order[0], order[1]);
  for (const TGraphicClass* graphicClass : order) {
    try {
      std::unique_ptr<TGraphic> graphic = graphicClass->Create();
      graphic->OnProgress = ProgressEvent;
      if (auto* decoded = dynamic_cast<TSPIGraphic*>(graphic.get())) decoded->LoadFromStreamWithName(Stream, FileName);
      else graphic->LoadFromStream(Stream);
      return graphic;
    } catch (...) {
      Stream.SetPosition(start);
    }
  }
  return nullptr;
}
