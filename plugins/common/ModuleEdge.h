#pragma once
// The edge between the interface and a module's decoder. The common exports (GetPluginInfo,
// IsSupported, GetPictureInfo, GetPicture) are defined in ModuleEdge.cpp; a module whose library can
// decode a reduced picture adds GetPreview by calling DecodeAtEdge with TDecodeSize::Preview.

#include "Decoder.h"

SPI_EXPORT int32_t GetPluginInfo(int32_t InfoNo, char* Buf, int32_t BufLen);
SPI_EXPORT int32_t IsSupported(const char* FileName, const void* DW);
SPI_EXPORT int32_t GetPictureInfo(const char* Buf, int32_t Len, uint32_t Flag, TPictureInfo* Info);
SPI_EXPORT int32_t GetPicture(const char* Buf, int32_t Len, uint32_t Flag, HLOCAL* HBMInfo, HLOCAL* HBM,
                              TProgressCallback ProgressCallback, intptr_t Data);
SPI_EXPORT int32_t GetPreview(const char* Buf, int32_t Len, uint32_t Flag, HLOCAL* HBMInfo, HLOCAL* HBM,
                              TProgressCallback ProgressCallback, intptr_t Data);

namespace tvplugin {

// GetPicture and GetPreview: both handles are 0 unless the result is SPI_SUCCESS.
int32_t DecodeAtEdge(const char* Buf, int32_t Len, uint32_t Flag, HLOCAL* HBMInfo, HLOCAL* HBM,
                     TProgressCallback ProgressCallback, intptr_t Data, TDecodeSize Size) noexcept;

}  // namespace tvplugin
