// The DIB library's graphic loading through the modules, with its palette options.

#include "SPITestSupport.h"
#include "spi/SPIKpDIB.h"
#include "spi/SPIs.h"

using namespace spitest;

namespace {

class SPIKpDIBLoading : public THandleLeakCheck {
protected:
  TScratchFolder Files;
};

TEST_F(SPIKpDIBLoading, PaletteOptionsDecideWhetherTrueColourGetsAPalette) {
  TSPIs spis;
  spis.Add(CreateSPIFromFile(ModulePath("plain"), false));
  TTestPicture picture;
  picture.SaveTo(Files / "a.tvp");
  TTestPicture indexed;
  indexed.BitCount = 8;
  indexed.Colors = {0x112233, 0x445566};
  indexed.Pixel = [](uint32_t x, uint32_t) { return x % 2; };
  indexed.SaveTo(Files / "b.tvp");

  EXPECT_FALSE(ScreenIs8BitOrLess());  // the offscreen screen has 32 bits
  const struct {
    TSPIKpDIBPaletteOption Option;
    const char* File;
    int Colors;  // of the loaded DIB's palette
  } cases[] = {{sdpNone, "a.tvp", 0}, {sdpDev8bit, "a.tvp", 0}, {sdpAllways, "a.tvp", -1}, {sdpAllways, "b.tvp", 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File + std::to_string(c.Option));
    TSPIKpDIB dib;
    EXPECT_EQ(dib.PaletteOption(), sdpDev8bit);
    dib.SetPaletteOption(c.Option);
    dib.LoadFromFile(Files / c.File);
    EXPECT_EQ(dib.Width(), 3);
    if (c.Colors >= 0) EXPECT_EQ(dib.GetPaletteSize(), c.Colors);
    else EXPECT_GT(dib.GetPaletteSize(), 0);
    EXPECT_EQ(dib.GetBitCount(), c.File[0] == 'a' ? 24 : 8);
  }
}

TEST_F(SPIKpDIBLoading, AssigningPassesTheOptionOnBeforeThePicture) {
  TSPIs spis;
  spis.Add(CreateSPIFromFile(ModulePath("plain"), false));
  TTestPicture{}.SaveTo(Files / "a.tvp");
  TSPIKpDIB source;
  source.SetPaletteOption(sdpNone);
  source.LoadFromFile(Files / "a.tvp");
  source.SetPaletteOption(sdpAllways);
  TSPIKpDIB copy;
  copy.SetPaletteOption(sdpNone);
  copy.Assign(&source);
  EXPECT_EQ(copy.PaletteOption(), sdpAllways);
  EXPECT_GT(copy.GetPaletteSize(), 0);   // the copy's Changed followed the source's option
  EXPECT_EQ(source.GetPaletteSize(), 0);  // and the source is not touched

  TSPIGraphic decoded;
  decoded.LoadFromFile(Files / "a.tvp");
  TSPIKpDIB fromDecoded;
  fromDecoded.SetPaletteOption(sdpNone);
  fromDecoded.Assign(&decoded);
  const uint32_t rgb = TTestPicture{}.Pixel(2, 1);
  // A true-colour pixel reads as a colour value: red in the low byte.
  EXPECT_EQ(fromDecoded.GetPixels(2, 1), static_cast<int32_t>((rgb >> 16) | (rgb & 0xFF00) | (rgb & 0xFF) << 16));
  EXPECT_FALSE(decoded.Empty());
}

TEST_F(SPIKpDIBLoading, BmpNamesGoToTheDIBReaderAndFailuresKeepThePicture) {
  TSPIs spis;
  spis.Add(CreateSPIFromFile(ModulePath("plain"), false));
  TTestPicture{}.SaveTo(Files / "a.tvp");
  TSPIKpDIB dib;
  dib.SetPaletteOption(sdpNone);
  dib.LoadFromFile(Files / "a.tvp");
  TMemoryStream bmp;
  dib.SaveToStream(bmp);
  bmp.SaveToFile(Files / "copy.bmp");
  TSPIKpDIB fromBmp;
  fromBmp.LoadFromFile(Files / "copy.bmp");
  EXPECT_EQ(fromBmp.Height(), 2);

  WriteFile(Files / "broken.tvp", {1, 2, 3});
  try {
    dib.LoadFromFile(Files / "broken.tvp");
    ADD_FAILURE() << "loaded";
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "Susie Plugins could not decode");
  }
  EXPECT_EQ(dib.Width(), 3);
}

}  // namespace
