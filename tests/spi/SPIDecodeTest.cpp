// Decoding through real modules: the candidates and their offsets, both sources, preview, progress
// and its stop answer, handle ownership, bad module output, and the graphic classes behind the
// picture loader.

#include "SPITestSupport.h"
#include "platform/Canvas.h"
#include "platform/Picture.h"
#include "spi/SPIBmp.h"
#include "spi/SPIs.h"
#include "support/BmpBuilder.h"

using namespace spitest;

namespace {

struct TProgressRecord {
  TProgressStage Stage;
  int Percent;
  bool Redraw;
  std::string Msg;
};

// A registry over copies of the named test modules, searched in that order.
class TModules {
public:
  explicit TModules(std::initializer_list<const char*> variants, bool unicode = false) {
    FSpis.SetEnabledUnicodeAPI(unicode);
    int n = 0;
    for (const char* variant : variants) FFolder.AddModule(variant, std::to_string(n++) + "-" + variant + ".spi");
    FSpis.Search(FFolder / "*.spi");
  }
  TSPIs& Registry() { return FSpis; }

private:
  TScratchFolder FFolder;
  TSPIs FSpis;
};

uint32_t Rgb(QRgb c) { return c & 0xFFFFFF; }

class SPIDecoding : public THandleLeakCheck {
protected:
  TScratchFolder Files;
  TCallLog Log;

  std::string Save(const TTestPicture& picture, const std::string& name) const {
    picture.SaveTo(Files / name);
    return Files / name;
  }
};

TEST_F(SPIDecoding, EveryBitCountAndRowOrderLoadsThroughThePictureLoader) {
  const struct {
    const char* Variant;
    const char* Extension;
    uint16_t Bits;
  } cases[] = {{"plain", "tvp", 24}, {"plain", "tvp", 8}, {"plain", "tvq", 4}, {"plain", "tvpx", 1}, {"topdown", "tvd", 24}, {"topdown", "tvd", 4}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Variant) + " " + std::to_string(c.Bits));
    TModules modules{c.Variant};
    TTestPicture picture;
    picture.Width = 5;
    picture.Height = 3;
    picture.BitCount = c.Bits;
    if (c.Bits <= 8) {
      picture.Colors = {0x102030, 0xFFEEDD, 0x00FF00};
      if (c.Bits == 1) picture.Colors.resize(2);
      picture.Pixel = [n = picture.Colors.size()](uint32_t x, uint32_t y) { return (x + y) % n; };
    }
    TPicture loader;
    loader.LoadFromFile(Save(picture, std::string("a.") + c.Extension));
    auto* bitmap = dynamic_cast<TSPIBitmap*>(loader.Graphic());
    ASSERT_NE(bitmap, nullptr);
    ASSERT_EQ(bitmap->Width(), 5);
    ASSERT_EQ(bitmap->Height(), 3);
    for (uint32_t y = 0; y < 3; ++y)
      for (uint32_t x = 0; x < 5; ++x) {
        const uint32_t expected = c.Bits <= 8 ? picture.Colors[picture.Pixel(x, y)] : picture.Pixel(x, y);
        EXPECT_EQ(Rgb(bitmap->Image().pixel(static_cast<int>(x), static_cast<int>(y))), expected) << x << "," << y;
      }
    // A 4-bit picture keeps its colour table as the bitmap's palette.
    EXPECT_EQ(bitmap->Palette() != 0, c.Bits == 4);
    if (c.Bits == 4) {
      PALETTEENTRY entries[16];
      ASSERT_EQ(GetPaletteEntries(bitmap->Palette(), 0, 16, entries), 3u);
      EXPECT_EQ(entries[1].peRed, 0xFF);
      EXPECT_EQ(entries[1].peBlue, 0xDD);
    }
  }
}

