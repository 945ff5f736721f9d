// Every module decodes real files of its formats, made by the standard tools, to the pixels of the
// library's own decode (or, for lossless formats, of the picture the file was made from): through
// the registry and the picture loader from the file, and through the module from memory.

#include "PluginTestSupport.h"

#include <functional>

using namespace plugintest;

namespace {

struct TExpectation {
  std::string File;      // the file the module decodes
  TPixels Pixels;        // what it must decode to
  int Tolerance = 0;     // per channel
  int BitsPerPixel = 0;  // of the loaded bitmap: 24 opaque, 32 with alpha, 0 either
};

struct TFormatCase {
  const char* Name;
  const char* Module;
  std::vector<const char*> Tools;
  std::function<TExpectation(const TScratchFolder&)> Make;
};

void PrintTo(const TFormatCase& c, std::ostream* out) { *out << c.Name; }

// The pictures the files are made from: a photo-like one and one with alpha in three steps
// (transparent, half, opaque) over a colour gradient.
std::string Photo(const TScratchFolder& folder) {
  const std::string path = folder / "photo.ppm";
  RunTool("convert -size 67x45 -seed 7 plasma:fractal -blur 0x1 -depth 8 " + path);
  return path;
}

std::string WithAlpha(const TScratchFolder& folder) {
  const std::string path = folder / "alpha.png";
  RunTool("convert -size 40x30 gradient:orange-navy -alpha set -channel A -fx \"i<w/3?0:(i<2*w/3?0.5:1)\" +channel "
      "PNG32:" + path);
  return path;
}

// A picture of 16 colours, which GIF keeps exactly.
std::string FewColours(const TScratchFolder& folder) {
  const std::string path = folder / "few.ppm";
  RunTool("convert " + Photo(folder) + " +dither -colors 16 " + path);
  return path;
}

TExpectation Expect(std::string file, TPixels pixels, int bits, int tolerance = 0) {
  return {std::move(file), std::move(pixels), tolerance, bits};
}

const TFormatCase kCases[] = {
    {"JpegBaseline", "ifjpeg", {"convert", "cjpeg", "djpeg"}, [](const TScratchFolder& f) {
       RunTool("cjpeg -quality 85 -outfile " + f / "a.jpg " + Photo(f));
       RunTool("djpeg -ppm -outfile " + f / "ref.ppm " + f / "a.jpg");
       return Expect(f / "a.jpg", TPixels::FromNetpbm(f / "ref.ppm"), 24);
     }},
    {"JpegProgressiveGrey", "ifjpeg", {"convert", "cjpeg", "djpeg"}, [](const TScratchFolder& f) {
       RunTool("cjpeg -progressive -grayscale -outfile " + f / "a.jpeg " + Photo(f));
       RunTool("djpeg -pnm -outfile " + f / "ref.pgm " + f / "a.jpeg");
       return Expect(f / "a.jpeg", TPixels::FromNetpbm(f / "ref.pgm"), 24);
     }},
    {"JpegFullChromaRestarts", "ifjpeg", {"convert", "cjpeg", "djpeg"}, [](const TScratchFolder& f) {
       RunTool("cjpeg -sample 1x1 -restart 1 -optimize -outfile " + f / "a.jfif " + Photo(f));
       RunTool("djpeg -ppm -outfile " + f / "ref.ppm " + f / "a.jfif");
       return Expect(f / "a.jfif", TPixels::FromNetpbm(f / "ref.ppm"), 24);
     }},
    {"JpegCmyk", "ifjpeg", {"convert"}, [](const TScratchFolder& f) {
       RunTool("convert " + Photo(f) + " -colorspace CMYK " + f / "a.jpg");
       RunTool("convert " + f / "a.jpg -colorspace sRGB " + f / "ref.ppm");
       return Expect(f / "a.jpg", TPixels::FromNetpbm(f / "ref.ppm"), 24, 2);
     }},
    {"PngRgb", "ifpng", {"convert", "pngtopam"}, [](const TScratchFolder& f) {
       RunTool("convert " + Photo(f) + " PNG24:" + f / "a.png");
       RunTool("pngtopam " + f / "a.png > " + f / "ref.pam");
       return Expect(f / "a.png", TPixels::FromNetpbm(f / "ref.pam"), 24);
     }},
    {"PngRgba", "ifpng", {"convert", "pngtopam"}, [](const TScratchFolder& f) {
       RunTool("cp " + WithAlpha(f) + " " + f / "a.png");
       RunTool("pngtopam -alphapam " + f / "a.png > " + f / "ref.pam");
       return Expect(f / "a.png", TPixels::FromNetpbm(f / "ref.pam"), 32);
     }},
    {"PngPaletteWithTransparency", "ifpng", {"convert", "pngtopam"}, [](const TScratchFolder& f) {
       RunTool("convert " + WithAlpha(f) + " -channel A -threshold 50% +channel -colors 8 PNG8:" + f / "a.png");
       RunTool("pngtopam -alphapam " + f / "a.png > " + f / "ref.pam");
       return Expect(f / "a.png", TPixels::FromNetpbm(f / "ref.pam"), 32);
     }},
    {"Png16BitInterlaced", "ifpng", {"convert", "pngtopam", "pamdepth"}, [](const TScratchFolder& f) {
       RunTool("convert " + Photo(f) + " -depth 16 -interlace PNG PNG48:" + f / "a.png");
       RunTool("pngtopam " + f / "a.png | pamdepth 255 > " + f / "ref.pam");
       return Expect(f / "a.png", TPixels::FromNetpbm(f / "ref.pam"), 24, 1);
     }},
    {"PngGrey1Bit", "ifpng", {"convert", "pngtopam"}, [](const TScratchFolder& f) {
       RunTool("convert " + Photo(f) + " -monochrome -depth 1 PNG:" + f / "a.png");
       RunTool("pngtopam " + f / "a.png | pamdepth 255 > " + f / "ref.pam");
       return Expect(f / "a.png", TPixels::FromNetpbm(f / "ref.pam"), 24);
     }},
    {"GifStill", "ifgif", {"convert"}, [](const TScratchFolder& f) {
       const std::string few = FewColours(f);
       RunTool("convert " + few + " " + f / "a.gif");
       return Expect(f / "a.gif", TPixels::FromNetpbm(few), 24);
     }},
    {"GifInterlacedTransparent", "ifgif", {"convert"}, [](const TScratchFolder& f) {
       RunTool("convert " + WithAlpha(f) + " -channel A -threshold 50% +channel +dither -colors 16 PNG32:" + f / "few.png");
       RunTool("convert " + f / "few.png -interlace GIF " + f / "a.gif");
       return Expect(f / "a.gif", TPixels::FromFile(f / "few.png"), 32);
     }},
    {"GifAnimationFirstFrame", "ifgif", {"convert"}, [](const TScratchFolder& f) {
       const std::string few = FewColours(f);
       RunTool("convert -delay 10 " + few + " \\( " + few + " -flip \\) \\( " + few + " -negate \\) " + f / "a.gif");
       return Expect(f / "a.gif", TPixels::FromNetpbm(few), 24);
     }},
    {"WebpLossy", "ifwebp", {"convert", "cwebp", "dwebp"}, [](const TScratchFolder& f) {
       RunTool("cwebp -q 80 " + Photo(f) + " -o " + f / "a.webp");
       RunTool("dwebp " + f / "a.webp -pam -o " + f / "ref.pam");
       return Expect(f / "a.webp", TPixels::FromNetpbm(f / "ref.pam"), 24);
     }},
    {"WebpLosslessAlpha", "ifwebp", {"convert", "cwebp", "dwebp"}, [](const TScratchFolder& f) {
       RunTool("cwebp -lossless -exact " + WithAlpha(f) + " -o " + f / "a.webp");
       RunTool("dwebp " + f / "a.webp -pam -o " + f / "ref.pam");
       return Expect(f / "a.webp", TPixels::FromNetpbm(f / "ref.pam"), 32);
     }},
    {"WebpAnimationFirstFrame", "ifwebp", {"convert", "gif2webp"}, [](const TScratchFolder& f) {
       const std::string few = FewColours(f);
       RunTool("convert -delay 10 " + few + " \\( " + few + " -flip \\) " + f / "a.gif");
       RunTool("gif2webp " + f / "a.gif -o " + f / "a.webp");
       return Expect(f / "a.webp", TPixels::FromNetpbm(few), 0);
     }},
    {"Avif", "ifavif", {"convert", "avifenc", "avifdec"}, [](const TScratchFolder& f) {
       RunTool("convert " + Photo(f) + " " + f / "photo.png");
       RunTool("avifenc -s 10 " + f / "photo.png " + f / "a.avif");
       RunTool("avifdec " + f / "a.avif " + f / "ref.png");
       return Expect(f / "a.avif", TPixels::FromFile(f / "ref.png"), 24);
     }},
    {"AvifAlpha", "ifavif", {"convert", "avifenc", "avifdec"}, [](const TScratchFolder& f) {
       RunTool("avifenc -s 10 -l " + WithAlpha(f) + " " + f / "a.avif");
       RunTool("avifdec " + f / "a.avif " + f / "ref.png");
       return Expect(f / "a.avif", TPixels::FromFile(f / "ref.png"), 32);
     }},
    {"TiffLzw", "iftiff", {"convert"}, [](const TScratchFolder& f) {
       const std::string photo = Photo(f);
       RunTool("convert " + photo + " -compress lzw " + f / "a.tif");
       return Expect(f / "a.tif", TPixels::FromNetpbm(photo), 24);
     }},
    {"TiffTiledDeflateBigEndian", "iftiff", {"convert", "tiffcp"}, [](const TScratchFolder& f) {
       const std::string photo = Photo(f);
       RunTool("convert " + photo + " -compress none " + f / "plain.tif");
       RunTool("tiffcp -B -t -w 16 -l 16 -c zip " + f / "plain.tif " + f / "a.tiff");
       return Expect(f / "a.tiff", TPixels::FromNetpbm(photo), 24);
     }},
    {"TiffAlpha", "iftiff", {"convert"}, [](const TScratchFolder& f) {
       const std::string alpha = WithAlpha(f);
       RunTool("convert " + alpha + " -compress zip " + f / "a.tif");
       return Expect(f / "a.tif", TPixels::FromFile(alpha), 32, 2);
     }},
    {"SvgSized", "ifsvg", {"rsvg-convert"}, [](const TScratchFolder& f) {
       std::ofstream(f / "a.svg") << R"(<svg xmlns="http://www.w3.org/2000/svg" width="60" height="40">)"
                                     R"(<rect x="5" y="5" width="40" height="20" fill="#c03" stroke="navy" stroke-width="3"/>)"
                                     R"(<circle cx="45" cy="28" r="10" fill="green" opacity="0.5"/></svg>)";
       RunTool("rsvg-convert " + f / "a.svg -o " + f / "ref.png");
       return Expect(f / "a.svg", TPixels::FromFile(f / "ref.png"), 32, 1);
     }},
    {"SvgViewBoxOnlyAtTheDefaultSize", "ifsvg", {"rsvg-convert"}, [](const TScratchFolder& f) {
       std::ofstream(f / "a.svg") << R"(<?xml version="1.0"?>)" "\n"
                                     R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 32 24">)"
                                     R"(<path d="M2 2 L30 2 L16 22 Z" fill="teal"/></svg>)";
       RunTool("rsvg-convert -w 1024 -h 768 " + f / "a.svg -o " + f / "ref.png");
       return Expect(f / "a.svg", TPixels::FromFile(f / "ref.png"), 32, 1);
     }},
    {"IcoWithAlpha", "ifqtimg", {"convert"}, [](const TScratchFolder& f) {
       const std::string alpha = WithAlpha(f);
       RunTool("convert " + alpha + " " + f / "a.ico");
       // Qt's icon reader keeps the pixels premultiplied: half-transparent ones may move by 1.
       return Expect(f / "a.ico", TPixels::FromFile(alpha), 32, 1);
     }},
    {"Tga", "iftga", {"convert", "tgatoppm"}, [](const TScratchFolder& f) {
       RunTool("convert " + Photo(f) + " " + f / "a.tga");
       RunTool("tgatoppm " + f / "a.tga > " + f / "ref.ppm");
       return Expect(f / "a.tga", TPixels::FromNetpbm(f / "ref.ppm"), 24);
     }},
    {"TgaWithAlpha", "iftga", {"convert", "tgatoppm"}, [](const TScratchFolder& f) {
       RunTool("convert " + WithAlpha(f) + " -compress none " + f / "a.tga");
       RunTool("tgatoppm -alphaout=" + f / "alpha.pgm " + f / "a.tga > " + f / "ref.ppm");
       TPixels expected = TPixels::FromNetpbm(f / "ref.ppm");
       const TPixels alpha = TPixels::FromNetpbm(f / "alpha.pgm");
       for (size_t i = 0; i < expected.Argb.size() && i < alpha.Argb.size(); ++i)
         expected.Argb[i] = (expected.Argb[i] & 0xFFFFFF) | (alpha.Argb[i] & 0xFF) << 24;
       return Expect(f / "a.tga", expected, 32);
     }},
    {"TgaRunLength", "iftga", {"pamtotga", "tgatoppm"}, [](const TScratchFolder& f) {
       RunTool("pamtotga " + Photo(f) + " > " + f / "a.tga");  // run-length encoded unless told -norle
       RunTool("tgatoppm " + f / "a.tga > " + f / "ref.ppm");
       return Expect(f / "a.tga", TPixels::FromNetpbm(f / "ref.ppm"), 24);
     }},
    {"TgaColourMapped", "iftga", {"pamtotga", "tgatoppm", "pnmquant"}, [](const TScratchFolder& f) {
       RunTool("pnmquant 200 " + Photo(f) + " > " + f / "few.ppm");
       RunTool("pamtotga -cmap -norle " + f / "few.ppm > " + f / "a.tga");
       return Expect(f / "a.tga", TPixels::FromNetpbm(f / "few.ppm"), 24);
     }},
    {"TgaGrey", "iftga", {"pamtotga", "ppmtopgm", "pgmtoppm"}, [](const TScratchFolder& f) {
       RunTool("ppmtopgm " + Photo(f) + " > " + f / "grey.pgm");
       RunTool("pamtotga -mono " + f / "grey.pgm > " + f / "a.tga");
       RunTool("pgmtoppm white " + f / "grey.pgm > " + f / "ref.ppm");
       return Expect(f / "a.tga", TPixels::FromNetpbm(f / "ref.ppm"), 24);
     }},
    {"Ppm", "ifqtimg", {"convert"}, [](const TScratchFolder& f) {
       const std::string photo = Photo(f);
       return Expect(photo, TPixels::FromNetpbm(photo), 24);
     }},
};

class DecodeFormats : public spitest::THandleLeakCheck, public ::testing::WithParamInterface<TFormatCase> {
protected:
  TScratchFolder Files;
  TShippedModules Modules;
};

TEST_P(DecodeFormats, ToTheLibrarysOwnPixelsFromFileAndMemory) {
  for (const char* tool : GetParam().Tools) {
    if (!HasTool(tool)) {
      GTEST_SKIP() << tool << " is not installed";
    }
  }
  const TExpectation expected = GetParam().Make(Files);
  if (HasFatalFailure()) return;

  const TLoaded loaded = LoadThroughPictureLoader(expected.File);
  EXPECT_TRUE(SamePixels(loaded.Pixels, expected.Pixels, expected.Tolerance)) << "through the picture loader";
  if (expected.BitsPerPixel != 0) EXPECT_EQ(loaded.BitsPerPixel, expected.BitsPerPixel);

  const std::unique_ptr<TInSPI> module = OpenModule(GetParam().Module);
  ASSERT_TRUE(module);
  const TDecoded fromMemory = DecodeFromMemory(*module, ReadBytes(expected.File));
  ASSERT_EQ(fromMemory.Result, SPI_SUCCESS);
  EXPECT_TRUE(SamePixels(fromMemory.Pixels, expected.Pixels, expected.Tolerance)) << "from memory";

  TPictureInfo info{};
  ASSERT_EQ(module->GetPictureInfo(expected.File.c_str(), 0, SPI_SOURCE_FILE, info), SPI_SUCCESS);
  EXPECT_EQ(info.Width, expected.Pixels.Width);
  EXPECT_EQ(info.Height, expected.Pixels.Height);
  EXPECT_EQ(info.HInfo, 0u);
}

INSTANTIATE_TEST_SUITE_P(Modules, DecodeFormats, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<TFormatCase>& info) { return std::string(info.param.Name); });

}  // namespace
