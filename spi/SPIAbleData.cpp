#include "SPIAbleData.h"

#include "SPIDecodedLayout.h"
#include "SPIRegistry.h"
#include "SPIText.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <span>
#include <utility>

namespace {

// The head every candidate is shown: 2048 bytes past the largest offset.
constexpr int32_t kHeadBytes = 2176;
constexpr int32_t kMacBinaryHeaderBytes = 128;

// a * b / c rounded half away from zero; -1 when c is 0 or the result does not fit.
int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
  if (c == 0) return -1;
  const int64_t product = int64_t{a} * b;
  int64_t result = product / c;
  const int64_t rest = product % c;
  if (2 * (rest < 0 ? -rest : rest) >= (c < 0 ? -int64_t{c} : c)) result += (product < 0) != (c < 0) ? -1 : 1;
  if (result > std::numeric_limits<int32_t>::max() || result < std::numeric_limits<int32_t>::min()) return -1;
  return static_cast<int32_t>(result);
}

}  // namespace

TInSPIAbleData::TInSPIAbleData(TGraphic& Owner) : FOwner(Owner) {}

TInSPIAbleData::~TInSPIAbleData() { Clear(); }

const void* TInSPIAbleData::BMInfo() const {
  if (!FBMInfo && FBMInfoHandle) FBMInfo = LocalLock(FBMInfoHandle);
  return FBMInfo;
}

const void* TInSPIAbleData::BMBits() const {
  if (!FBMBits && FBMBitsHandle) FBMBits = LocalLock(FBMBitsHandle);
  return FBMBits;
}

HLOCAL TInSPIAbleData::TakeBits() {
  if (FBMBits) LocalUnlock(FBMBitsHandle);
  FBMBits = nullptr;
  return std::exchange(FBMBitsHandle, 0);
}

void TInSPIAbleData::ReleaseBlocks() {
  if (FBMInfo) {
    LocalUnlock(FBMInfoHandle);
    FBMInfo = nullptr;
  }
  if (FBMBits) {
    LocalUnlock(FBMBitsHandle);
    FBMBits = nullptr;
  }
  if (FBMInfoHandle) LocalFree(FBMInfoHandle);
  if (FBMBitsHandle) LocalFree(FBMBitsHandle);
  FBMInfoHandle = 0;
  FBMBitsHandle = 0;
}

void TInSPIAbleData::Clear() {
  ReleaseBlocks();
  if (FPictureInfo.HInfo) LocalFree(FPictureInfo.HInfo);
  FPictureInfo.HInfo = 0;
}

void TInSPIAbleData::DoProgress(TProgressStage Stage, int PercentDone, const std::string& Msg) {
  if (OnProgress) OnProgress(FOwner, Stage, PercentDone, Stage == TProgressStage::psEnding, Rect(0, 0, 0, 0), Msg);
}

int32_t TInSPIAbleData::SPIProgressCallback(int32_t Num, int32_t Done, intptr_t Data) {
  auto* self = reinterpret_cast<TInSPIAbleData*>(Data);
  if (!self || !self->OnProgress) return 0;
  // Once the handler has failed, the module is only told to stop.
  if (self->FProgressError) return 1;
  try {
    self->DoProgress(TProgressStage::psRunning, (MulDiv(Num, 97, Done) + 2) & 0xFF, "");
    return 0;
  } catch (const EAbort&) {
    return 1;
  } catch (...) {
    self->FProgressError = std::current_exception();
    return 1;
  }
}

void TInSPIAbleData::RethrowProgressError() {
  if (!FProgressError) return;
  Clear();
  std::rethrow_exception(std::exchange(FProgressError, nullptr));
}

std::vector<const TInSPI*> TInSPIAbleData::CreateLoaderList() const {
  if (!SPIsInstance) return {};
  if (const TInSPI* forced = SPIsInstance->GraphicForcedLoader()) return {forced};
  std::vector<TSPI*> found;
  const TSPIClass classes[] = {&TInSPI::StaticClass()};
  SPIsInstance->FindPluginList(classes, ExtractFileExt(FFileName), found);
  std::vector<const TInSPI*> candidates;
  for (TSPI* spi : found) candidates.push_back(static_cast<const TInSPI*>(spi));
  return candidates;
}

