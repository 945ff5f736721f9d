#include "SPIBitmap.h"

#include "SPIRegistry.h"
#include "SPIText.h"
#include "platform/Picture.h"

#include <utility>

TV_DEFINE_GRAPHIC_CLASS(TSPIBitmap, &TBitmap::StaticClass())

namespace {

constexpr const char* kCouldNotDecode = "Susie Plugins could not decode";

// A palette handle owned until it is handed over.
struct TPaletteGuard {
  HPALETTE Handle = 0;
  ~TPaletteGuard() {
    if (Handle) DeleteObject(Handle);
  }
  HPALETTE Release() { return std::exchange(Handle, 0); }
};

// Plug-in extensions load as TSPIBitmap unless a program chooses another class before it searches.
struct TSPIBitmapRegistration {
  TSPIBitmapRegistration() {
    TPicture::FileFormatClass("bmp");  // the picture registry is made first, so it outlives this
    TSPIs::SetDefaultGraphic(&TSPIBitmap::StaticClass());
  }
  ~TSPIBitmapRegistration() { TPicture::UnregisterGraphicClass(TSPIBitmap::StaticClass()); }
} const SPIBitmapRegistration;

}  // namespace

TSPILoadFromStreamWithNameEvent TSPIBitmap::OnLoadFromStreamWithName() const {
  auto* self = const_cast<TSPIBitmap*>(this);
  return [self](TStream& Stream, const std::string& FileName) { self->LoadFromStreamWithName(Stream, FileName); };
}

TProgressEvent TSPIBitmap::ForwardProgress() {
  return [this](TGraphic&, TProgressStage Stage, int PercentDone, bool RedrawNow, const TRect& R, const std::string& Msg) {
    if (Stage != TProgressStage::psEnding) Progress(*this, Stage, PercentDone, RedrawNow, R, Msg);
  };
}

void TSPIBitmap::LoadedProgress() {
  Progress(*this, TProgressStage::psEnding, 100, true, Rect(0, 0, Width(), Height()), "Loaded Graphic");
}

void TSPIBitmap::LoadFromFile(const std::string& Filename) {
  const TGraphicClass& alternative = *ClassType().Parent;
  const bool alternativeFirst = UpperCase(ExtractFileExt(Filename)) == ".BMP";
  try {
    AssignDecodedGraphic(TSPIGraphic::CreateFromFile(Filename, alternative, alternativeFirst, ForwardProgress()));
  } catch (...) {
    LoadedProgress();
    throw;
  }
  LoadedProgress();
}

void TSPIBitmap::LoadFromStreamWithName(TStream& Stream, const std::string& FileName) {
  const TGraphicClass& alternative = *ClassType().Parent;
  const bool alternativeFirst = UpperCase(ExtractFileExt(FileName)) == ".BMP";
  try {
    AssignDecodedGraphic(
        TSPIGraphic::CreateFromStreamWithName(Stream, FileName, alternative, alternativeFirst, ForwardProgress()));
  } catch (...) {
    LoadedProgress();
    throw;
  }
  LoadedProgress();
}

void TSPIBitmap::AssignDecodedGraphic(std::unique_ptr<TGraphic> Graphic) {
  if (!Graphic) throw EInvalidGraphic(kCouldNotDecode);
  auto* decoded = dynamic_cast<TSPIGraphic*>(Graphic.get());
  if (!decoded) {
    Assign(Graphic.get());
    return;
  }
  TPaletteGuard palette;
  if (decoded->PixelFormatIs4bit()) palette.Handle = CopyPalette(decoded->Palette());
  const std::unique_ptr<TGraphic> converted = decoded->CreateAndConvertToDIBFileReadableGraphic(*ClassType().Parent);
  Assign(converted.get());
  if (palette.Handle) SetPalette(palette.Release());
}

void TSPIBitmap::Assign(const TPersistent* Source) {
  const auto* decoded = dynamic_cast<const TSPIGraphic*>(Source);
  if (!decoded) {
    TBitmap::Assign(Source);
    return;
  }
  const std::unique_ptr<TGraphic> copy = decoded->CreateAndAssignToDIBFileReadableGraphic(*ClassType().Parent);
  TBitmap::Assign(copy.get());
  if (decoded->PixelFormatIs4bit()) SetPalette(CopyPalette(decoded->Palette()));
}