TEST_F(SPIDecoding, ThirtyTwoBitRowsKeepTheirAlphaOrAreOpaqueWhenTheFourthByteIsUnused) {
  const struct {
    const char* Variant;
    const char* Extension;
    uint32_t Alpha;
    QImage::Format Format;
  } cases[] = {{"plain", "tvp", 0, QImage::Format_RGB32}, {"topdown", "tvd", 0x80, QImage::Format_ARGB32}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Variant);
    TModules modules{c.Variant};
    TTestPicture picture;
    picture.Width = 4;
    picture.Height = 3;
    picture.BitCount = 32;
    picture.Pixel = [alpha = c.Alpha](uint32_t x, uint32_t y) { return (alpha ? alpha + y : 0) << 24 | x << 16 | y << 8 | 0x20; };
    TPicture loader;
    loader.LoadFromFile(Save(picture, std::string("a.") + c.Extension));
    const QImage& image = dynamic_cast<TSPIBitmap&>(*loader.Graphic()).Image();
    ASSERT_EQ(image.format(), c.Format);
    for (uint32_t y = 0; y < 3; ++y)
      for (uint32_t x = 0; x < 4; ++x)
        EXPECT_EQ(image.pixel(static_cast<int>(x), static_cast<int>(y)),
                  c.Alpha ? picture.Pixel(x, y) : 0xFF000000u | picture.Pixel(x, y)) << x << "," << y;
  }
}

TEST_F(SPIDecoding, EachCandidateGetsBothOffsetsBeforeTheNext) {
  TModules modules{"plain", "macbin"};
  TTestPicture picture;
  picture.Magic = "TVMB";
  picture.MacBinaryHeader = 128;
  const std::string path = Save(picture, "a.tvp");
  TSPIGraphic graphic;
  graphic.LoadFromFile(path);
  EXPECT_EQ(graphic.Width(), 3);
  EXPECT_EQ(Log.Lines(), (std::vector<std::string>{"plain IsSupported no", "plain IsSupported no", "macbin IsSupported no",
                                                   "macbin IsSupported yes", "macbin GetPictureInfo flag=0 len=128",
                                                   "macbin GetPicture flag=0 len=128"}));
  // Without MacBinary mode only the start of the file is tried.
  Log.Reset();
  modules.Registry().SetMacBinary(false);
  EXPECT_THROW(graphic.LoadFromFile(path), EInvalidGraphic);
  EXPECT_EQ(Log.Lines(), (std::vector<std::string>{"plain IsSupported no", "macbin IsSupported no"}));
}

TEST_F(SPIDecoding, StreamsAreHandedOverAsMemoryWholeWhateverTheirPosition) {
  TModules modules{"macbin"};
  TTestPicture picture;
  picture.Magic = "TVMB";
  picture.MacBinaryHeader = 128;
  const std::vector<uint8_t> bytes = picture.Bytes();
  TMemoryStream memory;
  memory.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  TFileStream file(Save(picture, "a.tvm"), fmOpenRead);
  file.SetPosition(40);
  for (TStream* stream : {static_cast<TStream*>(&memory), static_cast<TStream*>(&file)}) {
    Log.Reset();
    TSPIGraphic graphic;
    graphic.LoadFromStreamWithName(*stream, "");
    EXPECT_EQ(graphic.Width(), 3);
    EXPECT_EQ(Log.Lines().back(), "macbin GetPicture flag=1 len=" + std::to_string(bytes.size() - 128));
  }
}

TEST_F(SPIDecoding, WithoutARegistryNothingIsTriedButProgressStillFrames) {
  Save(TTestPicture{}, "a.tvp");
  std::vector<TProgressRecord> progress;
  TSPIGraphic graphic;
  graphic.OnProgress = [&](TGraphic& sender, TProgressStage stage, int percent, bool redraw, const TRect&, const std::string& msg) {
    EXPECT_EQ(&sender, &graphic);
    progress.push_back({stage, percent, redraw, msg});
  };
  try {
    graphic.LoadFromFile(Files / "a.tvp");
    ADD_FAILURE() << "decoded";
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "Susie Plugins could not decode");
  }
  EXPECT_TRUE(graphic.Empty());
  ASSERT_EQ(progress.size(), 3u);
  EXPECT_EQ(progress[0].Msg, "Loading Graphic by Susie Plugin");
  EXPECT_EQ(progress[1].Msg, "Seeking enabled Susie Plugins");
  EXPECT_EQ(progress[2].Stage, TProgressStage::psEnding);
  EXPECT_EQ(progress[2].Percent, 100);
  EXPECT_TRUE(progress[2].Redraw);
  EXPECT_EQ(progress[2].Msg, "Loaded Graphic by Susie Plugin");
  EXPECT_TRUE(Log.Lines().empty());
}

