#pragma once
// TSPIs: the registry of the process's decoder modules. It searches folders for module files, owns
// the wrappers in search order, registers every extension of every input module with the picture
// loader, and tells the decoding code which input modules to try for a file, in which order.
// There is one registry per process, reachable as SPIsInstance.

#include "SPIWrappers.h"
#include "platform/Graphics.h"

#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <vector>

enum TSPISearchOption {
  spsSusieDir,    // the folders the registry names
  spsAppDir,      // the executable's folder
  spsCurrentDir,  // the current directory
  spsSystemDir,   // the system-wide module folder
  spsWindowsDir,  // the installation's module folder
};

class TSPISearchOptions {
public:
  constexpr TSPISearchOptions(std::initializer_list<TSPISearchOption> Options) {
    for (TSPISearchOption option : Options) FBits |= Bit(option);
  }
  constexpr bool Contains(TSPISearchOption Option) const { return (FBits & Bit(Option)) != 0; }
  constexpr bool operator==(const TSPISearchOptions&) const = default;

private:
  static constexpr unsigned Bit(TSPISearchOption Option) { return 1u << static_cast<unsigned>(Option); }
  unsigned FBits = 0;
};

class TSPIs;

using TSPISearchEvent = std::function<void(TSPIs& Sender, TSPI& ASPI, bool& Accept)>;
using TSPISearchingEvent = std::function<void(TSPIs& Sender, const std::string& FileName, bool& Accept)>;
using TSPIPictureRegisterEvent =
    std::function<void(TSPIs& Sender, TInSPI& ASPI, const std::string& AExtension, const std::string& ADescription,
                       const TGraphicClass*& AGraphicClass)>;

class TSPIs {
public:
  // Raises ESPIDupCreateSPIs when the process has a registry already.
  TSPIs();
  // The extensions registered with the picture loader stay registered.
  ~TSPIs();
  TSPIs(const TSPIs&) = delete;
  TSPIs& operator=(const TSPIs&) = delete;

  // Called once the owner has set the stored properties: searches for "*.spi" when AutoSearch is set.
  void Loaded();

  void Add(std::unique_ptr<TSPI> ASPI);
  // Registers every extension of an input module with the picture loader, under DefaultGraphicClass
  // unless OnPictureRegister chooses another class (or none).
  void Insert(int Idx, std::unique_ptr<TSPI> ASPI);
  void Delete(int Idx);
  void Remove(TSPI* ASPI);
  int IndexOf(const TSPI* ASPI) const;
  // The first position whose module path equals ASPIName without regard to case, or -1.
  int IndexOfSPIName(const std::string& ASPIName) const;
  void Exchange(int Idx1, int Idx2);
  void Clear();
  int Count() const { return static_cast<int>(FPlugins.size()); }
  TSPI* Plugins(int Idx) const;

  // Appends the modules of the given classes to AList in list order, those that declare the
  // extension of APriorityExt moved to the front.
  void FindPluginList(std::span<const TSPIClass> AClasses, const std::string& APriorityExt,
                      std::vector<TSPI*>& AList) const;
  // A wildcard with a folder searches that folder alone; otherwise the places of SearchOptions.
  void Search(const std::string& AWildCard);

  static void SetDefaultGraphic(const TGraphicClass* Value);
  static const TGraphicClass* GetDefaultGraphic();

  bool MacBinary() const { return FMacBinary; }
  void SetMacBinary(bool Value) { FMacBinary = Value; }
  bool GraphicPreview() const { return FPreview; }
  void SetGraphicPreview(bool Value) { FPreview = Value; }
  bool AutoSearch() const { return FAutoSearch; }
  void SetAutoSearch(bool Value) { FAutoSearch = Value; }
  bool EnabledUnicodeAPI() const { return FEnabledUnicodeAPI; }
  void SetEnabledUnicodeAPI(bool Value) { FEnabledUnicodeAPI = Value; }
  TSPISearchOptions SearchOptions() const { return FSearchOptions; }
  void SetSearchOptions(TSPISearchOptions Value) { FSearchOptions = Value; }
  // When set, the only module tried for pictures. Not owned; forgotten when it is deleted from here.
  TInSPI* GraphicForcedLoader() const { return FGraphicForcedLoader; }
  void SetGraphicForcedLoader(TInSPI* Value) { FGraphicForcedLoader = Value; }

  TSPISearchEvent OnSearch;
  TSPISearchingEvent OnSearching;
  TSPIPictureRegisterEvent OnPictureRegister;

private:
  void SearchPlaces(const std::string& AWildCard);
  void SearchRegisteredFolders(const std::string& AWildCard);
  void SearchFolder(const std::string& Folder, const std::string& Pattern);
  void RegisterExtensions(TInSPI& ASPI);

  std::vector<std::unique_ptr<TSPI>> FPlugins;
  TSPISearchOptions FSearchOptions{spsSusieDir, spsAppDir};
  bool FAutoSearch = true;
  bool FMacBinary = true;
  bool FPreview = false;
  bool FEnabledUnicodeAPI = false;
  TInSPI* FGraphicForcedLoader = nullptr;
};

// The registry of the process, or none.
extern TSPIs* SPIsInstance;
// The graphic class registered for module extensions (TSPIBitmap once that unit is linked).
extern const TGraphicClass* DefaultGraphicClass;
