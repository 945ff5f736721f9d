#pragma once
// The picture loader: a holder of one graphic, and the registry of graphic classes by file
// extension and by clipboard format. The class registered last for a key wins.

#include "Graphics.h"

#include <memory>
#include <string>
#include <vector>

class TBitmap;

class TPicture {
public:
  TPicture() = default;
  TPicture(const TPicture&) = delete;
  TPicture& operator=(const TPicture&) = delete;

  TGraphic* Graphic() const { return FGraphic.get(); }
  // Holds a copy of the graphic: a new object of its class that assigns from it.
  void SetGraphic(const TGraphic* Value);
  void SetGraphic(std::unique_ptr<TGraphic> Value);
  // The held graphic as a bitmap; anything else is replaced by an empty bitmap.
  TBitmap& Bitmap();
  int Width() const { return FGraphic ? FGraphic->Width() : 0; }
  int Height() const { return FGraphic ? FGraphic->Height() : 0; }

  // Creates the class registered for the file's extension and loads the file into it; the held
  // graphic changes only when the load succeeds.
  void LoadFromFile(const std::string& FileName);
  void SaveToFile(const std::string& FileName);
  void LoadFromClipboardFormat(uint16_t AFormat, HGLOBAL AData, HPALETTE APalette);

  std::function<void(TPicture&)> OnChange;
  TProgressEvent OnProgress;

  // Extensions are taken without the dot and compared without regard to case.
  static void RegisterFileFormat(const std::string& AExtension, const std::string& ADescription,
                                 const TGraphicClass& AGraphicClass);
  static void RegisterClipboardFormat(uint16_t AFormat, const TGraphicClass& AGraphicClass);
  // Removes every registration of the class and of classes derived from it.
  static void UnregisterGraphicClass(const TGraphicClass& AClass);
  static const TGraphicClass* FileFormatClass(const std::string& AExtension);
  static const TGraphicClass* ClipboardFormatClass(uint16_t AFormat);
  static bool SupportsClipboardFormat(uint16_t AFormat) { return ClipboardFormatClass(AFormat) != nullptr; }
  // "Description (*.ext)" pairs of every registered extension, newest first.
  static std::vector<std::pair<std::string, std::string>> FileFormats();

private:
  void Install(std::unique_ptr<TGraphic> graphic);
  TProgressEvent ProgressForwarder();

  std::unique_ptr<TGraphic> FGraphic;
};

constexpr uint16_t CF_BITMAP = 2;
constexpr uint16_t CF_DIB = 8;
constexpr uint16_t CF_PALETTE = 9;
