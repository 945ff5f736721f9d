#include "SPIWrappers.h"

#include "SPIText.h"

#include <cstring>

namespace {

// A module that answers every info number would otherwise keep the description loop going forever.
constexpr int32_t kMaxFilterPairs = 1024;
// Texts are taken up to their NUL and never longer than this.
constexpr size_t kMaxInfoText = 256;

template <class TChar>
std::basic_string<TChar> TextOf(const TChar* buffer) {
  size_t length = 0;
  while (length < kMaxInfoText && buffer[length] != 0) ++length;
  return std::basic_string<TChar>(buffer, length);
}

}  // namespace

bool TSPIMetaClass::InheritsFrom(const TSPIMetaClass& Other) const {
  for (const TSPIMetaClass* c = this; c; c = c->Parent)
    if (c == &Other) return true;
  return false;
}

const TSPIMetaClass& TSPI::StaticClass() {
  static const TSPIMetaClass metaclass{"TSPI", nullptr, &TSPI::Construct<TSPI>};
  return metaclass;
}

const TSPIMetaClass& TLoaderSPI::StaticClass() {
  static const TSPIMetaClass metaclass{"TLoaderSPI", &TSPI::StaticClass(), &TSPI::Construct<TLoaderSPI>};
  return metaclass;
}

const TSPIMetaClass& TInSPI::StaticClass() {
  static const TSPIMetaClass metaclass{"TInSPI", &TLoaderSPI::StaticClass(), &TSPI::Construct<TInSPI>};
  return metaclass;
}

const TSPIMetaClass& TAmSPI::StaticClass() {
  static const TSPIMetaClass metaclass{"TAmSPI", &TLoaderSPI::StaticClass(), &TSPI::Construct<TAmSPI>};
  return metaclass;
}

const TSPIMetaClass& TXnSPI::StaticClass() {
  static const TSPIMetaClass metaclass{"TXnSPI", &TSPI::StaticClass(), &TSPI::Construct<TXnSPI>};
  return metaclass;
}

TSPI::~TSPI() {
  if (FDllHandle) FreeLibrary(FDllHandle);
}

void TSPI::Load(const std::string& AFileName, bool AEnabledUnicodeAPI) {
  FEnabledUnicodeAPI = false;
  FDllHandle = LoadLibrary(AFileName);
  if (!FDllHandle) throw SPIOpenError(AFileName);
  FFileName = GetModuleFileName(FDllHandle);
  if (FFileName.empty()) FFileName = AFileName;
  BindExports();
  CheckRequiredAPIs();
  SetEnabledUnicodeAPI(AEnabledUnicodeAPI);
  ReadDescription();
  if (FEnabledUnicodeAPI) ReadWideDescription();
  FEnabled = KindEnabled();
}

void TSPI::BindExports() {
  const auto bind = [this](auto& slot, const char* name, bool wide) {
    slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(wide ? ProcAddressW(name) : ProcAddress(name));
  };
  bind(FGetPluginInfo, SPI_NAME_GetPluginInfo, false);
  bind(FConfigurationDlg, SPI_NAME_ConfigurationDlg, false);
  bind(FIsSupported, SPI_NAME_IsSupported, false);
  bind(FGetPictureInfo, SPI_NAME_GetPictureInfo, false);
  bind(FGetPicture, SPI_NAME_GetPicture, false);
  bind(FGetPreview, SPI_NAME_GetPreview, false);
  bind(FGetArchiveInfo, SPI_NAME_GetArchiveInfo, false);
  bind(FGetFileInfo, SPI_NAME_GetFileInfo, false);
  bind(FGetFile, SPI_NAME_GetFile, false);
  bind(FGetPluginInfoW, SPI_NAME_GetPluginInfoW, true);
  bind(FIsSupportedW, SPI_NAME_IsSupportedW, true);
  bind(FGetPictureInfoW, SPI_NAME_GetPictureInfoW, true);
  bind(FGetPictureW, SPI_NAME_GetPictureW, true);
  bind(FGetPreviewW, SPI_NAME_GetPreviewW, true);
  bind(FGetArchiveInfoW, SPI_NAME_GetArchiveInfoW, true);
  bind(FGetFileInfoW, SPI_NAME_GetFileInfoW, true);
  bind(FGetFileW, SPI_NAME_GetFileW, true);
}

void TSPI::ReadDescription() {
  char text[SPI_INFO_BUFFER_BYTES];
  char type[SPI_INFO_BUFFER_BYTES];
  const auto read = [this](int32_t infoNo, char* buffer) {
    std::memset(buffer, 0, SPI_INFO_BUFFER_BYTES);
    return GetPluginInfo(infoNo, buffer, SPI_INFO_BUFFER_BYTES - 1) > 0;
  };
  if (read(0, text)) FVersion = TextOf(text);
  if (read(1, text)) FInfomation = TextOf(text);
  for (int32_t pair = 0; pair < kMaxFilterPairs; ++pair) {
    const int32_t infoNo = 2 + 2 * pair;
    if (!read(infoNo, text) || !read(infoNo + 1, type)) break;
    FExtNames.push_back(TextOf(text));
    FFileTypes.push_back(TextOf(type));
  }
}