void TInSPIAbleData::Load() {
  const bool macBinary = SPIsInstance && SPIsInstance->MacBinary();
  DoProgress(TProgressStage::psStarting, 0, "Loading Graphic by Susie Plugin");
  try {
    Clear();
    DoProgress(TProgressStage::psRunning, 1, "Seeking enabled Susie Plugins");
    const std::vector<const TInSPI*> candidates = CreateLoaderList();
    uint8_t head[kHeadBytes] = {};
    ReadHead(head, kHeadBytes);
    const int32_t offsets[] = {0, kMacBinaryHeaderBytes};
    bool decoded = false;
    for (size_t c = 0; c < candidates.size() && !decoded; ++c) {
      for (int32_t offset : std::span(offsets, macBinary ? 2 : 1)) {
        DoProgress(TProgressStage::psRunning, 1, "Loading by [" + ExtractFileName(candidates[c]->FileName()) + "]");
        LoadBySPI(*candidates[c], head, offset);
        if (!IsEmpty()) {
          decoded = true;
          break;
        }
        Clear();
      }
    }
  } catch (...) {
    DoProgress(TProgressStage::psEnding, 100, "Loaded Graphic by Susie Plugin");
    throw;
  }
  DoProgress(TProgressStage::psEnding, 100, "Loaded Graphic by Susie Plugin");
}

void TInSPIAbleData::LoadBySPI(const TInSPI& ASPI, const uint8_t* Buffer, int32_t Offset) {
  if (!IsSupportedBy(ASPI, Buffer + Offset)) return;
  ReadPictureInfo(ASPI, Offset, FPictureInfo, FHasPictureInfo);
  if (SPIsInstance && SPIsInstance->GraphicPreview()) {
    ReadPreview(ASPI, Offset, FBMInfoHandle, FBMBitsHandle);
    RethrowProgressError();
    if (KeepConsistentBlocks()) return;
  }
  ReadPicture(ASPI, Offset, FBMInfoHandle, FBMBitsHandle);
  RethrowProgressError();
  KeepConsistentBlocks();
}

bool TInSPIAbleData::KeepConsistentBlocks() {
  TSPIDecodedLayout layout;
  if (!IsEmpty() && ReadDecodedLayout(BMInfo(), BMInfoSize(), BMBitsSize(), layout) && BMBits()) return true;
  // Half a result, or a header that promises more than the blocks hold, is no picture.
  ReleaseBlocks();
  return false;
}

bool TInSPIAbleData::IsSupportedBy(const TInSPI& ASPI, const void* DW) const {
  if (ASPI.EnabledUnicodeAPI()) return ASPI.IsSupportedW(FFileNameW.c_str(), DW) != 0;
  return ASPI.IsSupported(FFileName.c_str(), DW) != 0;
}

void TInSPIAbleData::CallPictureInfo(const TInSPI& ASPI, const TSPISourceArgs& Source, TPictureInfo& Info,
                                     bool& HasInfo) {
  // Cleared first, so that nothing of an earlier module's answer is taken for this one's.
  Info = TPictureInfo{};
  const int32_t result = ASPI.EnabledUnicodeAPI() ? ASPI.GetPictureInfoW(Source.BufW, Source.Len, Source.Flag, Info)
                                                  : ASPI.GetPictureInfo(Source.Buf, Source.Len, Source.Flag, Info);
  HasInfo = result == 0;
  if (!HasInfo) Info.HInfo = 0;
}

void TInSPIAbleData::CallPicture(const TInSPI& ASPI, const TSPISourceArgs& Source, HLOCAL& HBMInfo, HLOCAL& HBM) {
  HBMInfo = 0;
  HBM = 0;
  const intptr_t data = reinterpret_cast<intptr_t>(this);
  const int32_t result =
      ASPI.EnabledUnicodeAPI()
          ? ASPI.GetPictureW(Source.BufW, Source.Len, Source.Flag, HBMInfo, HBM, &SPIProgressCallback, data)
          : ASPI.GetPicture(Source.Buf, Source.Len, Source.Flag, HBMInfo, HBM, &SPIProgressCallback, data);
  if (result != 0) {
    HBMInfo = 0;
    HBM = 0;
  }
}

