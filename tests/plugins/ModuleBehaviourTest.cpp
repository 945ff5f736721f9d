// What every module shows the host besides pixels: its self-description, recognising its format by
// content, the file source with an offset, progress and the stop answer; and the JPEG module's
// EXIF orientation and reduced preview.

#include "PluginTestSupport.h"

#include <cstring>

using namespace plugintest;

namespace {

std::vector<uint8_t> Fixture(const std::string& name) { return ReadBytes(std::string(TOVASEL_FIXTURES) + "/" + name); }

const std::pair<const char*, const char*> kFixtures[] = {
    {"picture.jpg", "ifjpeg"}, {"picture.png", "ifpng"},   {"picture.gif", "ifgif"},
    {"picture.webp", "ifwebp"}, {"picture.avif", "ifavif"}, {"picture.tif", "iftiff"},
    {"picture.svg", "ifsvg"},  {"picture.ico", "ifqtimg"}, {"picture.tga", "iftga"},
};
const char* const kModules[] = {"ifjpeg", "ifpng", "ifgif", "ifwebp", "ifavif", "iftiff", "ifsvg", "iftga", "ifqtimg"};

class ModuleBehaviour : public spitest::THandleLeakCheck {
protected:
  TScratchFolder Files;
};

TEST_F(ModuleBehaviour, EachModuleDescribesItselfAndItsFormats) {
  const std::pair<const char*, std::vector<std::string>> expected[] = {
      {"ifjpeg", {"*.jpg;*.jpeg;*.jpe;*.jfif"}}, {"ifpng", {"*.png"}},  {"ifgif", {"*.gif"}},
      {"ifwebp", {"*.webp"}}, {"ifavif", {"*.avif"}}, {"iftiff", {"*.tif;*.tiff"}}, {"ifsvg", {"*.svg"}},
      {"iftga", {"*.tga"}},
  };
  for (const auto& [name, filters] : expected) {
    SCOPED_TRACE(name);
    const std::unique_ptr<TInSPI> module = OpenModule(name);
    ASSERT_TRUE(module);
    EXPECT_EQ(module->Version(), "00IN");
    EXPECT_NE(module->Infomation().find(std::string(name) + ".spi"), std::string::npos) << module->Infomation();
    EXPECT_EQ(module->ExtNames(), filters);
    EXPECT_EQ(module->FileTypes().size(), filters.size());
  }
  // Qt's reader brings what no other module reads, and nothing that one does.
  const std::unique_ptr<TInSPI> qt = OpenModule("ifqtimg");
  ASSERT_TRUE(qt);
  const std::vector<std::string>& filters = qt->ExtNames();
  for (const char* wanted : {"*.ico", "*.ppm", "*.xpm"})
    EXPECT_NE(std::find(filters.begin(), filters.end(), wanted), filters.end()) << wanted;
  for (const char* unwanted : {"*.png", "*.jpg", "*.jpeg", "*.gif", "*.bmp", "*.tif", "*.webp", "*.svg", "*.tga"})
    EXPECT_EQ(std::find(filters.begin(), filters.end(), unwanted), filters.end()) << unwanted;
  // Too small a buffer gets the text cut, never overrun.
  char small[8];
  std::memset(small, 'x', sizeof small);
  EXPECT_EQ(qt->GetPluginInfo(1, small, 5), 4);
  EXPECT_EQ(small[4], '\0');
  EXPECT_EQ(small[5], 'x');
  EXPECT_EQ(qt->GetPluginInfo(2 + 2 * static_cast<int32_t>(filters.size()), small, 8), 0) << "past the last pair";
}

TEST_F(ModuleBehaviour, EachFormatIsRecognisedByItsContentAndByItsOwnModuleAlone) {
  std::vector<std::unique_ptr<TInSPI>> modules;
  for (const char* name : kModules) modules.push_back(OpenModule(name));
  for (const auto& [fixture, owner] : kFixtures) {
    std::vector<uint8_t> head = Fixture(fixture);
    head.resize(SPI_HEAD_BYTES + 128, 0);
    for (size_t i = 0; i < modules.size(); ++i) {
      ASSERT_TRUE(modules[i]);
      EXPECT_EQ(modules[i]->IsSupported("name.without.meaning", head.data()) != 0, std::string(owner) == kModules[i])
          << fixture << " asked of " << kModules[i];
    }
  }
  // A PNG named like a JPEG still loads: the JPEG module declines it and the PNG module takes it.
  TShippedModules registry;
  spitest::WriteFile(Files / "named-wrongly.jpg", Fixture("picture.png"));
  EXPECT_EQ(LoadThroughPictureLoader(Files / "named-wrongly.jpg").Pixels.Width, 16);
}

TEST_F(ModuleBehaviour, TheFileSourceStartsAtItsOffsetAndFailsCleanlyOnBadSources) {
  const std::unique_ptr<TInSPI> module = OpenModule("ifpng");
  ASSERT_TRUE(module);
  std::vector<uint8_t> behindHeader(128, 0);
  const std::vector<uint8_t> png = Fixture("picture.png");
  behindHeader.insert(behindHeader.end(), png.begin(), png.end());
  spitest::WriteFile(Files / "macbinary.png", behindHeader);

  HLOCAL info = 0, bits = 0;
  ASSERT_EQ(module->GetPicture((Files / "macbinary.png").c_str(), 128, SPI_SOURCE_FILE, info, bits, nullptr, 0), SPI_SUCCESS);
  EXPECT_TRUE(SamePixels(TakePicture(info, bits), DecodeFromMemory(*module, png).Pixels));

  const struct {
    const char* What;
    std::string Name;
    int32_t Offset;
    uint32_t Flag;
    int32_t Result;
  } bad[] = {
      {"missing file", Files / "none.png", 0, SPI_SOURCE_FILE, SPI_FILE_READ_ERROR},
      {"a folder", Files.Path(), 0, SPI_SOURCE_FILE, SPI_FILE_READ_ERROR},
      {"offset past the end", Files / "macbinary.png", 100000, SPI_SOURCE_FILE, SPI_FILE_READ_ERROR},
      {"negative offset", Files / "macbinary.png", -1, SPI_SOURCE_FILE, SPI_FILE_READ_ERROR},
      {"unknown source", Files / "macbinary.png", 0, 2, SPI_NOT_IMPLEMENTED},
  };
  for (const auto& c : bad) {
    SCOPED_TRACE(c.What);
    TPictureInfo pictureInfo{};
    EXPECT_EQ(module->GetPictureInfo(c.Name.c_str(), c.Offset, c.Flag, pictureInfo), c.Result);
    EXPECT_EQ(module->GetPicture(c.Name.c_str(), c.Offset, c.Flag, info, bits, nullptr, 0), c.Result);
    EXPECT_EQ(info, 0u);
  }
  EXPECT_EQ(module->GetPicture(nullptr, 10, SPI_SOURCE_MEMORY, info, bits, nullptr, 0), SPI_MEMORY_ERROR);
  EXPECT_EQ(module->IsSupported("x.png", nullptr), 0);
}

struct TProgressLog {
  std::vector<std::pair<int32_t, int32_t>> Calls;
  size_t StopAt = SIZE_MAX;  // answer 1 on this call
  static int32_t Callback(int32_t num, int32_t done, intptr_t data) {
    auto* log = reinterpret_cast<TProgressLog*>(data);
    log->Calls.emplace_back(num, done);
    return log->Calls.size() > log->StopAt ? 1 : 0;
  }
};

TEST_F(ModuleBehaviour, EveryModuleReportsProgressAndStopsWhenTold) {
  for (const auto& [fixture, name] : kFixtures) {
    SCOPED_TRACE(fixture);
    const std::unique_ptr<TInSPI> module = OpenModule(name);
    ASSERT_TRUE(module);
    const std::vector<uint8_t> bytes = Fixture(fixture);
    const char* block = reinterpret_cast<const char*>(bytes.data());
    const auto length = static_cast<int32_t>(bytes.size());

    TProgressLog log;
    HLOCAL info = 0, bits = 0;
    ASSERT_EQ(module->GetPicture(block, length, SPI_SOURCE_MEMORY, info, bits, TProgressLog::Callback, reinterpret_cast<intptr_t>(&log)),
              SPI_SUCCESS);
    TakePicture(info, bits);
    ASSERT_GE(log.Calls.size(), 2u);
    EXPECT_EQ(log.Calls.front().first, 0);
    EXPECT_EQ(log.Calls.back().first, log.Calls.back().second) << "the last report is the whole";
    for (size_t i = 1; i < log.Calls.size(); ++i) EXPECT_GE(log.Calls[i].first, log.Calls[i - 1].first);

    for (size_t stopAt : {size_t{0}, log.Calls.size() - 1}) {
      TProgressLog stopping;
      stopping.StopAt = stopAt;
      EXPECT_EQ(module->GetPicture(block, length, SPI_SOURCE_MEMORY, info, bits, TProgressLog::Callback,
                                   reinterpret_cast<intptr_t>(&stopping)),
                SPI_ABORTED)
          << "stopped at report " << stopAt;
      EXPECT_EQ(info, 0u);
      EXPECT_EQ(stopping.Calls.size(), stopAt + 1) << "no report after the stop";
    }
  }
}

// The stored picture's pixel (x, y) as the upright picture shows it, for EXIF orientation o.
std::pair<int, int> Upright(int o, int x, int y, int w, int h) {
  switch (o) {
    case 2: return {w - 1 - x, y};
    case 3: return {w - 1 - x, h - 1 - y};
    case 4: return {x, h - 1 - y};
    case 5: return {y, x};
    case 6: return {h - 1 - y, x};
    case 7: return {h - 1 - y, w - 1 - x};
    case 8: return {y, w - 1 - x};
    default: return {x, y};
  }
}

// The JPEG with an APP1 segment holding only the orientation, in either byte order.
std::vector<uint8_t> WithOrientation(const std::vector<uint8_t>& jpeg, uint16_t orientation, bool bigEndian) {
  std::vector<uint8_t> tiff;
  const auto put16 = [&](uint16_t v) {
    if (bigEndian) tiff.insert(tiff.end(), {uint8_t(v >> 8), uint8_t(v)});
    else tiff.insert(tiff.end(), {uint8_t(v), uint8_t(v >> 8)});
  };
  const auto put32 = [&](uint32_t v) {
    if (bigEndian) { put16(uint16_t(v >> 16)); put16(uint16_t(v)); }
    else { put16(uint16_t(v)); put16(uint16_t(v >> 16)); }
  };
  tiff.insert(tiff.end(), bigEndian ? std::initializer_list<uint8_t>{'M', 'M'} : std::initializer_list<uint8_t>{'I', 'I'});
  put16(42);
  put32(8);
  put16(2);  // entries: another tag first, then the orientation
  put16(0x010F); put16(2); put32(4); put32(0x00414243);
  put16(0x0112); put16(3); put32(1); put16(orientation); put16(0);
  put32(0);
  std::vector<uint8_t> segment = {0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f', 0, 0};
  segment.insert(segment.end(), tiff.begin(), tiff.end());
  segment[2] = static_cast<uint8_t>((segment.size() - 2) >> 8);
  segment[3] = static_cast<uint8_t>(segment.size() - 2);
  std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
  out.insert(out.end(), segment.begin(), segment.end());
  out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
  return out;
}

TEST_F(ModuleBehaviour, JpegPicturesAreTurnedUprightByTheirExifOrientation) {
  const std::unique_ptr<TInSPI> module = OpenModule("ifjpeg");
  ASSERT_TRUE(module);
  const std::vector<uint8_t> jpeg = Fixture("picture.jpg");
  const TPixels stored = DecodeFromMemory(*module, jpeg).Pixels;
  ASSERT_EQ(stored.Width, 16);
  ASSERT_EQ(stored.Height, 12);
  for (uint16_t orientation = 1; orientation <= 8; ++orientation)
    for (bool bigEndian : {false, true}) {
      SCOPED_TRACE("orientation " + std::to_string(orientation) + (bigEndian ? " MM" : " II"));
      const std::vector<uint8_t> tagged = WithOrientation(jpeg, orientation, bigEndian);
      const bool swapped = orientation >= 5;
      TPixels expected;
      expected.Width = swapped ? stored.Height : stored.Width;
      expected.Height = swapped ? stored.Width : stored.Height;
      expected.Argb.resize(stored.Argb.size());
      for (int y = 0; y < stored.Height; ++y)
        for (int x = 0; x < stored.Width; ++x) {
          const auto [ux, uy] = Upright(orientation, x, y, stored.Width, stored.Height);
          expected.Argb[static_cast<size_t>(uy) * expected.Width + ux] = stored.At(x, y);
        }
      EXPECT_TRUE(SamePixels(DecodeFromMemory(*module, tagged).Pixels, expected));
      TPictureInfo info{};
      ASSERT_EQ(module->GetPictureInfo(reinterpret_cast<const char*>(tagged.data()), static_cast<int32_t>(tagged.size()),
                                       SPI_SOURCE_MEMORY, info),
                SPI_SUCCESS);
      EXPECT_EQ(info.Width, expected.Width);
      EXPECT_EQ(info.Height, expected.Height);
    }
  // An orientation out of range, or a damaged EXIF block, leaves the picture as stored.
  for (const std::vector<uint8_t>& odd : {WithOrientation(jpeg, 9, false), WithOrientation(jpeg, 0, true)})
    EXPECT_TRUE(SamePixels(DecodeFromMemory(*module, odd).Pixels, stored));
}

TEST_F(ModuleBehaviour, JpegPreviewIsTheLibrarysReducedDecodeAndOtherModulesHaveNone) {
  REQUIRE_TOOLS("convert", "cjpeg", "djpeg");
  RunTool("convert -size 1000x600 -seed 3 plasma:fractal " + Files / "large.ppm");
  RunTool("cjpeg -outfile " + Files / "large.jpg " + Files / "large.ppm");
  // The smallest of 1/2, 1/4 and 1/8 that keeps 256 pixels on the longer side.
  RunTool("djpeg -scale 1/2 -ppm -outfile " + Files / "ref.ppm " + Files / "large.jpg");
  const std::unique_ptr<TInSPI> module = OpenModule("ifjpeg");
  ASSERT_TRUE(module);
  const TDecoded preview = DecodeFromMemory(*module, ReadBytes(Files / "large.jpg"), true);
  ASSERT_EQ(preview.Result, SPI_SUCCESS);
  EXPECT_TRUE(SamePixels(preview.Pixels, TPixels::FromNetpbm(Files / "ref.ppm")));

  // With previews asked for, the picture loader takes the reduced picture; small pictures come whole.
  TShippedModules modules;
  modules.Registry().SetGraphicPreview(true);
  EXPECT_EQ(LoadThroughPictureLoader(Files / "large.jpg").Pixels.Width, 500);
  spitest::WriteFile(Files / "small.jpg", Fixture("picture.jpg"));
  EXPECT_EQ(LoadThroughPictureLoader(Files / "small.jpg").Pixels.Width, 16);
  spitest::WriteFile(Files / "a.png", Fixture("picture.png"));
  EXPECT_EQ(LoadThroughPictureLoader(Files / "a.png").Pixels.Width, 16) << "a module without GetPreview decodes whole";
  const std::unique_ptr<TInSPI> png = OpenModule("ifpng");
  HLOCAL info = 0, bits = 0;
  EXPECT_THROW(png->GetPreview("a.png", 0, SPI_SOURCE_FILE, info, bits, nullptr, 0), ESPIInvalidAPI);
}

}  // namespace
