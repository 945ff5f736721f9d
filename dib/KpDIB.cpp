#include "KpDIB.h"

#include "KpHalftone.h"
#include "platform/Picture.h"

#include <cstdlib>
#include <cstring>

bool DefaultUseFMO = true;

TV_DEFINE_GRAPHIC_CLASS(TKpDIB, nullptr)

namespace {

struct TSharedPalettes {
  HPALETTE Halftone = 0;
  HPALETTE HalftoneBW = 0;
  ~TSharedPalettes() {
    if (Halftone) DeleteObject(Halftone);
    if (HalftoneBW) DeleteObject(HalftoneBW);
  }
};

TSharedPalettes& SharedPalettes() {
  static TSharedPalettes palettes;
  return palettes;
}

// The library's registration with the picture loader lasts as long as the program.
struct TKpDIBRegistration {
  TKpDIBRegistration() {
    SharedPalettes();  // made first so that it is destroyed after the registration goes
    TPicture::RegisterFileFormat("dib", "Device Independent Bitmap", TKpDIB::StaticClass());
    TPicture::RegisterClipboardFormat(CF_DIB, TKpDIB::StaticClass());
  }
  ~TKpDIBRegistration() { TPicture::UnregisterGraphicClass(TKpDIB::StaticClass()); }
} const KpDIBRegistration;

HPALETTE MakeSharedPalette(HPALETTE& slot, const RGBQUAD* colors, int count) {
  if (!slot) {
    LOGPALETTE logPalette{0x300, static_cast<uint16_t>(count), {}};
    for (int i = 0; i < count; ++i) logPalette.palPalEntry[i] = {colors[i].rgbRed, colors[i].rgbGreen, colors[i].rgbBlue, 0};
    slot = CreatePalette(logPalette);
    if (!slot) throw EOutOfResources("TKpDIB.GetPalette: Cannot Make Palette(1)");
  }
  return slot;
}

RGBQUAD ToRGBQuad(TColor color) {
  const uint32_t rgb = ColorToRGB(color);
  return RGBQUAD{GetBValue(rgb), GetGValue(rgb), GetRValue(rgb), 0};
}

bool IsCompressed(const TKpInternalDIB& dib) { return dib.DIBInfos.W3Head.biCompression != BI_RGB; }

}  // namespace

HPALETTE HalftonePalette() {
  RGBQUAD colors[215];
  GetHalftoneColors(colors);
  return MakeSharedPalette(SharedPalettes().Halftone, colors, 215);
}

