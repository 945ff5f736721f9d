#include "Graphics.h"

#include "Exceptions.h"

void TPersistent::Assign(const TPersistent* Source) {
  if (Source) {
    Source->AssignTo(*this);
    return;
  }
  throw EConvertError("Cannot assign a nil to a " + ClassName());
}

void TPersistent::AssignTo(TPersistent& Dest) const {
  throw EConvertError("Cannot assign a " + ClassName() + " to a " + Dest.ClassName());
}

bool TGraphicClass::InheritsFrom(const TGraphicClass& other) const {
  for (const TGraphicClass* c = this; c; c = c->Parent)
    if (c == &other) return true;
  return false;
}

void TGraphic::LoadFromFile(const std::string& FileName) {
  TFileStream stream(FileName, fmOpenRead);
  LoadFromStream(stream);
}

void TGraphic::SaveToFile(const std::string& FileName) {
  TFileStream stream(FileName, fmCreate);
  SaveToStream(stream);
}

void TGraphic::SetModified(bool Value) {
  if (Value) Changed();
  else FModified = false;
}

void TGraphic::Changed() {
  FModified = true;
  if (OnChange) OnChange(*this);
}

void TGraphic::Progress(TGraphic& Sender, TProgressStage Stage, int PercentDone, bool RedrawNow, const TRect& R,
                        const std::string& Msg) {
  if (OnProgress) OnProgress(Sender, Stage, PercentDone, RedrawNow, R, Msg);
}