TEST_F(SPIDecoding, ProgressOfOneLoad) {
  TModules modules{"plain"};
  TTestPicture picture;
  picture.Height = 64;
  std::vector<TProgressRecord> progress;
  TSPIGraphic graphic;
  graphic.OnProgress = [&](TGraphic&, TProgressStage stage, int percent, bool redraw, const TRect&, const std::string& msg) {
    progress.push_back({stage, percent, redraw, msg});
  };
  graphic.LoadFromFile(Save(picture, "a.tvp"));
  ASSERT_GT(progress.size(), 5u);
  EXPECT_EQ(progress[0].Stage, TProgressStage::psStarting);
  EXPECT_EQ(progress[2].Msg, "Loading by [0-plain.spi]");
  EXPECT_EQ(progress[3].Percent, 2);  // the module's first report, 0 of 64
  EXPECT_EQ(progress[progress.size() - 2].Percent, 99);
  for (size_t i = 3; i + 1 < progress.size(); ++i) {
    EXPECT_EQ(progress[i].Stage, TProgressStage::psRunning);
    EXPECT_EQ(progress[i].Msg, "");
    EXPECT_FALSE(progress[i].Redraw);
  }
  EXPECT_EQ(progress.back().Msg, "Loaded Graphic by Susie Plugin");
}

TEST_F(SPIDecoding, AbortFromTheProgressHandlerStopsThatModuleAndTheNextIsTried) {
  TModules modules{"plain", "nopreview"};
  bool aborted = false;
  TSPIGraphic graphic;
  graphic.OnProgress = [&](TGraphic&, TProgressStage, int percent, bool, const TRect&, const std::string&) {
    if (percent >= 2 && percent < 100 && !aborted) {
      aborted = true;
      throw EAbort("stop");
    }
  };
  graphic.LoadFromFile(Save(TTestPicture{}, "a.tvp"));
  EXPECT_FALSE(graphic.Empty());
  const std::vector<std::string> lines = Log.Lines();
  // The module that declares the extension is asked first.
  EXPECT_NE(std::find(lines.begin(), lines.end(), "nopreview GetPicture flag=0 len=0"), lines.end());
  EXPECT_EQ(lines.back(), "plain GetPicture flag=0 len=0");
}

TEST_F(SPIDecoding, AnyOtherExceptionOfTheProgressHandlerEndsTheLoad) {
  TModules modules{"plain", "nopreview"};
  std::vector<TProgressRecord> progress;
  TSPIGraphic graphic;
  graphic.OnProgress = [&](TGraphic&, TProgressStage stage, int percent, bool redraw, const TRect&, const std::string& msg) {
    progress.push_back({stage, percent, redraw, msg});
    if (percent == 2) throw EInvalidOperation("handler failed");
  };
  EXPECT_THROW(graphic.LoadFromFile(Save(TTestPicture{}, "a.tvp")), EInvalidOperation);
  EXPECT_TRUE(graphic.Empty());
  EXPECT_EQ(progress.back().Stage, TProgressStage::psEnding);
  // The module that declares the extension fails; the next one is not asked.
  EXPECT_EQ(Log.Lines().back(), "nopreview GetPicture flag=0 len=0");
  for (const std::string& line : Log.Lines()) EXPECT_EQ(line.rfind("plain Get", 0), std::string::npos) << line;
}

TEST_F(SPIDecoding, TheForcedLoaderIsTheOnlyCandidate) {
  TModules modules{"plain", "nopreview"};
  modules.Registry().SetGraphicForcedLoader(dynamic_cast<TInSPI*>(modules.Registry().Plugins(1)));
  TSPIGraphic graphic;
  graphic.LoadFromFile(Save(TTestPicture{}, "a.tvq"));
  for (const std::string& line : Log.Lines()) EXPECT_EQ(line.rfind("nopreview ", 0), 0u) << line;
}

TEST_F(SPIDecoding, PreviewIsAskedFirstWhenWantedAndMissingPreviewIsNoError) {
  const std::string path = Save(TTestPicture{}, "a.tvp");
  {
    TModules modules{"plain"};
    modules.Registry().SetGraphicPreview(true);
    TSPIGraphic graphic;
    graphic.LoadFromFile(path);
    EXPECT_EQ(graphic.Width(), 1);  // the module's preview is one pixel
    EXPECT_EQ(Log.Lines().back(), "plain GetPreview flag=0 len=0");
  }
  TModules modules{"nopreview"};
  modules.Registry().SetGraphicPreview(true);
  TSPIGraphic graphic;
  graphic.LoadFromFile(path);
  EXPECT_EQ(graphic.Width(), 3);
}