HPALETTE HalftoneBWPalette() {
  static const RGBQUAD colors[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  return MakeSharedPalette(SharedPalettes().HalftoneBW, colors, 2);
}

TKpDIB::TKpDIB() : InternalDIB(new TKpInternalDIB(DefaultUseFMO)) { UpdatePaletteModified(); }

TKpDIB::~TKpDIB() { ReleaseInternalDIB(); }

void TKpDIB::ReleaseInternalDIB() {
  if (InternalDIB && --InternalDIB->RefCount == 0) delete InternalDIB;
  InternalDIB = nullptr;
}

void TKpDIB::UniqueDIB(bool NotePaletteChange) {
  if (InternalDIB->RefCount <= 1) return;
  auto copy = std::make_unique<TKpInternalDIB>(InternalDIB->UseFMO);
  copy->CopyFrom(*InternalDIB);
  ReleaseInternalDIB();
  InternalDIB = copy.release();
  if (NotePaletteChange) UpdatePaletteModified();
}

void TKpDIB::UpdatePaletteModified() {
  KpAssert(InternalDIB->RefCount == 1, "TKpDIB.UpdatePaletteModified RefCount Must be 1");
  if (InternalDIB->PaletteModified) {
    InternalDIB->PaletteModified = false;
    SetPaletteModified(true);
  }
}

void TKpDIB::InstallInternalDIB(std::unique_ptr<TKpInternalDIB> Storage) {
  ReleaseInternalDIB();
  InternalDIB = Storage.release();
  UpdatePaletteModified();
  SetModified(true);
}

std::unique_ptr<TKpInternalDIB> TKpDIB::NewBlankStorage(int32_t AWidth, int32_t AHeight, int32_t ClrUsed,
                                                        int32_t BitCount) const {
  auto storage = std::make_unique<TKpInternalDIB>(InternalDIB->UseFMO);
  storage->FreeDIB();
  storage->CreateDIB(AWidth, AHeight, ClrUsed, BitCount);
  return storage;
}

void TKpDIB::LoadFromStream(TStream& Stream) {
  auto storage = std::make_unique<TKpInternalDIB>(InternalDIB->UseFMO);
  storage->LoadFromStream(Stream);
  InstallInternalDIB(std::move(storage));
}

void TKpDIB::SaveToStream(TStream& Stream) { InternalDIB->SaveToStream(Stream); }

void TKpDIB::LoadFromClipboardFormat(uint16_t AFormat, HGLOBAL AData, HPALETTE) {
  if (AFormat != CF_DIB || AData == 0)
    throw EInvalidGraphic("TKpDIB.LoadFromClipboardFormat: Invalid Clipboard Format or No Data");
  auto storage = std::make_unique<TKpInternalDIB>(InternalDIB->UseFMO);
  storage->LoadFromClipboardFormat(AData);
  InstallInternalDIB(std::move(storage));
}

void TKpDIB::SaveToClipboardFormat(uint16_t& AFormat, HGLOBAL& AData, HPALETTE& APalette) {
  AFormat = CF_DIB;
  APalette = 0;
  AData = InternalDIB->SaveToClipboardFormat();
}

void TKpDIB::SetWidthValue(int Value) {
  if (Value <= 0) throw EKpDIBInvalidDIBPara("TKpDIB.SetWidth: Invalid Width");
  if (Value == InternalDIB->Width) return;
  const BITMAPINFOHEADER& head = InternalDIB->DIBInfos.W3Head;
  InstallInternalDIB(NewBlankStorage(Value, InternalDIB->Height, static_cast<int32_t>(head.biClrUsed), head.biBitCount));
}

void TKpDIB::SetHeightValue(int Value) {
  if (Value == 0) throw EKpDIBInvalidDIBPara("TKpDIB.SetWidth: Invalid Height");
  if (Value == InternalDIB->Height) return;
  const BITMAPINFOHEADER& head = InternalDIB->DIBInfos.W3Head;
  InstallInternalDIB(NewBlankStorage(InternalDIB->Width, Value, static_cast<int32_t>(head.biClrUsed), head.biBitCount));
}

void TKpDIB::SetBitCount(int Value) {
  if (Value != 1 && Value != 4 && Value != 8 && Value != 24) throw EKpDIBInvalidDIBPara("TKpDIB.SetBitCount: Invalid BitCount");
  if (Value == GetBitCount()) return;
  InstallInternalDIB(NewBlankStorage(InternalDIB->Width, InternalDIB->Height, static_cast<int32_t>(DefaultClrUsed(Value)), Value));
}

void TKpDIB::SetPaletteSize(int Value) {
  if (GetBitCount() == 24) {
    if (Value < 0 || Value > 256) throw EKpDIBPaletteIndexRange("TKpDIB.SetPaletteSize: Palette Index is Out of Range 1");
  } else if (Value < 1 || Value > 256) {
    throw EKpDIBPaletteIndexRange("TKpDIB.SetPaletteSize: Palette Index is Out of Range 2");
  }
  if (Value == GetPaletteSize()) return;
  UniqueDIB();
  InternalDIB->DIBInfos.W3Head.biClrUsed = static_cast<uint32_t>(Value);
  InternalDIB->DIBInfos.W3Head.biClrImportant = 0;
  InternalDIB->UpdatePalette();
  UpdatePaletteModified();
  SetModified(true);
}

TColor TKpDIB::GetColors(int Index) const {
  if (Index < 0 || Index > 255) throw EKpDIBPaletteIndexRange("TKpDIB.GetColors: Palette Index is Out of Range");
  const RGBQUAD& c = InternalDIB->DIBInfos.Colors()[Index];
  return static_cast<TColor>(RGB(c.rgbRed, c.rgbGreen, c.rgbBlue));
}

void TKpDIB::SetColors(int Index, TColor Value) {
  if (Index < 0 || Index > 255) throw EKpDIBPaletteIndexRange("TKpDIB.GetColors: Palette Index is Out of Range");
  UniqueDIB();
  InternalDIB->DIBInfos.Colors()[Index] = ToRGBQuad(Value);
  InternalDIB->UpdatePalette();
  UpdatePaletteModified();
  SetModified(true);
}

uint8_t* TKpDIB::PixelRow(int Y) const {
  const TKpDIBInfos& infos = InternalDIB->DIBInfos;
  const int64_t row = infos.W3Head.biHeight < 0 ? Y : InternalDIB->Height - 1 - Y;
  return infos.pBits + row * RowBytes(infos);
}

int32_t TKpDIB::GetPixels(int X, int Y) const {
  if (IsCompressed(*InternalDIB)) throw EKpDIBBadDIBType("TKpDIB.GetPixels: Bad DIB Type");
  if (X < 0 || X >= InternalDIB->Width || Y < 0 || Y >= InternalDIB->Height)
    throw EKpDIBPixelPositionRange("TKpDIB.GetPixels: Pixel Position is Out of Range");
  const uint8_t* row = PixelRow(Y);
  switch (GetBitCount()) {
    case 8: return row[X];
    case 24: return static_cast<int32_t>(RGB(row[3 * X + 2], row[3 * X + 1], row[3 * X]));
    case 4: return X % 2 == 0 ? row[X / 2] >> 4 : row[X / 2] & 15;
    case 1: return (row[X / 8] & (0x80 >> (X % 8))) ? 1 : 0;
    default: throw EKpDIBInvalidDIB("TKpDIB.GetPixels: GetPixel supports only Uncompressed DIB");
  }
}

void TKpDIB::SetPixels(int X, int Y, int32_t Value) {
  UniqueDIB(false);
  if (IsCompressed(*InternalDIB)) throw EKpDIBBadDIBType("TKpDIB.SetPixels: Bad DIB Type");
  if (X < 0 || X >= InternalDIB->Width || Y < 0 || Y >= InternalDIB->Height)
    throw EKpDIBPixelPositionRange("TKpDIB.SetPixels: Pixel Position is Out of Range");
  uint8_t* row = PixelRow(Y);
  switch (GetBitCount()) {
    case 8:
      if (Value < 0 || Value > 255) throw ERangeError("Range check error");
      row[X] = static_cast<uint8_t>(Value);
      break;
    case 24:
      if (Value < 0) throw ERangeError("Range check error");
      row[3 * X] = static_cast<uint8_t>(Value >> 16);
      row[3 * X + 1] = static_cast<uint8_t>(Value >> 8);
      row[3 * X + 2] = static_cast<uint8_t>(Value);
      break;
    case 4:
      row[X / 2] = X % 2 == 0 ? static_cast<uint8_t>((row[X / 2] & 0x0F) | (Value & 15) << 4)
                              : static_cast<uint8_t>((row[X / 2] & 0xF0) | (Value & 15));
      break;
    case 1:
      if (Value != 0) row[X / 8] |= static_cast<uint8_t>(0x80 >> (X % 8));
      else row[X / 8] &= static_cast<uint8_t>(~(0x80 >> (X % 8)));
      break;
    default: throw EKpDIBInvalidDIB("TKpDIB.SetPixels: GetPixel supports only Uncompressed 8 or 24 bit DIB");
  }
}

uint8_t* TKpDIB::GetScanLine(int Y) {
  UniqueDIB();
  if (Y < 0 || Y >= InternalDIB->Height) throw EKpDIBPixelPositionRange("TKpDIB.GetScanLine: y is Out of Range");
  if (IsCompressed(*InternalDIB)) throw EKpDIBBadDIBType("TKpDIB.GetScanLine: Bad DIB Type");
  return PixelRow(Y);
}

HPALETTE TKpDIB::OwnPalette() const {
  if (!InternalDIB->Palette && InternalDIB->DIBInfos.W3Head.biClrUsed > 0)
    InternalDIB->Palette = GetPaletteFromDIBInfos(InternalDIB->DIBInfos);
  return InternalDIB->Palette;
}

HPALETTE TKpDIB::GetPalette() const {
  switch (FHalftoneMode) {
    case kpHtHalftone: return HalftonePalette();
    case kpHtHalftoneBW: return HalftoneBWPalette();
    default: return OwnPalette();
  }
}

void TKpDIB::SetPaletteValue(HPALETTE Value) {
  UniqueDIB();
  TKpDIBInfos& infos = InternalDIB->DIBInfos;
  if (Value) {
    PALETTEENTRY entries[256];
    const uint32_t count = GetPaletteEntries(Value, 0, 256, entries);
    if (count == 0) throw EKpDIBInvalidPalette("TKpDIB.SetPalette: Invalid Palette");
    infos.W3Head.biClrUsed = count;
    for (uint32_t i = 0; i < count; ++i) infos.Colors()[i] = RGBQUAD{entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
    if (InternalDIB->Palette && InternalDIB->Palette != Value) DeleteObject(InternalDIB->Palette);
    InternalDIB->Palette = Value;
  } else {
    infos.W3Head.biClrUsed = 0;
    if (InternalDIB->Palette) DeleteObject(InternalDIB->Palette);
    InternalDIB->Palette = 0;
  }
  InternalDIB->PaletteModified = true;
  UpdatePaletteModified();
  SetModified(true);
}

void TKpDIB::SetHalftoneMode(TKpHalftoneMode Value) {
  if (Value == FHalftoneMode) return;
  FHalftoneMode = Value;
  SetPaletteModified(true);
  SetModified(true);
}

void TKpDIB::SetXPelsPerMeter(int32_t Value) {
  UniqueDIB();
  InternalDIB->DIBInfos.W3Head.biXPelsPerMeter = Value;
  SetModified(true);
}

void TKpDIB::SetYPelsPerMeter(int32_t Value) {
  UniqueDIB();
  InternalDIB->DIBInfos.W3Head.biYPelsPerMeter = Value;
  SetModified(true);
}

void TKpDIB::SetUseFMO(bool Value) {
  if (Value == InternalDIB->UseFMO) return;
  auto storage = std::make_unique<TKpInternalDIB>(Value);
  storage->CopyFrom(*InternalDIB);
  ReleaseInternalDIB();
  InternalDIB = storage.release();
  UpdatePaletteModified();
}

void TKpDIB::Assign(const TPersistent* Source) {
  if (!Source) {
    InstallInternalDIB(std::make_unique<TKpInternalDIB>(InternalDIB->UseFMO));
    return;
  }
  if (const auto* dib = dynamic_cast<const TKpDIB*>(Source)) {
    if (dib == this) return;
    ReleaseInternalDIB();
    InternalDIB = dib->InternalDIB;
    ++InternalDIB->RefCount;
    FBGColor = dib->FBGColor;
    FConvertMode = dib->FConvertMode;
    FHalftoneMode = dib->FHalftoneMode;
    SetPaletteModified(true);
    SetModified(true);
    return;
  }
  if (const auto* bitmap = dynamic_cast<const TBitmap*>(Source)) {
    AssignFromBitmap(*bitmap);
    return;
  }
  TKpGraphic::Assign(Source);
}

void TKpDIB::AssignFromBitmap(const TBitmap& Bitmap) {
  int bits = Bitmap.BitsPerPixel();
  if (bits == 16 || bits == 32) bits = 24;
  auto storage = std::make_unique<TKpInternalDIB>(InternalDIB->UseFMO);
  storage->FreeDIB();
  storage->CreateDIB(Bitmap.Width(), Bitmap.Height(), 0, bits);
  Bitmap.GetDIBits(storage->DIBInfos.W3HeadInfo, storage->DIBInfos.pBits);
  BITMAPINFOHEADER& head = storage->DIBInfos.W3Head;
  if (head.biClrUsed == 0) head.biClrUsed = DefaultClrUsed(bits);
  if (head.biXPelsPerMeter == 0) head.biXPelsPerMeter = kDefaultPelsPerMeter;
  if (head.biYPelsPerMeter == 0) head.biYPelsPerMeter = kDefaultPelsPerMeter;
  storage->UpdatePalette();
  InstallInternalDIB(std::move(storage));
}

void TKpDIB::AssignTo(TPersistent& Dest) const {
  if (auto* dib = dynamic_cast<TKpDIB*>(&Dest)) {
    dib->Assign(this);
    return;
  }
  if (auto* bitmap = dynamic_cast<TBitmap*>(&Dest)) {
    AssignToBitmap(*bitmap);
    return;
  }
  TKpGraphic::AssignTo(Dest);
}

void TKpDIB::AssignToBitmap(TBitmap& Bitmap) const {
  Bitmap.SetHeight(Height());
  Bitmap.SetWidth(Width());
  switch (GetPixelFormat()) {
    case kpPf1Bit: Bitmap.SetPixelFormat(pf1bit); break;
    case kpPf4Bit:
    case kpPf4BitRLE: Bitmap.SetPixelFormat(pf4bit); break;
    case kpPf8Bit:
    case kpPf8BitRLE: Bitmap.SetPixelFormat(pf8bit); break;
    case kpPf24Bit: Bitmap.SetPixelFormat(pf24bit); break;
    default: KpAssert(false, "TKpDIB.AssignTo: Illegal PixelFormat");
  }
  const HPALETTE own = OwnPalette();
  Bitmap.SetPalette(own ? CopyPalette(own) : 0);
  TCanvas& canvas = Bitmap.Canvas();
  canvas.StretchDIBits(0, 0, Width(), Height(), 0, 0, Width(), Height(), InternalDIB->DIBInfos.pBits,
                       static_cast<size_t>(InternalDIB->DIBInfos.BitsSize), InternalDIB->DIBInfos.W3HeadInfo, DIB_RGB_COLORS,
                       SRCCOPY);
}

void TKpDIB::Draw(TCanvas& ACanvas, const TRect& R) {
  if (FHalftoneMode == kpHtNoHalftone) DrawPlain(ACanvas, R);
  else DrawHalftoned(ACanvas, R);
}

void TKpDIB::DrawPlain(TCanvas& ACanvas, const TRect& R) const {
  const HPALETTE palette = OwnPalette();
  HPALETTE oldPalette = 0;
  if (palette) {
    oldPalette = ACanvas.SelectPalette(palette, true);
    ACanvas.RealizePalette();
  }
  const int oldMode = ACanvas.SetStretchBltMode(COLORONCOLOR);
  const TKpDIBInfos& infos = InternalDIB->DIBInfos;
  ACanvas.StretchDIBits(R.Left, R.Top, R.Width(), R.Height(), 0, 0, Width(), Height(), infos.pBits,
                        static_cast<size_t>(infos.BitsSize), infos.W3HeadInfo, DIB_RGB_COLORS, ACanvas.CopyMode);
  ACanvas.SetStretchBltMode(oldMode);
  if (palette) ACanvas.SelectPalette(oldPalette, true);
}

void TKpDIB::DrawHalftoned(TCanvas& ACanvas, const TRect& R) {
  const int width = std::abs(R.Width());
  const int height = std::abs(R.Height());
  if (width == 0 || height == 0) return;
  const TKpHalftoneMode mode = FHalftoneMode;
  TKpDIB temporary;
  temporary.SetUseFMO(true);
  temporary.SetBitCount(GetBitCount());
  temporary.SetWidth(width);
  temporary.SetHeight(height);
  const HPALETTE own = OwnPalette();
  temporary.SetPalette(own ? CopyPalette(own) : 0);
  struct TRestoreMode {
    TKpDIB& DIB;
    TKpHalftoneMode Mode;
    ~TRestoreMode() { DIB.FHalftoneMode = Mode; }
  } restore{*this, mode};
  FHalftoneMode = kpHtNoHalftone;
  {
    TKpDIBCanvas canvas(&temporary);
    canvas.StretchDraw(Rect(0, 0, width, height), *this);
  }
  temporary.SetPixelFormat(mode == kpHtHalftone ? kpPfHalftone : kpPfHalftoneBW);
  temporary.DrawPlain(ACanvas, R);
}

void TKpDIB::InitProgress(int Max, const std::string& Text) {
  ProgressString = Text;
  MaxNumberOfProgresses = Max;
  NumberOfProgresses = 0;
}

void TKpDIB::StartProgress() {
  Progress(*this, TProgressStage::psStarting, 0, false, Rect(0, 0, Width(), Height()), ProgressString);
}

void TKpDIB::StepProgress() {
  ++NumberOfProgresses;
  if (NumberOfProgresses == MaxNumberOfProgresses) return;
  Progress(*this, TProgressStage::psRunning, NumberOfProgresses * 100 / MaxNumberOfProgresses, false,
           Rect(0, 0, Width(), Height()), ProgressString);
}

void TKpDIB::EndProgress() {
  Progress(*this, TProgressStage::psEnding, 100, true, Rect(0, 0, Width(), Height()), ProgressString);
}

void TKpDIB::SetPixelFormat(TKpPixelFormat Value) {
  const TKpPixelFormat current = GetPixelFormat();
  if (Value == current) return;
  UniqueDIB();
  struct TProgressStep {
    TKpPixelFormat From, To;
    int Steps;
    const char* Text;
  };
  static constexpr TProgressStep kProgressSteps[] = {
      {kpPf8Bit, kpPf4Bit, 16, "PixelFormat 8Bit -> 4Bit"},          {kpPf8Bit, kpPf4BitRLE, 16, "PixelFormat 8Bit -> 4BitRLE"},
      {kpPf8BitRLE, kpPf4Bit, 16, "PixelFormat 8BitRLE -> 4Bit"},    {kpPf8BitRLE, kpPf4BitRLE, 16, "PixelFormat 8BitRLE -> 4BitRLE"},
      {kpPf24Bit, kpPf4Bit, 16, "PixelFormat 24Bit -> 4Bit"},        {kpPf24Bit, kpPf4BitRLE, 16, "PixelFormat 24Bit -> 4BitRLE"},
      {kpPf24Bit, kpPf8Bit, 256, "PixelFormat 24Bit -> 8Bit"},       {kpPf24Bit, kpPf8BitRLE, 256, "PixelFormat 24Bit -> 8BitRLE"},
  };
  bool reporting = false;
  for (const TProgressStep& step : kProgressSteps) {
    if (step.From == current && step.To == Value) {
      InitProgress(step.Steps, step.Text);
      StartProgress();
      reporting = true;
    }
  }
  {
    // The palette flag and the closing report follow the change also when it fails.
    struct TFinish {
      TKpDIB& DIB;
      bool Reporting;
      ~TFinish() {
        DIB.UpdatePaletteModified();
        if (Reporting) DIB.EndProgress();
      }
    } finish{*this, reporting};
    InternalDIB->SetPixelFormat(Value, FConvertMode, [this] { StepProgress(); }, ColorToRGB(FBGColor));
  }
  SetModified(true);
}

void TKpDIB::CreateTrueColorPalette() {
  UniqueDIB();
  InitProgress(256, "Create True Color Palette");
  StartProgress();
  {
    struct TFinish {
      TKpDIB& DIB;
      ~TFinish() {
        DIB.UpdatePaletteModified();
        DIB.EndProgress();
      }
    } finish{*this};
    InternalDIB->CreateTrueColorPalette(FConvertMode, [this] { StepProgress(); });
  }
  SetModified(true);
}

TKpDIBCanvas::TKpDIBCanvas(TKpDIB* ADIB) : DIB(ADIB) {
  if (!ADIB || !ADIB->GetUseFMO()) throw EKpDIBCanvasFailed("TKpDIBCanvas.Create: Cannot Create Canvas");
  ADIB->UniqueDIB();
  const HPALETTE own = ADIB->OwnPalette();
  if (own) {
    OldPalette = SelectPalette(own, true);
    RealizePalette();
  }
  const TKpDIBInfos& infos = ADIB->InternalDIB->DIBInfos;
  FSection = TDIBSection::Create(infos.W3HeadInfo, infos.hFile, static_cast<size_t>(infos.BitsSize));
  if (!FSection) throw EOutOfResources("TKpDIBCanvas.Create: Cannot Create Memory DC");
  SetSurface(&FSection->Image(), FSection->BottomUp());
}

TKpDIBCanvas::~TKpDIBCanvas() {
  SetSurface(nullptr);
  FSection.reset();
  SelectPalette(OldPalette, true);
  DIB->UpdatePaletteModified();
  DIB->Changed();
}
