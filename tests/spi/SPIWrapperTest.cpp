// The wrappers over real modules: class by API version, required exports, wide forms, the
// self-description, and files that are no module.

#include "SPITestSupport.h"
#include "spi/SPIs.h"

using namespace spitest;

namespace {

struct TVersionCase {
  const char* Variant;
  const TSPIMetaClass* Class;
  bool Enabled;
};

class SPIWrappers : public THandleLeakCheck {};

TEST_F(SPIWrappers, ModulesBecomeTheClassTheirExactVersionNames) {
  const TVersionCase cases[] = {
      {"plain", &TInSPI::StaticClass(), true},
      {"lower", &TSPI::StaticClass(), false},  // "00in" is no input module
      {"archive", &TAmSPI::StaticClass(), true},
      {"export", &TXnSPI::StaticClass(), false},
  };
  for (const TVersionCase& c : cases) {
    SCOPED_TRACE(c.Variant);
    const std::unique_ptr<TSPI> spi = CreateSPIFromFile(ModulePath(c.Variant), false);
    ASSERT_TRUE(spi);
    EXPECT_EQ(&spi->ClassType(), c.Class);
    EXPECT_EQ(spi->Enabled(), c.Enabled);
    EXPECT_EQ(spi->FileName(), ModulePath(c.Variant));
    EXPECT_NE(spi->DllHandle(), 0u);
  }
}

TEST_F(SPIWrappers, DescriptionIsReadInPairsUntilOneIsMissing) {
  const std::unique_ptr<TSPI> plain = CreateSPIFromFile(ModulePath("plain"), false);
  EXPECT_EQ(plain->Version(), "00IN");
  EXPECT_EQ(plain->Infomation(), "Tovasel test module plain");
  EXPECT_EQ(plain->ExtNames(), (std::vector<std::string>{"*.tvp;*.tvpx", "*.tvq"}));
  EXPECT_EQ(plain->FileTypes(), (std::vector<std::string>{"Tovasel test picture", "Tovasel test picture Q"}));

  // The filter of info number 4 has no type name at 5: one pair only.
  const std::unique_ptr<TSPI> notype = CreateSPIFromFile(ModulePath("notype"), false);
  EXPECT_EQ(notype->ExtNames(), std::vector<std::string>{"*.tv1"});
  EXPECT_EQ(notype->FileTypes(), std::vector<std::string>{"Tovasel test picture 1"});
}

TEST_F(SPIWrappers, MissingRequiredExportFailsCreationNamingIt) {
  const struct {
    const char* Variant;
    const char* Export;
  } cases[] = {{"nopicture", "GetPicture"}, {"noinfo", "GetPluginInfo"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Variant);
    try {
      CreateSPIFromFile(ModulePath(c.Variant), false);
      ADD_FAILURE() << "created";
    } catch (const ESPIInvalidAPI& e) {
      EXPECT_EQ(e.Message(), std::string(c.Export) + "は[" + ModulePath(c.Variant) + "]では使えないSusie Plugin APIです");
    }
  }
}

TEST_F(SPIWrappers, MissingOptionalExportFailsOnlyWhenCalled) {
  const std::unique_ptr<TSPI> spi = CreateSPIFromFile(ModulePath("nopreview"), false);
  auto& input = dynamic_cast<TInSPI&>(*spi);
  HLOCAL info = 0, bits = 0;
  try {
    input.GetPreview("x", 0, 0, info, bits, nullptr, 0);
    ADD_FAILURE() << "called";
  } catch (const ESPIInvalidAPI& e) {
    EXPECT_EQ(e.Message(), "GetPreviewは[" + ModulePath("nopreview") + "]では使えないSusie Plugin APIです");
  }
  EXPECT_EQ(input.ConfigurationDlg(nullptr, 1), 0);
}

TEST_F(SPIWrappers, WideFormsAreUsedOnlyWhenTheKindHasThemAll) {
  const std::unique_ptr<TSPI> plain = CreateSPIFromFile(ModulePath("plain"), true);
  EXPECT_TRUE(plain->EnabledUnicodeAPI());
  EXPECT_EQ(plain->VersionW(), u"00IN");
  EXPECT_EQ(plain->InfomationW(), u"Tovasel test module plain (wide)");
  EXPECT_EQ(plain->ExtNamesW(), (std::vector<std::u16string>{u"*.tvp;*.tvpx", u"*.tvq"}));

  // GetPluginInfoW alone is not enough for an input module.
  const std::unique_ptr<TSPI> partwide = CreateSPIFromFile(ModulePath("partwide"), true);
  EXPECT_FALSE(partwide->EnabledUnicodeAPI());
  EXPECT_TRUE(partwide->VersionW().empty());
  // Without the wide lists the single-byte ones stand in.
  EXPECT_EQ(partwide->ExtNamesW(), std::vector<std::u16string>{u"*.tvw"});

  // Turned on after creation: the texts are not read again.
  const std::unique_ptr<TSPI> late = CreateSPIFromFile(ModulePath("plain"), false);
  late->SetEnabledUnicodeAPI(true);
  EXPECT_TRUE(late->EnabledUnicodeAPI());
  EXPECT_TRUE(late->InfomationW().empty());
  EXPECT_EQ(late->FileTypesW(), (std::vector<std::u16string>{u"Tovasel test picture", u"Tovasel test picture Q"}));
}

TEST_F(SPIWrappers, CallsReturnTheModulesResultUnchanged) {
  const std::unique_ptr<TSPI> spi = CreateSPIFromFile(ModulePath("archive"), false);
  auto& archive = dynamic_cast<TAmSPI&>(*spi);
  HLOCAL handle = 7;
  TFileInfo info{};
  EXPECT_EQ(archive.GetArchiveInfo("a.tva", 0, 0, handle), SPI_UNKNOWN_FORMAT);
  EXPECT_EQ(handle, 0u);
  EXPECT_EQ(archive.GetFileInfo("a.tva", 0, "x", 0, info), SPI_UNKNOWN_FORMAT);
  EXPECT_EQ(archive.GetFile("a.tva", 0, nullptr, 0, nullptr, 0), SPI_UNKNOWN_FORMAT);
  EXPECT_EQ(archive.ConfigurationDlg(nullptr, 0), SPI_NOT_IMPLEMENTED);
  EXPECT_THROW(archive.GetArchiveInfoW(u"a.tva", 0, 0, handle), ESPIInvalidAPI);
}

TEST_F(SPIWrappers, FilesThatAreNoLoadableModuleGiveNone) {
  const TScratchFolder folder;
  WriteFile(folder / "text.spi", {'n', 'o', 't', ' ', 'E', 'L', 'F'});
  WriteFile(folder / "empty.spi", {});
  EXPECT_FALSE(CreateSPIFromFile(folder / "text.spi", false));
  EXPECT_FALSE(CreateSPIFromFile(folder / "empty.spi", false));
  EXPECT_FALSE(CreateSPIFromFile(folder / "missing.spi", false));
}

TEST_F(SPIWrappers, LoadFailureMessageNamesTheFile) {
  try {
    TInSPI::StaticClass().Create("/nowhere/x.spi", false);
    ADD_FAILURE() << "loaded";
  } catch (const ESPIFOpenErrorSPI& e) {
    EXPECT_EQ(e.Message(), "/nowhere/x.spi:Susie Pluginがロードできませんでした");
  }
}

}  // namespace
