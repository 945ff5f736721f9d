#pragma once
// One wrapper object per loaded decoder module: it loads the module, binds its exports, reads its
// self-description and offers every export as a method that raises ESPIInvalidAPI when the module
// lacks it. The wrapper's class follows the module's API version ("00IN" input, "00AM" archive,
// "00XN" export; anything else a plain TSPI).

#include "SPIErrors.h"
#include "SusieAbi.h"
#include "platform/DynamicModules.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class TSPI;

// A wrapper class as a value, so that wrappers can be made through it (the virtual constructor)
// and lists of classes can be asked for.
struct TSPIMetaClass {
  const char* Name;
  const TSPIMetaClass* Parent;
  std::unique_ptr<TSPI> (*Create)(const std::string& AFileName, bool AEnabledUnicodeAPI);
  bool InheritsFrom(const TSPIMetaClass& Other) const;
};
using TSPIClass = const TSPIMetaClass*;

#define TV_SPI_CLASS(Name)                                                 \
  friend class TSPI;                                                       \
                                                                           \
public:                                                                    \
  static const TSPIMetaClass& StaticClass();                               \
  const TSPIMetaClass& ClassType() const override { return StaticClass(); } \
                                                                           \
protected:                                                                 \
  Name() = default;

class TSPI {
public:
  static const TSPIMetaClass& StaticClass();
  virtual const TSPIMetaClass& ClassType() const { return StaticClass(); }
  virtual ~TSPI();
  TSPI(const TSPI&) = delete;
  TSPI& operator=(const TSPI&) = delete;

  HMODULE DllHandle() const { return FDllHandle; }
  const std::string& FileName() const { return FFileName; }
  const std::string& Version() const { return FVersion; }
  const std::string& Infomation() const { return FInfomation; }
  const std::vector<std::string>& ExtNames() const { return FExtNames; }
  const std::vector<std::string>& FileTypes() const { return FFileTypes; }
  const std::u16string& VersionW() const { return FVersionW; }
  const std::u16string& InfomationW() const { return FInfomationW; }
  // The wide lists read at creation when the wide exports are in use; else the single-byte lists.
  std::vector<std::u16string> ExtNamesW() const;
  std::vector<std::u16string> FileTypesW() const;
  // Informational: whether the module is of a kind the host can use.
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value) { FEnabled = Value; }
  bool EnabledUnicodeAPI() const { return FEnabledUnicodeAPI; }
  // Becomes true only when the module has every wide export its kind needs. The texts are not read again.
  void SetEnabledUnicodeAPI(bool Value);

  void* ProcAddress(const std::string& AProcName) const;
  void* ProcAddressW(const std::string& AProcName) const;

  int32_t GetPluginInfo(int32_t InfoNo, char* Buf, int32_t BufLen) const;
  int32_t GetPluginInfoW(int32_t InfoNo, char16_t* Buf, int32_t BufLen) const;
  int32_t ConfigurationDlg(void* Parent, int32_t Fnc) const;

protected:
  TSPI() = default;

  // Overrides first do what their parent class does.
  virtual void CheckRequiredAPIs() const;
  virtual bool HasUnicodeAPIs() const;
  virtual bool KindEnabled() const { return false; }

  // Raises ESPIInvalidAPI naming the export when it is missing.
  void Require(const void* Proc, const char* ProcName) const;
  template <class TProc>
  TProc Checked(TProc Proc, const char* ProcName) const {
    Require(reinterpret_cast<const void*>(Proc), ProcName);
    return Proc;
  }

  template <class TClass>
  static std::unique_ptr<TSPI> Construct(const std::string& AFileName, bool AEnabledUnicodeAPI) {
    std::unique_ptr<TSPI> spi(new TClass);
    spi->Load(AFileName, AEnabledUnicodeAPI);
    return spi;
  }

  HMODULE FDllHandle = 0;
  std::string FFileName;
  std::string FVersion;
  std::string FInfomation;
  std::vector<std::string> FExtNames;
  std::vector<std::string> FFileTypes;
  bool FEnabled = false;
  bool FEnabledUnicodeAPI = false;
  std::u16string FVersionW;
  std::u16string FInfomationW;
  std::optional<std::vector<std::u16string>> FExtNamesW;
  std::optional<std::vector<std::u16string>> FFileTypesW;

  TGetPluginInfo FGetPluginInfo = nullptr;
  TIsSupported FIsSupported = nullptr;
  TGetPictureInfo FGetPictureInfo = nullptr;
  TGetPicture FGetPicture = nullptr;
  TGetPreview FGetPreview = nullptr;
  TGetArchiveInfo FGetArchiveInfo = nullptr;
  TGetFileInfo FGetFileInfo = nullptr;
  TGetFile FGetFile = nullptr;
  TConfigurationDlg FConfigurationDlg = nullptr;
  TGetPluginInfoW FGetPluginInfoW = nullptr;
  TIsSupportedW FIsSupportedW = nullptr;
  TGetPictureInfoW FGetPictureInfoW = nullptr;
  TGetPictureW FGetPictureW = nullptr;
  TGetPreviewW FGetPreviewW = nullptr;
  TGetArchiveInfoW FGetArchiveInfoW = nullptr;
  TGetFileInfoW FGetFileInfoW = nullptr;
  TGetFileW FGetFileW = nullptr;

