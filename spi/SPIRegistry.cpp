#include "SPIRegistry.h"

#include "SPIText.h"
#include "platform/FileSearch.h"
#include "platform/Picture.h"
#include "platform/ProgramFolders.h"
#include "platform/Registry.h"

#include <filesystem>

TSPIs* SPIsInstance = nullptr;
const TGraphicClass* DefaultGraphicClass = nullptr;

namespace {

// The keys under which an installed viewer of this plug-in family names its module folders.
constexpr const char* kPluginKey = "\\Software\\Morvath\\Susie2\\Plugin";
constexpr const char* kPluginKeyValue = "Folder";
constexpr const char* kLegacyPluginKey = "\\Software\\Morvath\\Susie\\Plug-in";
constexpr const char* kLegacyPluginKeyValue = "Path";

// Absolute, with one trailing '/', so that one folder reached two ways gives the same module paths.
std::string FolderWithSlash(const std::string& folder) {
  std::error_code error;
  std::filesystem::path path = std::filesystem::absolute(folder, error);
  if (error) path = folder;
  std::string text = path.lexically_normal().string();
  if (text.empty() || text.back() != '/') text += '/';
  return text;
}

// The patterns of one filter entry, from the last to the first, each without the part up to its first '.'.
std::vector<std::string> ExtensionsOf(const std::string& entry) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (true) {
    const size_t end = entry.find(';', start);
    std::string piece = entry.substr(start, end == std::string::npos ? std::string::npos : end - start);
    const size_t dot = piece.find('.');
    if (dot != std::string::npos) piece.erase(0, dot + 1);
    pieces.insert(pieces.begin(), std::move(piece));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return pieces;
}

}  // namespace

TSPIs::TSPIs() {
  if (SPIsInstance) throw SPIDupCreate();
  SPIsInstance = this;
}

TSPIs::~TSPIs() {
  if (SPIsInstance == this) SPIsInstance = nullptr;
  Clear();
}

void TSPIs::Loaded() {
  if (FAutoSearch) Search("*.spi");
}

void TSPIs::SetDefaultGraphic(const TGraphicClass* Value) { DefaultGraphicClass = Value; }

const TGraphicClass* TSPIs::GetDefaultGraphic() { return DefaultGraphicClass; }

void TSPIs::Add(std::unique_ptr<TSPI> ASPI) { Insert(Count(), std::move(ASPI)); }

void TSPIs::Insert(int Idx, std::unique_ptr<TSPI> ASPI) {
  TSPI* spi = ASPI.get();
  FPlugins.insert(FPlugins.begin() + Idx, std::move(ASPI));
  if (auto* input = dynamic_cast<TInSPI*>(spi)) RegisterExtensions(*input);
}

void TSPIs::RegisterExtensions(TInSPI& ASPI) {
  const std::vector<std::string>& filters = ASPI.ExtNames();
  const std::vector<std::string>& types = ASPI.FileTypes();
  for (size_t i = 0; i < filters.size(); ++i) {
    const TGraphicClass* graphicClass = DefaultGraphicClass;
    for (const std::string& extension : ExtensionsOf(filters[i])) {
      if (OnPictureRegister) OnPictureRegister(*this, ASPI, extension, types[i], graphicClass);
      if (graphicClass) TPicture::RegisterFileFormat(extension, types[i], *graphicClass);
    }
  }
}

void TSPIs::Delete(int Idx) {
  std::unique_ptr<TSPI> spi = std::move(FPlugins.at(static_cast<size_t>(Idx)));
  FPlugins.erase(FPlugins.begin() + Idx);
  // The forced loader is not owned, but one that was ours must not outlive its module.
  if (FGraphicForcedLoader == spi.get()) FGraphicForcedLoader = nullptr;
}

void TSPIs::Remove(TSPI* ASPI) {
  const int index = IndexOf(ASPI);
  if (index >= 0) Delete(index);
}

int TSPIs::IndexOf(const TSPI* ASPI) const {
  for (size_t i = 0; i < FPlugins.size(); ++i)
    if (FPlugins[i].get() == ASPI) return static_cast<int>(i);
  return -1;
}