void TSPI::ReadWideDescription() {
  char16_t text[SPI_INFO_BUFFER_WCHARS];
  char16_t type[SPI_INFO_BUFFER_WCHARS];
  const auto read = [this](int32_t infoNo, char16_t* buffer) {
    std::memset(buffer, 0, SPI_INFO_BUFFER_WCHARS * sizeof(char16_t));
    return GetPluginInfoW(infoNo, buffer, SPI_INFO_BUFFER_WCHARS - 1) > 0;
  };
  if (read(0, text)) FVersionW = TextOf(text);
  if (read(1, text)) FInfomationW = TextOf(text);
  FExtNamesW.emplace();
  FFileTypesW.emplace();
  for (int32_t pair = 0; pair < kMaxFilterPairs; ++pair) {
    const int32_t infoNo = 2 + 2 * pair;
    if (!read(infoNo, text) || !read(infoNo + 1, type)) break;
    FExtNamesW->push_back(TextOf(text));
    FFileTypesW->push_back(TextOf(type));
  }
}

std::vector<std::u16string> TSPI::ExtNamesW() const {
  if (FEnabledUnicodeAPI && FExtNamesW) return *FExtNamesW;
  std::vector<std::u16string> names;
  for (const std::string& name : FExtNames) names.push_back(ToUtf16(name));
  return names;
}

std::vector<std::u16string> TSPI::FileTypesW() const {
  if (FEnabledUnicodeAPI && FFileTypesW) return *FFileTypesW;
  std::vector<std::u16string> types;
  for (const std::string& type : FFileTypes) types.push_back(ToUtf16(type));
  return types;
}

void TSPI::SetEnabledUnicodeAPI(bool Value) { FEnabledUnicodeAPI = Value && HasUnicodeAPIs(); }

void* TSPI::ProcAddress(const std::string& AProcName) const { return GetProcAddress(FDllHandle, AProcName.c_str()); }

void* TSPI::ProcAddressW(const std::string& AProcName) const { return GetProcAddress(FDllHandle, AProcName.c_str()); }

void TSPI::Require(const void* Proc, const char* ProcName) const {
  if (!Proc) throw SPIInvalidAPI(ProcName, FFileName);
}

void TSPI::CheckRequiredAPIs() const { Require(reinterpret_cast<const void*>(FGetPluginInfo), SPI_NAME_GetPluginInfo); }

bool TSPI::HasUnicodeAPIs() const { return FGetPluginInfoW != nullptr; }

int32_t TSPI::GetPluginInfo(int32_t InfoNo, char* Buf, int32_t BufLen) const {
  return Checked(FGetPluginInfo, SPI_NAME_GetPluginInfo)(InfoNo, Buf, BufLen);
}

int32_t TSPI::GetPluginInfoW(int32_t InfoNo, char16_t* Buf, int32_t BufLen) const {
  return Checked(FGetPluginInfoW, SPI_NAME_GetPluginInfoW)(InfoNo, Buf, BufLen);
}

int32_t TSPI::ConfigurationDlg(void* Parent, int32_t Fnc) const {
  return Checked(FConfigurationDlg, SPI_NAME_ConfigurationDlg)(Parent, Fnc);
}

void TLoaderSPI::CheckRequiredAPIs() const {
  TSPI::CheckRequiredAPIs();
  Require(reinterpret_cast<const void*>(FIsSupported), SPI_NAME_IsSupported);
}

bool TLoaderSPI::HasUnicodeAPIs() const { return TSPI::HasUnicodeAPIs() && FIsSupportedW; }

int32_t TLoaderSPI::IsSupported(const char* FileName, const void* DW) const {
  return Checked(FIsSupported, SPI_NAME_IsSupported)(FileName, DW);
}

int32_t TLoaderSPI::IsSupportedW(const char16_t* FileName, const void* DW) const {
  return Checked(FIsSupportedW, SPI_NAME_IsSupportedW)(FileName, DW);
}

void TInSPI::CheckRequiredAPIs() const {
  TLoaderSPI::CheckRequiredAPIs();
  Require(reinterpret_cast<const void*>(FGetPictureInfo), SPI_NAME_GetPictureInfo);
  Require(reinterpret_cast<const void*>(FGetPicture), SPI_NAME_GetPicture);
}

bool TInSPI::HasUnicodeAPIs() const { return TLoaderSPI::HasUnicodeAPIs() && FGetPictureInfoW && FGetPictureW; }

int32_t TInSPI::GetPictureInfo(const char* Buf, int32_t Len, uint32_t Flag, TPictureInfo& Info) const {
  return Checked(FGetPictureInfo, SPI_NAME_GetPictureInfo)(Buf, Len, Flag, &Info);
}

int32_t TInSPI::GetPicture(const char* Buf, int32_t Len, uint32_t Flag, HLOCAL& HBMInfo, HLOCAL& HBM,
                           TProgressCallback ProgressCallback, intptr_t Data) const {
  return Checked(FGetPicture, SPI_NAME_GetPicture)(Buf, Len, Flag, &HBMInfo, &HBM, ProgressCallback, Data);
}