private:
  // The body of the virtual constructor; a failure leaves the half-built wrapper to its owner,
  // whose destruction releases the module.
  void Load(const std::string& AFileName, bool AEnabledUnicodeAPI);
  void BindExports();
  void ReadDescription();
  void ReadWideDescription();
};

// Modules that read sources: input and archive modules.
class TLoaderSPI : public TSPI {
  TV_SPI_CLASS(TLoaderSPI)

public:
  int32_t IsSupported(const char* FileName, const void* DW) const;
  int32_t IsSupportedW(const char16_t* FileName, const void* DW) const;

protected:
  void CheckRequiredAPIs() const override;
  bool HasUnicodeAPIs() const override;
};

// Input modules: pictures.
class TInSPI : public TLoaderSPI {
  TV_SPI_CLASS(TInSPI)

public:
  int32_t GetPictureInfo(const char* Buf, int32_t Len, uint32_t Flag, TPictureInfo& Info) const;
  int32_t GetPicture(const char* Buf, int32_t Len, uint32_t Flag, HLOCAL& HBMInfo, HLOCAL& HBM,
                     TProgressCallback ProgressCallback, intptr_t Data) const;
  int32_t GetPreview(const char* Buf, int32_t Len, uint32_t Flag, HLOCAL& HBMInfo, HLOCAL& HBM,
                     TProgressCallback ProgressCallback, intptr_t Data) const;
  int32_t GetPictureInfoW(const char16_t* Buf, int32_t Len, uint32_t Flag, TPictureInfo& Info) const;
  int32_t GetPictureW(const char16_t* Buf, int32_t Len, uint32_t Flag, HLOCAL& HBMInfo, HLOCAL& HBM,
                      TProgressCallback ProgressCallback, intptr_t Data) const;
  int32_t GetPreviewW(const char16_t* Buf, int32_t Len, uint32_t Flag, HLOCAL& HBMInfo, HLOCAL& HBM,
                      TProgressCallback ProgressCallback, intptr_t Data) const;

protected:
  void CheckRequiredAPIs() const override;
  bool HasUnicodeAPIs() const override;
  bool KindEnabled() const override { return true; }
};

// Archive modules.
class TAmSPI : public TLoaderSPI {
  TV_SPI_CLASS(TAmSPI)

public:
  int32_t GetArchiveInfo(const char* Buf, int32_t Len, uint32_t Flag, HLOCAL& FileInfoHandle) const;
  int32_t GetFileInfo(const char* Buf, int32_t Len, const char* FileName, uint32_t Flag, TFileInfo& FileInfo) const;
  int32_t GetFile(const char* Src, int32_t Len, void* Dest, uint32_t Flag, TProgressCallback ProgressCallback,
                  intptr_t Data) const;
  int32_t GetArchiveInfoW(const char16_t* Buf, int32_t Len, uint32_t Flag, HLOCAL& FileInfoHandle) const;
  int32_t GetFileInfoW(const char16_t* Buf, int32_t Len, const char16_t* FileName, uint32_t Flag,
                       TFileInfoW& FileInfo) const;
  int32_t GetFileW(const char16_t* Src, int32_t Len, void* Dest, uint32_t Flag, TProgressCallback ProgressCallback,
                   intptr_t Data) const;

protected:
  void CheckRequiredAPIs() const override;
  bool HasUnicodeAPIs() const override;
  bool KindEnabled() const override { return true; }
};

// Export modules: known by their version, not used by the host.
class TXnSPI : public TSPI {
  TV_SPI_CLASS(TXnSPI)
};

// A new wrapper of the class the module's API version names; none when the file is no loadable
// module. ESPIInvalidAPI (a required export is missing) goes to the caller.
std::unique_ptr<TSPI> CreateSPIFromFile(const std::string& FileName, bool EnabledUnicodeAPI);
