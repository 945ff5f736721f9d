// kpdib from the outside: its output, its progress lines, its failures.

#include "dib/KpInternalDIB.h"
#include "platform/Colors.h"
#include "support/BmpBuilder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;

struct TRun {
  int Status;
  std::string Out;
  std::string Err;
};

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class KpdibTool : public testing::Test {
protected:
  void SetUp() override {
    FDir = fs::temp_directory_path() / ("kpdib-test-" + std::to_string(::getpid()));
    fs::create_directories(FDir);
  }
  void TearDown() override { fs::remove_all(FDir); }

  fs::path Path(const std::string& name) const { return FDir / name; }

  TRun Run(const std::string& args) const {
    const std::string command = std::string("'") + KPDIB_PATH + "' " + args + " >'" + Path("out.txt").string() + "' 2>'" +
                                Path("err.txt").string() + "'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(Path("out.txt")), ReadText(Path("err.txt"))};
  }

  fs::path Write(const std::string& name, const TBmpBuilder& bmp) const {
    const std::vector<uint8_t> bytes = bmp.Bytes();
    std::ofstream(Path(name), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return Path(name);
  }

  // A 24-bit picture of two flat halves, one of them the given colour.
  fs::path TwoHalves(const std::string& name, uint32_t left) const {
    TBmpBuilder bmp;
    bmp.Width = 40;
    bmp.Height = -8;
    bmp.FillRows(0);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 40; ++x) {
        uint8_t* p = bmp.Pixels.data() + y * DIBRowBytes(40, 24) + 3 * x;
        const uint32_t c = x < 20 ? left : RGB(250, 250, 10);
        p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c);
      }
    return Write(name, bmp);
  }

  fs::path FDir;
};

TEST_F(KpdibTool, InfoPrintsTheHeaderInOrder) {
  TwoHalves("in.bmp", RGB(1, 2, 3));
  const TRun run = Run("info '" + Path("in.bmp").string() + "'");
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out,
            "width=40\nheight=-8\nbitcount=24\ncompression=0\nclrused=0\nxppm=2835\nyppm=2835\nbitssize=960\nformat=24bit\n");
}

TEST_F(KpdibTool, ConvertReportsProgressAndWritesTheResult) {
  const fs::path in = TwoHalves("in.bmp", RGB(1, 2, 3));
  const TRun run = Run("convert '" + in.string() + "' '" + Path("out.bmp").string() + "' --to 8bitrle --mode fine --progress");
  ASSERT_EQ(run.Status, 0) << run.Err;
  std::vector<std::string> lines;
  std::istringstream out(run.Out);
  for (std::string line; std::getline(out, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 257u);
  EXPECT_EQ(lines.front(), "progress starting 0 PixelFormat 24Bit -> 8BitRLE");
  EXPECT_EQ(lines[1], "progress running 0 PixelFormat 24Bit -> 8BitRLE");
  EXPECT_EQ(lines[255], "progress running 99 PixelFormat 24Bit -> 8BitRLE");
  EXPECT_EQ(lines.back(), "progress ending 100 PixelFormat 24Bit -> 8BitRLE");
  const TRun info = Run("info '" + Path("out.bmp").string() + "'");
  EXPECT_NE(info.Out.find("height=8\n"), std::string::npos) << "RLE pictures are bottom-up";
  EXPECT_NE(info.Out.find("clrused=2\n"), std::string::npos);
  EXPECT_NE(info.Out.find("format=8bitrle\n"), std::string::npos);
}

TEST_F(KpdibTool, BackgroundColourTurnsWhite) {
  const fs::path in = TwoHalves("in.bmp", RGB(0x20, 0x40, 0x80));
  ASSERT_EQ(Run("convert '" + in.string() + "' '" + Path("out.bmp").string() + "' --to 1bit --bg 204080").Status, 0);
  TKpInternalDIB dib(false);
  TFileStream stream(Path("out.bmp").string(), fmOpenRead);
  dib.LoadFromStream(stream);
  EXPECT_EQ(dib.DIBInfos.pBits[0], 0xFF) << "the left half is the background";
  EXPECT_EQ(dib.DIBInfos.pBits[3], 0x00) << "the right half is not";
}

TEST_F(KpdibTool, PaletteKeepsPixels) {
  const fs::path in = TwoHalves("in.bmp", RGB(9, 9, 9));
  const TRun run = Run("palette '" + in.string() + "' '" + Path("out.bmp").string() + "' --progress");
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out.substr(0, 44), "progress starting 0 Create True Color Palett");
  const std::string info = Run("info '" + Path("out.bmp").string() + "'").Out;
  EXPECT_NE(info.find("bitcount=24\n"), std::string::npos);
  EXPECT_NE(info.find("clrused=2\n"), std::string::npos);
}

TEST_F(KpdibTool, FailuresPrintTheMessageAndLeaveNoOutput) {
  TBmpBuilder v5;
  v5.HeaderSize = 124;
  v5.FillRows(0);
  Write("v5.bmp", v5);
  TBmpBuilder noise;
  noise.BitCount = 8;
  noise.Width = 64;
  noise.Height = 4;
  noise.GrayColors(256).FillRows(0);
  for (size_t i = 0; i < noise.Pixels.size(); ++i) noise.Pixels[i] = static_cast<uint8_t>(i * 37);
  Write("noise.bmp", noise);
  struct TCase {
    std::string Args;
    std::string Message;
  };
  const std::string out = "'" + Path("out.bmp").string() + "'";
  const TCase cases[] = {
      {"info '" + Path("v5.bmp").string() + "'", "TKpInternalDIB.LoadFromStream: Invalid Bitmap Header Size\n"},
      {"convert '" + Path("missing.bmp").string() + "' " + out + " --to 8bit",
       "Cannot open file \"" + Path("missing.bmp").string() + "\". No such file or directory\n"},
      {"convert '" + Path("noise.bmp").string() + "' " + out + " --to 8bitrle", "Convert8BitRGBTo8BitRLE: Compression Failed\n"},
      {"palette '" + Path("noise.bmp").string() + "' " + out, "TKpInternalDIB.CreateTrueColorPalette: Bad DIB Type\n"},
  };
  for (const TCase& c : cases) {
    const TRun run = Run(c.Args);
    EXPECT_EQ(run.Status, 1) << c.Args;
    EXPECT_EQ(run.Err, c.Message) << c.Args;
    EXPECT_FALSE(fs::exists(Path("out.bmp"))) << c.Args;
    EXPECT_FALSE(fs::exists(Path("out.bmp.partial"))) << c.Args;
  }
  for (const std::string& args : {std::string(""), std::string("frobnicate"), std::string("convert a b"), std::string("convert a b --to 7bit")})
    EXPECT_EQ(Run(args).Status, 2) << args;
}

}  // namespace