int TSPIs::IndexOfSPIName(const std::string& ASPIName) const {
  for (size_t i = 0; i < FPlugins.size(); ++i)
    if (SameText(FPlugins[i]->FileName(), ASPIName)) return static_cast<int>(i);
  return -1;
}

void TSPIs::Exchange(int Idx1, int Idx2) {
  std::swap(FPlugins.at(static_cast<size_t>(Idx1)), FPlugins.at(static_cast<size_t>(Idx2)));
}

void TSPIs::Clear() {
  while (Count() > 0) Delete(0);
}

TSPI* TSPIs::Plugins(int Idx) const { return FPlugins.at(static_cast<size_t>(Idx)).get(); }

void TSPIs::FindPluginList(std::span<const TSPIClass> AClasses, const std::string& APriorityExt,
                           std::vector<TSPI*>& AList) const {
  const std::string extension = ExtractFileExt(APriorityExt);
  for (const std::unique_ptr<TSPI>& spi : FPlugins) {
    bool wanted = false;
    for (TSPIClass spiClass : AClasses) wanted = wanted || spi->ClassType().InheritsFrom(*spiClass);
    if (!wanted) continue;
    bool declares = false;
    if (!extension.empty())
      for (const std::string& filter : spi->ExtNames()) declares = declares || SameText(ExtractFileExt(filter), extension);
    if (declares) AList.insert(AList.begin(), spi.get());
    else AList.push_back(spi.get());
  }
}

void TSPIs::Search(const std::string& AWildCard) {
  const std::string folder = ExtractFilePath(AWildCard);
  if (!folder.empty()) SearchFolder(FolderWithSlash(folder), ExtractFileName(AWildCard));
  else SearchPlaces(AWildCard);
}

void TSPIs::SearchPlaces(const std::string& AWildCard) {
  if (FSearchOptions.Contains(spsSusieDir)) SearchRegisteredFolders(AWildCard);
  if (FSearchOptions.Contains(spsAppDir)) SearchFolder(FolderWithSlash(ExecutableFolder()), AWildCard);
  if (FSearchOptions.Contains(spsCurrentDir)) {
    std::error_code error;
    const std::filesystem::path current = std::filesystem::current_path(error);
    if (!error) SearchFolder(FolderWithSlash(current.string()), AWildCard);
  }
  if (FSearchOptions.Contains(spsSystemDir)) SearchFolder(FolderWithSlash(SystemModuleFolder()), AWildCard);
  if (FSearchOptions.Contains(spsWindowsDir)) SearchFolder(FolderWithSlash(InstallationModuleFolder()), AWildCard);
}

void TSPIs::SearchRegisteredFolders(const std::string& AWildCard) {
  try {
    TRegistry registry;
    for (const auto& [key, value] : {std::pair{kPluginKey, kPluginKeyValue}, std::pair{kLegacyPluginKey, kLegacyPluginKeyValue}}) {
      if (!registry.OpenKeyReadOnly(key)) continue;
      const std::string folder = registry.ReadString(value);
      registry.CloseKey();
      if (!folder.empty()) SearchFolder(FolderWithSlash(folder), AWildCard);
    }
  } catch (const ERegistryException&) {
    // A registry that cannot be read names no folder.
  }
}

void TSPIs::SearchFolder(const std::string& Folder, const std::string& Pattern) {
  std::vector<std::string> paths;
  for (const std::string& name : FindFiles(Folder, Pattern))
    if (IndexOfSPIName(Folder + name) < 0) paths.push_back(Folder + name);

  for (const std::string& path : paths) {
    bool accept = true;
    if (OnSearching) OnSearching(*this, path, accept);
    if (!accept) continue;
    std::unique_ptr<TSPI> spi = CreateSPIFromFile(path, FEnabledUnicodeAPI);
    if (!spi) continue;
    TSPI* wrapper = spi.get();
    try {
      accept = true;
      if (OnSearch) OnSearch(*this, *wrapper, accept);
      if (accept) Add(std::move(spi));
    } catch (...) {
      // A handler or a registration that fails costs this module alone.
      Remove(wrapper);
    }
  }
}