TEST_F(SPIDecoding, PictureInformationIsKeptAndItsTextFreed) {
  TModules modules{"plain", "infofail"};
  TSPIGraphic owner;
  TInSPIAbleFromFile withInfo(owner, Save(TTestPicture{}, "a.tvp"));
  withInfo.Load();
  // The record is packed: its fields are read by value.
  const auto field = [](auto value) { return value; };
  EXPECT_FALSE(withInfo.PictureInfoIsEmpty());
  EXPECT_EQ(field(withInfo.PictureInfo().Width), 3);
  EXPECT_EQ(field(withInfo.PictureInfo().ColorDepth), 24);
  EXPECT_NE(field(withInfo.PictureInfo().HInfo), 0u);
  withInfo.Clear();
  EXPECT_EQ(field(withInfo.PictureInfo().HInfo), 0u);
  EXPECT_EQ(field(withInfo.PictureInfo().Width), 3);

  // A failing GetPictureInfo does not keep the picture from being decoded.
  TInSPIAbleFromFile withoutInfo(owner, Save(TTestPicture{}, "a.tvi"));
  withoutInfo.Load();
  EXPECT_FALSE(withoutInfo.IsEmpty());
  EXPECT_TRUE(withoutInfo.PictureInfoIsEmpty());
}

TEST_F(SPIDecoding, AHeaderThatDisagreesWithItsBlocksIsAFailedDecode) {
  const std::string path = Save(TTestPicture{}, "a.tvb");
  {
    TModules modules{"badsizes"};
    TSPIBitmap bitmap;
    EXPECT_THROW(bitmap.LoadFromFile(path), EInvalidGraphic);
    EXPECT_TRUE(bitmap.Empty());
  }
  // The next candidate decodes what the lying one could not.
  TModules modules{"badsizes", "nopreview"};
  TSPIBitmap bitmap;
  bitmap.LoadFromFile(path);
  EXPECT_EQ(bitmap.Width(), 3);
}

TEST_F(SPIDecoding, BmpNamesAreReadAsPlainBitmapsFirst) {
  TModules modules{"nopreview"};
  TBmpBuilder bmp;
  bmp.FillRows(0x80);
  WriteFile(Files / "real.BMP", bmp.Bytes());
  WriteFile(Files / "real.tvp", bmp.Bytes());
  TSPIBitmap bitmap;
  bitmap.LoadFromFile(Files / "real.BMP");
  EXPECT_TRUE(Log.Lines().empty());
  bitmap.LoadFromFile(Files / "real.tvp");  // the modules first, then the bitmap reader
  EXPECT_EQ(Log.Lines(), (std::vector<std::string>{"nopreview IsSupported no", "nopreview IsSupported no"}));
  EXPECT_EQ(bitmap.Width(), 2);
  bitmap.LoadFromFile(Save(TTestPicture{}, "module.bmp"));
  EXPECT_EQ(bitmap.Width(), 3);
}

TEST_F(SPIDecoding, AFailedLoadKeepsThePreviousPictureAndStillReportsTheEnd) {
  TModules modules{"plain"};
  TSPIBitmap bitmap;
  bitmap.LoadFromFile(Save(TTestPicture{}, "a.tvp"));
  std::vector<TProgressRecord> progress;
  bitmap.OnProgress = [&](TGraphic& sender, TProgressStage stage, int percent, bool redraw, const TRect& r, const std::string& msg) {
    EXPECT_EQ(&sender, &bitmap);
    if (stage == TProgressStage::psEnding) EXPECT_EQ(r.Right, 3);
    progress.push_back({stage, percent, redraw, msg});
  };
  WriteFile(Files / "broken.tvp", {'T', 'V', 'P', 'X', 1});
  try {
    bitmap.LoadFromFile(Files / "broken.tvp");
    ADD_FAILURE() << "loaded";
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "Susie Plugins could not decode");
  }
  EXPECT_EQ(bitmap.Width(), 3);
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back().Msg, "Loaded Graphic");
  // The inner ends are not passed on: one end, the bitmap's own.
  EXPECT_EQ(std::count_if(progress.begin(), progress.end(), [](auto& p) { return p.Stage == TProgressStage::psEnding; }), 1);
}

