#pragma once
// What the decoder modules' tests share: the shipped modules in <build>/bin, the standard tools that
// make and decode the test files, pictures as plain ARGB pixels read from netpbm files or Qt images,
// and decoding through the host: the registry and the picture loader, or one module's wrapper.

#include "spi/SPITestSupport.h"

#include "platform/Picture.h"
#include "spi/SPIBmp.h"
#include "spi/SPIs.h"

#include <QImage>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace plugintest {

using spitest::TScratchFolder;

inline std::string ModulePath(const std::string& name) { return std::string(TOVASEL_MODULE_DIR) + "/" + name + ".spi"; }

inline bool HasTool(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Skips the test when one of the tools is missing (the front door installs them all).
#define REQUIRE_TOOLS(...)                                \
  for (const char* tool : {__VA_ARGS__}) {               \
    if (!::plugintest::HasTool(tool)) {                  \
      GTEST_SKIP() << tool << " is not installed";       \
    }                                                    \
  }

// Runs a shell command; a failure fails the test.
inline void RunTool(const std::string& command) {
  ASSERT_EQ(std::system(("(" + command + ") >/dev/null 2>&1").c_str()), 0) << command;
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A picture as 0xAARRGGBB values, rows from the top.
struct TPixels {
  int Width = 0;
  int Height = 0;
  std::vector<uint32_t> Argb;

  uint32_t At(int x, int y) const { return Argb[static_cast<size_t>(y) * Width + x]; }
  static TPixels FromImage(const QImage& image);
  // Binary netpbm: P5, P6 (opaque) and P7 (GRAYSCALE, RGB, GRAYSCALE_ALPHA, RGB_ALPHA), 8 bits.
  static TPixels FromNetpbm(const std::string& path);
  // Any file Qt reads (PNG from the tools).
  static TPixels FromFile(const std::string& path) { return FromImage(QImage(QString::fromStdString(path))); }
};

// Every pixel within Tolerance in each channel; transparent pixels compare by alpha alone.
::testing::AssertionResult SamePixels(const TPixels& actual, const TPixels& expected, int tolerance = 0);

// A registry over the shipped modules in <build>/bin.
class TShippedModules {
public:
  TShippedModules() { FSpis.Search(std::string(TOVASEL_MODULE_DIR) + "/*.spi"); }
  TSPIs& Registry() { return FSpis; }

private:
  TSPIs FSpis;
};

// Decoded through the picture loader, as the viewer loads a file.
struct TLoaded {
  TPixels Pixels;
  int BitsPerPixel = 0;
};
TLoaded LoadThroughPictureLoader(const std::string& path);

// One module's wrapper, for direct calls.
std::unique_ptr<TInSPI> OpenModule(const std::string& name);

// The module's picture from its two handles, freed afterwards. BitCount gets the DIB's bits per pixel.
TPixels TakePicture(HLOCAL info, HLOCAL bits, int* BitCount = nullptr);

// The DIB a module decodes from the memory block, or a failed assertion.
struct TDecoded {
  int32_t Result = -1;
  TPixels Pixels;
  int BitCount = 0;
};
TDecoded DecodeFromMemory(const TInSPI& module, const std::vector<uint8_t>& bytes, bool preview = false);

}  // namespace plugintest
