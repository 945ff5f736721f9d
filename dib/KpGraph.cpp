#include "KpGraph.h"

#include "platform/Clipboard.h"
#include "platform/Picture.h"

void TKpGraphic::Assign(const TPersistent* Source) {
  if (auto* clipboard = dynamic_cast<TClipboard*>(const_cast<TPersistent*>(Source))) {
    clipboard->Open();
    struct TClose {
      TClipboard& Board;
      ~TClose() { Board.Close(); }
    } close{*clipboard};
    const uint16_t format = GetClipboardFormat();
    LoadFromClipboardFormat(format, clipboard->GetAsHandle(format), static_cast<HPALETTE>(clipboard->GetAsHandle(CF_PALETTE)));
    return;
  }
  TGraphic::Assign(Source);
}