TEST_F(SPIDecoding, WideFormsTakeTheNameAsUtf16) {
  TModules modules({"plain"}, true);
  TPicture loader;
  loader.LoadFromFile(Save(TTestPicture{}, "写真.tvp"));
  EXPECT_EQ(loader.Width(), 3);
  EXPECT_EQ(Log.Lines().back(), "plain GetPictureW flag=0 len=0");
}

TEST_F(SPIDecoding, TheBmpImageWrittenHasTheDecodedLayout) {
  const struct {
    const char* Variant;
    const char* Name;
    uint16_t Bits;
    size_t Colors;
    int32_t Height;
  } cases[] = {{"plain", "a.tvp", 24, 0, 2}, {"plain", "a.tvp", 8, 3, 2}, {"topdown", "a.tvd", 24, 0, -2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name + std::to_string(c.Bits));
    TModules modules{c.Variant};
    TTestPicture picture;
    picture.BitCount = c.Bits;
    picture.Colors.assign(c.Colors, 0x123456);
    if (c.Bits == 8) picture.Pixel = [](uint32_t, uint32_t) { return 1u; };
    TSPIGraphic graphic;
    graphic.LoadFromFile(Save(picture, c.Name));
    EXPECT_EQ(graphic.Height(), c.Height);
    TMemoryStream out;
    graphic.SaveToStream(out);
    const size_t info = 40 + 4 * c.Colors;
    const size_t bits = static_cast<size_t>(DIBRowBytes(3, c.Bits)) * 2;
    ASSERT_EQ(out.Size(), static_cast<int64_t>(14 + info + bits));
    BITMAPFILEHEADER file;
    BITMAPINFOHEADER head;
    std::memcpy(&file, out.Memory(), sizeof file);
    std::memcpy(&head, out.Memory() + 14, sizeof head);
    const uint16_t type = file.bfType;
    const uint32_t size = file.bfSize, offBits = file.bfOffBits;
    const int32_t height = head.biHeight;
    EXPECT_EQ(type, kBitmapFileType);
    EXPECT_EQ(size, 14 + info + bits);
    EXPECT_EQ(offBits, 14 + info);
    EXPECT_EQ(height, c.Height);
  }
}

TEST_F(SPIDecoding, DrawingShowsThePictureUprightInEitherRowOrder) {
  for (const char* variant : {"plain", "topdown"}) {
    SCOPED_TRACE(variant);
    TModules modules{variant};
    TSPIGraphic graphic;
    graphic.LoadFromFile(Save(TTestPicture{}, std::string("a.") + (variant[0] == 'p' ? "tvp" : "tvd")));
    QImage surface(3, 2, QImage::Format_RGB32);
    surface.fill(0);
    TCanvas canvas;
    canvas.SetSurface(&surface);
    graphic.Draw(canvas, Rect(0, 0, 3, 2));
    EXPECT_EQ(Rgb(surface.pixel(0, 0)), TTestPicture{}.Pixel(0, 0));
    EXPECT_EQ(Rgb(surface.pixel(2, 1)), TTestPicture{}.Pixel(2, 1));
  }
}

TEST_F(SPIDecoding, AssigningCopiesAndConvertingEmptiesTheDecodedGraphic) {
  TModules modules{"plain"};
  TSPIGraphic graphic;
  graphic.LoadFromFile(Save(TTestPicture{}, "a.tvp"));
  TSPIBitmap bitmap;
  bitmap.Assign(&graphic);
  EXPECT_EQ(bitmap.Width(), 3);
  EXPECT_FALSE(graphic.Empty());
  const std::unique_ptr<TGraphic> converted = graphic.CreateAndConvertToDIBFileReadableGraphic(TBitmap::StaticClass());
  EXPECT_EQ(converted->Width(), 3);
  EXPECT_TRUE(graphic.Empty());
}

TEST_F(SPIDecoding, LoadFromStreamWithNameCannotBeRedirected) {
  TModules modules{"plain"};
  bool otherCalled = false;
  TSPIBitmap bitmap;
  bitmap.SetOnLoadFromStreamWithName([&](TStream&, const std::string&) { otherCalled = true; });
  const std::vector<uint8_t> bytes = TTestPicture{}.Bytes();
  TReadOnlyMemoryStream stream(bytes.data(), bytes.size());
  bitmap.OnLoadFromStreamWithName()(stream, "a.tvp");
  EXPECT_FALSE(otherCalled);
  EXPECT_EQ(bitmap.Width(), 3);
}

}  // namespace
