#include "ModuleEdge.h"

#include "ModuleError.h"
#include "ModuleSource.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace tvplugin {

namespace {

// Nothing but a result code leaves a module.
template <class TCall>
int32_t Guarded(TCall&& call) noexcept {
  try {
    return call();
  } catch (const EModuleError& error) {
    return error.Code();
  } catch (const std::bad_alloc&) {
    return SPI_NO_MEMORY;
  } catch (...) {
    return SPI_INTERNAL_ERROR;
  }
}

// Copies a text into the host's buffer, cut at a character boundary when it does not fit.
int32_t CopyText(const std::string& text, char* Buf, int32_t BufLen) {
  if (Buf == nullptr || BufLen <= 1 || text.empty()) return 0;
  size_t length = std::min(text.size(), static_cast<size_t>(BufLen - 1));
  while (length > 0 && length < text.size() && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
  std::memcpy(Buf, text.data(), length);
  Buf[length] = '\0';
  return static_cast<int32_t>(length);
}

std::string InfoText(int32_t InfoNo) {
  if (InfoNo == 0) return SPI_VERSION_INPUT;
  if (InfoNo == 1) return TheDecoder().Description();
  if (InfoNo < 2) return {};
  const std::vector<TFileType> types = TheDecoder().FileTypes();
  const size_t index = static_cast<size_t>(InfoNo - 2) / 2;
  if (index >= types.size()) return {};
  return InfoNo % 2 == 0 ? types[index].Filter : types[index].Name;
}

}  // namespace

int32_t DecodeAtEdge(const char* Buf, int32_t Len, uint32_t Flag, HLOCAL* HBMInfo, HLOCAL* HBM,
                     TProgressCallback ProgressCallback, intptr_t Data, TDecodeSize Size) noexcept {
  if (HBMInfo == nullptr || HBM == nullptr) return SPI_MEMORY_ERROR;
  *HBMInfo = 0;
  *HBM = 0;
  return Guarded([&] {
    const TModuleSource source(Buf, Len, Flag);
    TProgress progress(ProgressCallback, Data);
    TDib dib = TheDecoder().Decode(source.Bytes(), Size, progress);
    dib.HandOver(HBMInfo, HBM);
    return SPI_SUCCESS;
  });
}

}  // namespace tvplugin

using namespace tvplugin;

int32_t GetPluginInfo(int32_t InfoNo, char* Buf, int32_t BufLen) {
  return Guarded([&] { return CopyText(InfoText(InfoNo), Buf, BufLen); });
}

int32_t IsSupported(const char*, const void* DW) {
  if (DW == nullptr) return 0;
  return Guarded([&] {
    return TheDecoder().Accepts({static_cast<const uint8_t*>(DW), SPI_HEAD_BYTES}) ? 1 : 0;
  });
}

int32_t GetPictureInfo(const char* Buf, int32_t Len, uint32_t Flag, TPictureInfo* Info) {
  if (Info == nullptr) return SPI_MEMORY_ERROR;
  return Guarded([&] {
    const TModuleSource source(Buf, Len, Flag);
    const TPictureFacts facts = TheDecoder().ReadFacts(source.Bytes());
    *Info = TPictureInfo{0, 0, facts.Width, facts.Height, facts.XDensity, facts.YDensity, facts.ColorDepth, 0};
    return SPI_SUCCESS;
  });
}

int32_t GetPicture(const char* Buf, int32_t Len, uint32_t Flag, HLOCAL* HBMInfo, HLOCAL* HBM,
                   TProgressCallback ProgressCallback, intptr_t Data) {
  return DecodeAtEdge(Buf, Len, Flag, HBMInfo, HBM, ProgressCallback, Data, TDecodeSize::Full);
}
