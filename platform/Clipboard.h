#pragma once
// The system clipboard in the terms graphics exchange: formats by number and global blocks. The DIB
// format (8) travels as "image/bmp", a BMP file whose 14-byte file header the DIB lacks.

#include "GlobalMemory.h"
#include "Graphics.h"

#include <vector>

class TClipboard : public TPersistent {
public:
  std::string ClassName() const override { return "TClipboard"; }

  // Opening needs a running GUI application; it fails with EInvalidOperation otherwise. Opens nest.
  void Open();
  void Close();
  bool HasFormat(uint16_t Format);
  // The clipboard's data in that format, or 0. The block stays the clipboard's until it closes.
  HGLOBAL GetAsHandle(uint16_t Format);
  // Puts the block on the clipboard, which takes it over.
  void SetAsHandle(uint16_t Format, HGLOBAL Value);
  void Clear();
  // A graphic goes onto the clipboard in its own format.
  void Assign(const TPersistent* Source) override;

private:
  void FreeHandedOut();

  int FOpenCount = 0;
  std::vector<HGLOBAL> FHandedOut;
};

TClipboard& Clipboard();
