#include "SPIKpDIB.h"

#include "SPIText.h"
#include "platform/Picture.h"

#include <QGuiApplication>
#include <QScreen>

TV_DEFINE_GRAPHIC_CLASS(TSPIKpDIB, &TKpDIB::StaticClass())

namespace {

constexpr const char* kCouldNotDecode = "Susie Plugins could not decode";

struct TSPIKpDIBRegistration {
  TSPIKpDIBRegistration() { TPicture::FileFormatClass("bmp"); }  // the picture registry outlives this
  ~TSPIKpDIBRegistration() { TPicture::UnregisterGraphicClass(TSPIKpDIB::StaticClass()); }
} const SPIKpDIBRegistration;

}  // namespace

bool ScreenIs8BitOrLess() {
  static const bool answer = [] {
    const QScreen* screen = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::primaryScreen() : nullptr;
    return screen && screen->depth() < 9;
  }();
  return answer;
}

void TSPIKpDIB::Changed() {
  const int bits = GetBitCount();
  if ((bits == 16 || bits == 24 || bits == 32) && !GetPalette() &&
      (FPaletteOption == sdpAllways || (FPaletteOption == sdpDev8bit && ScreenIs8BitOrLess())))
    CreateTrueColorPalette();
  TKpDIB::Changed();
}

void TSPIKpDIB::Assign(const TPersistent* Source) {
  if (const auto* decoded = dynamic_cast<const TSPIGraphic*>(Source)) {
    const std::unique_ptr<TGraphic> copy = decoded->CreateAndAssignToDIBFileReadableGraphic(TKpDIB::StaticClass());
    TKpDIB::Assign(copy.get());
    return;
  }
  if (const auto* dib = dynamic_cast<const TSPIKpDIB*>(Source)) FPaletteOption = dib->FPaletteOption;
  TKpDIB::Assign(Source);
}

TSPILoadFromStreamWithNameEvent TSPIKpDIB::OnLoadFromStreamWithName() const {
  auto* self = const_cast<TSPIKpDIB*>(this);
  return [self](TStream& Stream, const std::string& FileName) { self->LoadFromStreamWithName(Stream, FileName); };
}

TProgressEvent TSPIKpDIB::ForwardProgress() {
  return [this](TGraphic&, TProgressStage Stage, int PercentDone, bool RedrawNow, const TRect& R, const std::string& Msg) {
    if (Stage != TProgressStage::psEnding) Progress(*this, Stage, PercentDone, RedrawNow, R, Msg);
  };
}

void TSPIKpDIB::LoadedProgress() {
  Progress(*this, TProgressStage::psEnding, 100, true, Rect(0, 0, Width(), Height()), "Loaded Graphic");
}

void TSPIKpDIB::LoadFromFile(const std::string& Filename) {
  const bool alternativeFirst = UpperCase(ExtractFileExt(Filename)) == ".BMP";
  try {
    AssignDecodedGraphic(
        TSPIGraphic::CreateFromFile(Filename, TKpDIB::StaticClass(), alternativeFirst, ForwardProgress()));
  } catch (...) {
    LoadedProgress();
    throw;
  }
  LoadedProgress();
}

void TSPIKpDIB::LoadFromStreamWithName(TStream& Stream, const std::string& FileName) {
  const bool alternativeFirst = UpperCase(ExtractFileExt(FileName)) == ".BMP";
  try {
    AssignDecodedGraphic(TSPIGraphic::CreateFromStreamWithName(Stream, FileName, TKpDIB::StaticClass(),
                                                               alternativeFirst, ForwardProgress()));
  } catch (...) {
    LoadedProgress();
    throw;
  }
  LoadedProgress();
}

void TSPIKpDIB::AssignDecodedGraphic(std::unique_ptr<TGraphic> Graphic) {
  if (!Graphic) throw EInvalidGraphic(kCouldNotDecode);
  if (auto* decoded = dynamic_cast<TSPIGraphic*>(Graphic.get())) {
    const std::unique_ptr<TGraphic> converted = decoded->CreateAndConvertToDIBFileReadableGraphic(TKpDIB::StaticClass());
    Assign(converted.get());
    return;
  }
  Assign(Graphic.get());
}
