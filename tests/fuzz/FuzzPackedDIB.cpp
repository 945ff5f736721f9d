// Fuzz target: a packed DIB (the clipboard's DIB format) read into the DIB storage.

#include "dib/KpInternalDIB.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!block) return 0;
  if (size) std::memcpy(GlobalLock(block), data, size), GlobalUnlock(block);
  TKpInternalDIB dib(false);
  try {
    dib.LoadFromClipboardFormat(block);
    const HGLOBAL copy = dib.SaveToClipboardFormat();
    GlobalFree(copy);
  } catch (const Exception&) {
  }
  GlobalFree(block);
  return 0;
}
