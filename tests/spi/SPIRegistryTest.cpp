// The registry over real module files: the single instance, the places and their order, one load
// per path, extension registration, candidate order and the failures a search survives or not.

#include "SPITestSupport.h"
#include "platform/Picture.h"
#include "platform/ProgramFolders.h"
#include "spi/SPIBitmap.h"
#include "spi/SPIs.h"

#include <algorithm>

using namespace spitest;

namespace {

// The per-user registry file of one test, naming module folders under both keys.
class TRegistryFile {
public:
  TRegistryFile(const std::string& folder, const std::string& legacyPath = "") {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    if (old) FOld = old;
    setenv("XDG_CONFIG_HOME", FConfig.Path().c_str(), 1);
    std::filesystem::create_directories(FConfig / "Tovasel");
    std::string text = "; modules\n[Software\\Morvath\\Susie2\\Plugin]\nFolder=" + folder + "\n";
    if (!legacyPath.empty()) text += "[software\\morvath\\susie\\plug-in]\n  path = \"" + legacyPath + "\"\n";
    std::ofstream(FConfig / "Tovasel/registry.ini") << text;
  }
  ~TRegistryFile() {
    if (FOld) setenv("XDG_CONFIG_HOME", FOld->c_str(), 1);
    else unsetenv("XDG_CONFIG_HOME");
  }

private:
  TScratchFolder FConfig;
  std::optional<std::string> FOld;
};

// A file removed when the test ends, for places outside the scratch folders.
struct TRemovedAtEnd {
  std::string Path;
  ~TRemovedAtEnd() { std::filesystem::remove(Path); }
};

struct TCurrentDirectory {
  std::filesystem::path Old = std::filesystem::current_path();
  explicit TCurrentDirectory(const std::string& path) { std::filesystem::current_path(path); }
  ~TCurrentDirectory() { std::filesystem::current_path(Old); }
};

std::vector<std::string> ModuleNames(const TSPIs& spis) {
  std::vector<std::string> names;
  for (int i = 0; i < spis.Count(); ++i) names.push_back(std::filesystem::path(spis.Plugins(i)->FileName()).filename());
  return names;
}

size_t RegistrationsOf(const std::string& extension) {
  const auto formats = TPicture::FileFormats();
  return static_cast<size_t>(std::count_if(formats.begin(), formats.end(), [&](const auto& f) { return f.first == extension; }));
}

class SPIRegistry : public THandleLeakCheck {};

TEST_F(SPIRegistry, OnlyOneRegistryPerProcess) {
  {
    TSPIs first;
    EXPECT_EQ(SPIsInstance, &first);
    try {
      TSPIs second;
      ADD_FAILURE() << "second registry made";
    } catch (const ESPIDupCreateSPIs& e) {
      EXPECT_EQ(e.Message(), "TSPIs は複数生成できません");
    }
    EXPECT_EQ(SPIsInstance, &first);
  }
  EXPECT_EQ(SPIsInstance, nullptr);
  TSPIs again;
  EXPECT_EQ(SPIsInstance, &again);
}

TEST_F(SPIRegistry, StartsWithTheStoredDefaults) {
  TSPIs spis;
  EXPECT_TRUE(spis.MacBinary());
  EXPECT_FALSE(spis.GraphicPreview());
  EXPECT_TRUE(spis.AutoSearch());
  EXPECT_FALSE(spis.EnabledUnicodeAPI());
  EXPECT_EQ(spis.SearchOptions(), (TSPISearchOptions{spsSusieDir, spsAppDir}));
  EXPECT_EQ(TSPIs::GetDefaultGraphic(), &TSPIBitmap::StaticClass());
}

TEST_F(SPIRegistry, PlacesAreSearchedInTheirOrder) {
  // Names in the opposite order of the places, so that the list shows the places' order.
  const std::string tag = "tvorder" + std::to_string(getpid());
  const TScratchFolder registered, legacy, current;
  registered.AddModule("plain", tag + "-z.spi");
  legacy.AddModule("plain", tag + "-y.spi");
  current.AddModule("plain", tag + "-w.spi");
  const TRegistryFile registry(registered.Path(), legacy.Path());
  std::filesystem::copy_file(ModulePath("plain"), ExecutableFolder() + "/" + tag + "-x.spi");
  const TRemovedAtEnd inApp{ExecutableFolder() + "/" + tag + "-x.spi"};
  std::filesystem::create_directories(InstallationModuleFolder());
  std::filesystem::copy_file(ModulePath("plain"), InstallationModuleFolder() + "/" + tag + "-v.spi");
  const TRemovedAtEnd inInstallation{InstallationModuleFolder() + "/" + tag + "-v.spi"};
  const TCurrentDirectory cd(current.Path());

  TSPIs spis;
  spis.SetSearchOptions({spsSusieDir, spsAppDir, spsCurrentDir, spsSystemDir, spsWindowsDir});
  spis.Search(tag + "-*.spi");
  EXPECT_EQ(ModuleNames(spis), (std::vector<std::string>{tag + "-z.spi", tag + "-y.spi", tag + "-x.spi", tag + "-w.spi",
                                                         tag + "-v.spi"}));

  // The stored choice searches the registered folders and the executable's, not the current directory.
  spis.Clear();
  spis.SetSearchOptions({spsSusieDir, spsAppDir});
  spis.Search(tag + "-*.spi");
  EXPECT_EQ(ModuleNames(spis), (std::vector<std::string>{tag + "-z.spi", tag + "-y.spi", tag + "-x.spi"}));
}

TEST_F(SPIRegistry, LoadedSearchesForModulesOnlyWhenAutoSearchIsSet) {
  const TScratchFolder registered;
  registered.AddModule("plain");
  const TRegistryFile registry(registered.Path());
  {
    TSPIs spis;
    spis.SetAutoSearch(false);
    spis.Loaded();
    EXPECT_EQ(spis.Count(), 0);
  }
  // Only the registered folder: the shipped modules sit beside this test's executable.
  TSPIs spis;
  spis.SetSearchOptions({spsSusieDir});
  spis.Loaded();
  EXPECT_EQ(ModuleNames(spis), std::vector<std::string>{"tvtest-plain.spi"});
}

TEST_F(SPIRegistry, AWildcardWithAFolderSearchesThatFolderAlone) {
  const TScratchFolder registered, named;
  registered.AddModule("plain");
  named.AddModule("nopreview");
  named.AddModule("plain", "UPPER.SPI");
  WriteFile(named / ".hidden.spi", {});
  std::filesystem::create_directories(named / "folder.spi");
  const TRegistryFile registry(registered.Path());
  TSPIs spis;
  spis.SetSearchOptions({});
  spis.Search(named.Path() + "/*.spi");
  EXPECT_EQ(ModuleNames(spis), (std::vector<std::string>{"tvtest-nopreview.spi", "UPPER.SPI"}));
}

TEST_F(SPIRegistry, OnePathIsLoadedOnceWhateverItsLetterCase) {
  const TScratchFolder root;
  root.AddModule("plain", "Mods/a.spi");
  root.AddModule("plain", "mods/a.spi");
  root.AddModule("plain", "other/a.spi");
  TSPIs spis;
  spis.Search(root / "Mods/*.spi");
  spis.Search(root / "Mods/./*.spi");
  spis.Search(root / "mods/*.spi");
  EXPECT_EQ(spis.Count(), 1);
  EXPECT_EQ(spis.IndexOfSPIName(root / "MODS/A.SPI"), 0);
  // The same name in another folder is another module.
  spis.Search(root / "other/*.spi");
  EXPECT_EQ(spis.Count(), 2);
}

TEST_F(SPIRegistry, EveryPieceOfEveryFilterIsRegisteredLastPieceFirst) {
  const TScratchFolder folder;
  folder.AddModule("plain", "a.spi");
  folder.AddModule("topdown", "b.spi");
  folder.AddModule("archive", "c.spi");
  std::vector<std::pair<std::string, std::string>> registered;
  TSPIs spis;
  spis.OnPictureRegister = [&](TSPIs&, TInSPI&, const std::string& extension, const std::string& description,
                               const TGraphicClass*& graphicClass) {
    EXPECT_EQ(graphicClass, &TSPIBitmap::StaticClass());
    registered.emplace_back(extension, description);
  };
  spis.Search(folder / "*.spi");
  EXPECT_EQ(registered, (std::vector<std::pair<std::string, std::string>>{
                            {"tvpx", "Tovasel test picture"},
                            {"tvp", "Tovasel test picture"},
                            {"tvq", "Tovasel test picture Q"},
                            {"", "Tovasel test picture, rows from the top"},  // the trailing ';'
                            {"tvd", "Tovasel test picture, rows from the top"},
                        }));
  // The archive module is listed and counted all the same.
  EXPECT_EQ(spis.Count(), 3);
  EXPECT_EQ(TPicture::FileFormatClass("TVPX"), &TSPIBitmap::StaticClass());
  EXPECT_EQ(TPicture::FileFormatClass("tva"), nullptr);
}

TEST_F(SPIRegistry, TheHandlersClassCarriesOverToTheRestOfItsEntry) {
  const TScratchFolder folder;
  folder.AddModule("plain");
  const size_t tvpBefore = RegistrationsOf("tvp");
  TSPIs spis;
  spis.OnPictureRegister = [&](TSPIs&, TInSPI&, const std::string& extension, const std::string&,
                               const TGraphicClass*& graphicClass) {
    if (extension == "tvpx") graphicClass = nullptr;  // suppresses "tvp" too
    if (extension == "tvq") {
      EXPECT_EQ(graphicClass, &TSPIBitmap::StaticClass());  // the next entry starts afresh
      graphicClass = &TBitmap::StaticClass();
    }
  };
  spis.Search(folder / "*.spi");
  EXPECT_EQ(RegistrationsOf("tvp"), tvpBefore);
  EXPECT_EQ(TPicture::FileFormatClass("tvq"), &TBitmap::StaticClass());
}

TEST_F(SPIRegistry, CandidatesThatDeclareTheExtensionComeFirstLastOneInFront) {
  const TScratchFolder folder;
  TSPIs spis;
  for (const char* variant : {"plain", "nopreview", "archive", "infofail"}) spis.Add(CreateSPIFromFile(ModulePath(variant), false));
  spis.Add(CreateSPIFromFile(folder.AddModule("nopreview", "second.spi"), false));
  const auto names = [&](const std::string& file, std::initializer_list<TSPIClass> classes) {
    std::vector<TSPI*> list;
    spis.FindPluginList(std::vector<TSPIClass>(classes), file, list);
    std::vector<std::string> result;
    for (TSPI* spi : list) result.push_back(std::filesystem::path(spi->FileName()).stem());
    return result;
  };
  const TSPIClass input = &TInSPI::StaticClass();
  EXPECT_EQ(names("/a/b.TVP", {input}),
            (std::vector<std::string>{"second", "tvtest-nopreview", "tvtest-plain", "tvtest-infofail"}));
  // Of "*.tvp;*.tvpx" only the last pattern counts.
  EXPECT_EQ(names("b.tvpx", {input}),
            (std::vector<std::string>{"tvtest-plain", "tvtest-nopreview", "tvtest-infofail", "second"}));
  EXPECT_EQ(names("/a.tvp/noext", {input}),
            (std::vector<std::string>{"tvtest-plain", "tvtest-nopreview", "tvtest-infofail", "second"}));
  EXPECT_EQ(names("noext", {&TLoaderSPI::StaticClass()}),
            (std::vector<std::string>{"tvtest-plain", "tvtest-nopreview", "tvtest-archive", "tvtest-infofail", "second"}));
}

TEST_F(SPIRegistry, AMissingRequiredExportEndsTheSearch) {
  const TScratchFolder folder;
  folder.AddModule("plain", "a.spi");
  folder.AddModule("nopicture", "b.spi");
  folder.AddModule("plain", "c.spi");
  TSPIs spis;
  EXPECT_THROW(spis.Search(folder / "*.spi"), ESPIInvalidAPI);
  EXPECT_EQ(ModuleNames(spis), std::vector<std::string>{"a.spi"});
}

TEST_F(SPIRegistry, FilesThatAreNoModuleAndRefusedModulesAreSkipped) {
  const TScratchFolder folder;
  WriteFile(folder / "a-garbage.spi", std::vector<uint8_t>(4096, 0x7F));
  folder.AddModule("plain", "b-refused-by-name.spi");
  folder.AddModule("plain", "c-refused.spi");
  folder.AddModule("plain", "d-handler-fails.spi");
  folder.AddModule("plain", "e-registration-fails.spi");
  folder.AddModule("nopreview", "f-kept.spi");
  TSPIs spis;
  spis.OnSearching = [](TSPIs&, const std::string& path, bool& accept) { accept = path.find("by-name") == std::string::npos; };
  spis.OnSearch = [](TSPIs&, TSPI& spi, bool& accept) {
    accept = spi.FileName().find("c-refused") == std::string::npos;
    if (spi.FileName().find("handler-fails") != std::string::npos) throw Exception("handler");
  };
  spis.OnPictureRegister = [](TSPIs&, TInSPI& spi, const std::string&, const std::string&, const TGraphicClass*&) {
    if (spi.FileName().find("registration-fails") != std::string::npos) throw Exception("registration");
  };
  spis.Search(folder / "*.spi");
  EXPECT_EQ(ModuleNames(spis), std::vector<std::string>{"f-kept.spi"});
}

TEST_F(SPIRegistry, ListOperationsAndTheForcedLoader) {
  TSPIs spis;
  spis.Add(CreateSPIFromFile(ModulePath("plain"), false));
  spis.Add(CreateSPIFromFile(ModulePath("nopreview"), false));
  spis.Insert(0, CreateSPIFromFile(ModulePath("lower"), false));
  EXPECT_EQ(ModuleNames(spis), (std::vector<std::string>{"tvtest-lower.spi", "tvtest-plain.spi", "tvtest-nopreview.spi"}));
  spis.Exchange(0, 2);
  EXPECT_EQ(spis.IndexOf(spis.Plugins(2)), 2);
  auto* forced = dynamic_cast<TInSPI*>(spis.Plugins(0));
  spis.SetGraphicForcedLoader(forced);
  spis.Remove(forced);
  EXPECT_EQ(spis.GraphicForcedLoader(), nullptr);
  EXPECT_EQ(ModuleNames(spis), (std::vector<std::string>{"tvtest-plain.spi", "tvtest-lower.spi"}));
  spis.Clear();
  EXPECT_EQ(spis.Count(), 0);
  EXPECT_EQ(spis.IndexOfSPIName(ModulePath("plain")), -1);
}

}  // namespace
