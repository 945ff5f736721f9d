#pragma once
// The graphic classes' common ground: rectangles, assignable objects, graphic metaclasses (so a
// class can be registered and created by name of its kind) and the abstract graphic.

#include "Palettes.h"
#include "GlobalMemory.h"
#include "Streams.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TCanvas;
class TGraphic;

struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
};

constexpr TRect Rect(int left, int top, int right, int bottom) { return TRect{left, top, right, bottom}; }

// Objects that copy themselves from one another: Assign asks the source to AssignTo this object when
// it does not know the source's kind itself.
class TPersistent {
public:
  virtual ~TPersistent() = default;
  virtual std::string ClassName() const = 0;
  virtual void Assign(const TPersistent* Source);

protected:
  virtual void AssignTo(TPersistent& Dest) const;
};

// A graphic class as a value: its name, its parent and how to make an instance.
struct TGraphicClass {
  const char* Name;
  const TGraphicClass* Parent;
  std::unique_ptr<TGraphic> (*Create)();
  bool InheritsFrom(const TGraphicClass& other) const;
};

// Declares the metaclass of a graphic class inside its body; TV_DEFINE_GRAPHIC_CLASS defines it.
#define TV_GRAPHIC_CLASS(Name)                                                  \
public:                                                                         \
  static const TGraphicClass& StaticClass();                                    \
  const TGraphicClass& ClassType() const override { return StaticClass(); }     \
  std::string ClassName() const override { return #Name; }

#define TV_DEFINE_GRAPHIC_CLASS(Name, ParentClass)                                                          \
  const TGraphicClass& Name::StaticClass() {                                                                \
    static const TGraphicClass metaclass{#Name, ParentClass, [] { return std::unique_ptr<TGraphic>(new Name); }}; \
    return metaclass;                                                                                       \
  }

enum class TProgressStage { psStarting, psRunning, psEnding };

using TNotifyEvent = std::function<void(TGraphic& Sender)>;
using TProgressEvent = std::function<void(TGraphic& Sender, TProgressStage Stage, int PercentDone, bool RedrawNow,
                                          const TRect& R, const std::string& Msg)>;

class TGraphic : public TPersistent {
public:
  virtual const TGraphicClass& ClassType() const = 0;

  virtual void Draw(TCanvas& ACanvas, const TRect& R) = 0;
  bool Empty() const { return GetEmpty(); }
  int Width() const { return GetWidth(); }
  int Height() const { return GetHeight(); }
  void SetWidth(int Value) { SetWidthValue(Value); }
  void SetHeight(int Value) { SetHeightValue(Value); }
  HPALETTE Palette() const { return GetPalette(); }
  void SetPalette(HPALETTE Value) { SetPaletteValue(Value); }

  virtual void LoadFromStream(TStream& Stream) = 0;
  virtual void SaveToStream(TStream& Stream) = 0;
  virtual void LoadFromFile(const std::string& FileName);
  virtual void SaveToFile(const std::string& FileName);
  virtual void LoadFromClipboardFormat(uint16_t AFormat, HGLOBAL AData, HPALETTE APalette) = 0;
  virtual void SaveToClipboardFormat(uint16_t& AFormat, HGLOBAL& AData, HPALETTE& APalette) = 0;

  bool Modified() const { return FModified; }
  void SetModified(bool Value);
  bool PaletteModified() const { return FPaletteModified; }
  void SetPaletteModified(bool Value) { FPaletteModified = Value; }

  TNotifyEvent OnChange;
  TProgressEvent OnProgress;

protected:
  virtual bool GetEmpty() const = 0;
  virtual int GetWidth() const = 0;
  virtual int GetHeight() const = 0;
  virtual void SetWidthValue(int Value) = 0;
  virtual void SetHeightValue(int Value) = 0;
  virtual HPALETTE GetPalette() const { return 0; }
  virtual void SetPaletteValue(HPALETTE) {}

  // Marks the graphic modified and tells OnChange.
  virtual void Changed();
  virtual void Progress(TGraphic& Sender, TProgressStage Stage, int PercentDone, bool RedrawNow, const TRect& R,
                        const std::string& Msg);

private:
  bool FModified = false;
  bool FPaletteModified = false;
};
