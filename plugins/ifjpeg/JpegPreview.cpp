// libjpeg decodes at 1/2, 1/4 or 1/8 of the size for little more than the cost of reading the data,
// so this module offers the host a preview.

#include "ModuleEdge.h"

int32_t GetPreview(const char* Buf, int32_t Len, uint32_t Flag, HLOCAL* HBMInfo, HLOCAL* HBM,
                   TProgressCallback ProgressCallback, intptr_t Data) {
  return tvplugin::DecodeAtEdge(Buf, Len, Flag, HBMInfo, HBM, ProgressCallback, Data, tvplugin::TDecodeSize::Preview);
}
