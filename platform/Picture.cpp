#include "Picture.h"

#include "Bitmap.h"
#include "Exceptions.h"

#include <algorithm>
#include <mutex>

namespace {

struct TFileFormat {
  std::string Extension;
  std::string Description;
  const TGraphicClass* GraphicClass;
};

struct TClipboardFormat {
  uint16_t Format;
  const TGraphicClass* GraphicClass;
};

struct TFormatRegistry {
  std::mutex Mutex;
  std::vector<TFileFormat> FileFormats;
  std::vector<TClipboardFormat> ClipboardFormats;
};

std::string LowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// Units register their classes from static initialisers, so the registry must exist before any of
// them runs: it is made on first use, with the bitmap class that every program knows.
TFormatRegistry& Registry() {
  static TFormatRegistry registry{{}, {{"bmp", "Bitmaps", &TBitmap::StaticClass()}}, {{CF_BITMAP, &TBitmap::StaticClass()}}};
  return registry;
}

std::string ExtensionOf(const std::string& fileName) {
  const size_t slash = fileName.find_last_of('/');
  const size_t dot = fileName.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return LowerCase(fileName.substr(dot + 1));
}

}  // namespace

void TPicture::RegisterFileFormat(const std::string& AExtension, const std::string& ADescription,
                                  const TGraphicClass& AGraphicClass) {
  TFormatRegistry& registry = Registry();
  std::lock_guard lock(registry.Mutex);
  registry.FileFormats.push_back({LowerCase(AExtension), ADescription, &AGraphicClass});
}

void TPicture::RegisterClipboardFormat(uint16_t AFormat, const TGraphicClass& AGraphicClass) {
  TFormatRegistry& registry = Registry();
  std::lock_guard lock(registry.Mutex);
  registry.ClipboardFormats.push_back({AFormat, &AGraphicClass});
}

void TPicture::UnregisterGraphicClass(const TGraphicClass& AClass) {
  TFormatRegistry& registry = Registry();
  std::lock_guard lock(registry.Mutex);
  std::erase_if(registry.FileFormats, [&](const TFileFormat& f) { return f.GraphicClass->InheritsFrom(AClass); });
  std::erase_if(registry.ClipboardFormats, [&](const TClipboardFormat& f) { return f.GraphicClass->InheritsFrom(AClass); });
}

const TGraphicClass* TPicture::FileFormatClass(const std::string& AExtension) {
  TFormatRegistry& registry = Registry();
  std::lock_guard lock(registry.Mutex);
  const std::string extension = LowerCase(AExtension);
  for (auto it = registry.FileFormats.rbegin(); it != registry.FileFormats.rend(); ++it)
    if (it->Extension == extension) return it->GraphicClass;
  return nullptr;
}

const TGraphicClass* TPicture::ClipboardFormatClass(uint16_t AFormat) {
  TFormatRegistry& registry = Registry();
  std::lock_guard lock(registry.Mutex);
  for (auto it = registry.ClipboardFormats.rbegin(); it != registry.ClipboardFormats.rend(); ++it)
    if (it->Format == AFormat) return it->GraphicClass;
  return nullptr;
}

std::vector<std::pair<std::string, std::string>> TPicture::FileFormats() {
  TFormatRegistry& registry = Registry();
  std::lock_guard lock(registry.Mutex);
  std::vector<std::pair<std::string, std::string>> formats;
  for (auto it = registry.FileFormats.rbegin(); it != registry.FileFormats.rend(); ++it)
    formats.emplace_back(it->Extension, it->Description);
  return formats;
}

TProgressEvent TPicture::ProgressForwarder() {
  return [this](TGraphic& sender, TProgressStage stage, int percent, bool redraw, const TRect& r, const std::string& msg) {
    if (OnProgress) OnProgress(sender, stage, percent, redraw, r, msg);
  };
}

void TPicture::Install(std::unique_ptr<TGraphic> graphic) {
  FGraphic = std::move(graphic);
  if (FGraphic) {
    FGraphic->OnChange = [this](TGraphic&) {
      if (OnChange) OnChange(*this);
    };
    FGraphic->OnProgress = ProgressForwarder();
  }
  if (OnChange) OnChange(*this);
}

void TPicture::SetGraphic(const TGraphic* Value) {
  if (!Value) {
    Install(nullptr);
    return;
  }
  std::unique_ptr<TGraphic> copy = Value->ClassType().Create();
  copy->Assign(Value);
  Install(std::move(copy));
}

void TPicture::SetGraphic(std::unique_ptr<TGraphic> Value) { Install(std::move(Value)); }

TBitmap& TPicture::Bitmap() {
  if (auto* bitmap = dynamic_cast<TBitmap*>(FGraphic.get())) return *bitmap;
  Install(std::make_unique<TBitmap>());
  return static_cast<TBitmap&>(*FGraphic);
}

void TPicture::LoadFromFile(const std::string& FileName) {
  const std::string extension = ExtensionOf(FileName);
  const TGraphicClass* graphicClass = FileFormatClass(extension);
  if (!graphicClass) throw EInvalidGraphic("Unknown picture file extension (." + extension + ")");
  std::unique_ptr<TGraphic> graphic = graphicClass->Create();
  graphic->OnProgress = ProgressForwarder();
  graphic->LoadFromFile(FileName);
  Install(std::move(graphic));
}

void TPicture::SaveToFile(const std::string& FileName) {
  if (FGraphic) FGraphic->SaveToFile(FileName);
}

void TPicture::LoadFromClipboardFormat(uint16_t AFormat, HGLOBAL AData, HPALETTE APalette) {
  const TGraphicClass* graphicClass = ClipboardFormatClass(AFormat);
  if (!graphicClass) throw EInvalidGraphic("Unsupported clipboard format");
  std::unique_ptr<TGraphic> graphic = graphicClass->Create();
  graphic->LoadFromClipboardFormat(AFormat, AData, APalette);
  Install(std::move(graphic));
}