void TInSPIAbleData::CallPreview(const TInSPI& ASPI, const TSPISourceArgs& Source, HLOCAL& HBMInfo, HLOCAL& HBM) {
  HBMInfo = 0;
  HBM = 0;
  const intptr_t data = reinterpret_cast<intptr_t>(this);
  try {
    const int32_t result =
        ASPI.EnabledUnicodeAPI()
            ? ASPI.GetPreviewW(Source.BufW, Source.Len, Source.Flag, HBMInfo, HBM, &SPIProgressCallback, data)
            : ASPI.GetPreview(Source.Buf, Source.Len, Source.Flag, HBMInfo, HBM, &SPIProgressCallback, data);
    if (result == 0) return;
  } catch (const ESPIInvalidAPI&) {
  }
  HBMInfo = 0;
  HBM = 0;
}

TInSPIAbleFromFile::TInSPIAbleFromFile(TGraphic& Owner, const std::string& FileName) : TInSPIAbleData(Owner) {
  FFileName = FileName;
  FFileNameW = ToUtf16(FileName);
}

void TInSPIAbleFromFile::ReadHead(void* Buffer, int32_t Count) {
  try {
    TFileStream file(FFileName, fmOpenRead);
    const int64_t bytes = std::min<int64_t>(file.Size(), Count);
    file.ReadBuffer(Buffer, bytes);
  } catch (const Exception&) {
    // An unreadable file shows the modules a head of zeros; they are still asked.
  }
}

void TInSPIAbleFromFile::ReadPictureInfo(const TInSPI& ASPI, int32_t Offset, TPictureInfo& Info, bool& HasInfo) {
  CallPictureInfo(ASPI, Args(Offset), Info, HasInfo);
}

void TInSPIAbleFromFile::ReadPreview(const TInSPI& ASPI, int32_t Offset, HLOCAL& HBMInfo, HLOCAL& HBM) {
  CallPreview(ASPI, Args(Offset), HBMInfo, HBM);
}

void TInSPIAbleFromFile::ReadPicture(const TInSPI& ASPI, int32_t Offset, HLOCAL& HBMInfo, HLOCAL& HBM) {
  CallPicture(ASPI, Args(Offset), HBMInfo, HBM);
}

TInSPIAbleFromStream::TInSPIAbleFromStream(TGraphic& Owner, TStream& Stream, const std::string& FileName)
    : TInSPIAbleData(Owner) {
  FFileName = FileName;
  FFileNameW = ToUtf16(FileName);
  const int64_t size = Stream.Size();
  // A module is told the length in 32 bits: a larger source cannot be handed over at all.
  if (size > std::numeric_limits<int32_t>::max()) return;
  if (auto* memory = dynamic_cast<TMemoryStream*>(&Stream)) {
    FSource = memory->Memory();
  } else if (auto* readOnly = dynamic_cast<TReadOnlyMemoryStream*>(&Stream)) {
    FSource = readOnly->Memory();
  } else {
    FMemStream = std::make_unique<TMemoryStream>();
    FMemStream->CopyFrom(Stream, 0);
    FSource = FMemStream->Memory();
  }
  FSize = static_cast<int32_t>(size);
}

TInSPIAbleData::TSPISourceArgs TInSPIAbleFromStream::Args(int32_t Offset) const {
  const char* buffer = reinterpret_cast<const char*>(FSource + Offset);
  return {buffer, reinterpret_cast<const char16_t*>(buffer), FSize - Offset, SPI_SOURCE_MEMORY};
}

void TInSPIAbleFromStream::ReadHead(void* Buffer, int32_t Count) {
  const int32_t bytes = std::min(FSize, Count);
  if (bytes > 0) std::memcpy(Buffer, FSource, static_cast<size_t>(bytes));
}

void TInSPIAbleFromStream::ReadPictureInfo(const TInSPI& ASPI, int32_t Offset, TPictureInfo& Info, bool& HasInfo) {
  if (Reaches(Offset)) CallPictureInfo(ASPI, Args(Offset), Info, HasInfo);
  else HasInfo = false;
}

void TInSPIAbleFromStream::ReadPreview(const TInSPI& ASPI, int32_t Offset, HLOCAL& HBMInfo, HLOCAL& HBM) {
  if (Reaches(Offset)) CallPreview(ASPI, Args(Offset), HBMInfo, HBM);
}

void TInSPIAbleFromStream::ReadPicture(const TInSPI& ASPI, int32_t Offset, HLOCAL& HBMInfo, HLOCAL& HBM) {
  if (Reaches(Offset)) CallPicture(ASPI, Args(Offset), HBMInfo, HBM);
}