int32_t TInSPI::GetPreview(const char* Buf, int32_t Len, uint32_t Flag, HLOCAL& HBMInfo, HLOCAL& HBM,
                           TProgressCallback ProgressCallback, intptr_t Data) const {
  return Checked(FGetPreview, SPI_NAME_GetPreview)(Buf, Len, Flag, &HBMInfo, &HBM, ProgressCallback, Data);
}

int32_t TInSPI::GetPictureInfoW(const char16_t* Buf, int32_t Len, uint32_t Flag, TPictureInfo& Info) const {
  return Checked(FGetPictureInfoW, SPI_NAME_GetPictureInfoW)(Buf, Len, Flag, &Info);
}

int32_t TInSPI::GetPictureW(const char16_t* Buf, int32_t Len, uint32_t Flag, HLOCAL& HBMInfo, HLOCAL& HBM,
                            TProgressCallback ProgressCallback, intptr_t Data) const {
  return Checked(FGetPictureW, SPI_NAME_GetPictureW)(Buf, Len, Flag, &HBMInfo, &HBM, ProgressCallback, Data);
}

int32_t TInSPI::GetPreviewW(const char16_t* Buf, int32_t Len, uint32_t Flag, HLOCAL& HBMInfo, HLOCAL& HBM,
                            TProgressCallback ProgressCallback, intptr_t Data) const {
  return Checked(FGetPreviewW, SPI_NAME_GetPreviewW)(Buf, Len, Flag, &HBMInfo, &HBM, ProgressCallback, Data);
}

void TAmSPI::CheckRequiredAPIs() const {
  TLoaderSPI::CheckRequiredAPIs();
  Require(reinterpret_cast<const void*>(FGetArchiveInfo), SPI_NAME_GetArchiveInfo);
  Require(reinterpret_cast<const void*>(FGetFileInfo), SPI_NAME_GetFileInfo);
  Require(reinterpret_cast<const void*>(FGetFile), SPI_NAME_GetFile);
}

bool TAmSPI::HasUnicodeAPIs() const {
  return TLoaderSPI::HasUnicodeAPIs() && FGetArchiveInfoW && FGetFileInfoW && FGetFileW;
}

int32_t TAmSPI::GetArchiveInfo(const char* Buf, int32_t Len, uint32_t Flag, HLOCAL& FileInfoHandle) const {
  return Checked(FGetArchiveInfo, SPI_NAME_GetArchiveInfo)(Buf, Len, Flag, &FileInfoHandle);
}

int32_t TAmSPI::GetFileInfo(const char* Buf, int32_t Len, const char* FileName, uint32_t Flag,
                            TFileInfo& FileInfo) const {
  return Checked(FGetFileInfo, SPI_NAME_GetFileInfo)(Buf, Len, FileName, Flag, &FileInfo);
}

int32_t TAmSPI::GetFile(const char* Src, int32_t Len, void* Dest, uint32_t Flag, TProgressCallback ProgressCallback,
                        intptr_t Data) const {
  return Checked(FGetFile, SPI_NAME_GetFile)(Src, Len, Dest, Flag, ProgressCallback, Data);
}

int32_t TAmSPI::GetArchiveInfoW(const char16_t* Buf, int32_t Len, uint32_t Flag, HLOCAL& FileInfoHandle) const {
  return Checked(FGetArchiveInfoW, SPI_NAME_GetArchiveInfoW)(Buf, Len, Flag, &FileInfoHandle);
}

int32_t TAmSPI::GetFileInfoW(const char16_t* Buf, int32_t Len, const char16_t* FileName, uint32_t Flag,
                             TFileInfoW& FileInfo) const {
  return Checked(FGetFileInfoW, SPI_NAME_GetFileInfoW)(Buf, Len, FileName, Flag, &FileInfo);
}

int32_t TAmSPI::GetFileW(const char16_t* Src, int32_t Len, void* Dest, uint32_t Flag,
                         TProgressCallback ProgressCallback, intptr_t Data) const {
  return Checked(FGetFileW, SPI_NAME_GetFileW)(Src, Len, Dest, Flag, ProgressCallback, Data);
}

std::unique_ptr<TSPI> CreateSPIFromFile(const std::string& FileName, bool EnabledUnicodeAPI) {
  try {
    const std::unique_ptr<TSPI> probe = TSPI::StaticClass().Create(FileName, EnabledUnicodeAPI);
    const std::string& version = probe->Version();
    const TSPIMetaClass& wrapperClass = version == SPI_VERSION_INPUT     ? TInSPI::StaticClass()
                                        : version == SPI_VERSION_ARCHIVE ? TAmSPI::StaticClass()
                                        : version == SPI_VERSION_EXPORT  ? TXnSPI::StaticClass()
                                                                         : TSPI::StaticClass();
    // The module is loaded a second time and described anew; the probe goes when this returns.
    return wrapperClass.Create(FileName, EnabledUnicodeAPI);
  } catch (const ESPIFOpenErrorSPI&) {
    return nullptr;
  } catch (const ESPIInvalidSPI&) {
    return nullptr;
  }
}
