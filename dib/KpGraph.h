#pragma once
// The abstract graphic of the DIB library: a graphic that exchanges one clipboard format and can be
// assigned from the clipboard.

#include "platform/Graphics.h"

class TKpGraphic : public TGraphic {
public:
  virtual uint16_t GetClipboardFormat() const = 0;
  void Assign(const TPersistent* Source) override;
};
