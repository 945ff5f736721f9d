#include "PluginTestSupport.h"

#include "platform/Bitmap.h"

#include <cstring>
#include <fstream>
#include <sstream>

namespace plugintest {

namespace {

#pragma pack(push, 1)
struct THeader {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t rest[6];
};
#pragma pack(pop)

std::string Token(std::istream& in) {
  std::string token;
  while (in >> token) {
    if (token[0] != '#') return token;
    std::string comment;
    std::getline(in, comment);
  }
  return {};
}

}  // namespace

TPixels TPixels::FromImage(const QImage& image) {
  TPixels pixels;
  if (image.isNull()) return pixels;
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
  pixels.Width = argb.width();
  pixels.Height = argb.height();
  pixels.Argb.resize(static_cast<size_t>(pixels.Width) * pixels.Height);
  for (int y = 0; y < pixels.Height; ++y)
    std::memcpy(&pixels.Argb[static_cast<size_t>(y) * pixels.Width], argb.constScanLine(y), static_cast<size_t>(pixels.Width) * 4);
  return pixels;
}

TPixels TPixels::FromNetpbm(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  TPixels pixels;
  const std::string magic = Token(in);
  int channels = 0;
  bool alpha = false;
  if (magic == "P5" || magic == "P6") {
    pixels.Width = std::stoi(Token(in));
    pixels.Height = std::stoi(Token(in));
    if (std::stoi(Token(in)) != 255) return {};
    channels = magic == "P5" ? 1 : 3;
  } else if (magic == "P7") {
    for (std::string key = Token(in); key != "ENDHDR" && !key.empty(); key = Token(in)) {
      if (key == "WIDTH") pixels.Width = std::stoi(Token(in));
      else if (key == "HEIGHT") pixels.Height = std::stoi(Token(in));
      else if (key == "DEPTH") channels = std::stoi(Token(in));
      else if (key == "MAXVAL") { if (std::stoi(Token(in)) != 255) return {}; }
      else if (key == "TUPLTYPE") alpha = Token(in).ends_with("_ALPHA");
    }
  } else {
    return {};
  }
  in.get();  // the one white-space character before the samples
  std::vector<uint8_t> samples(static_cast<size_t>(pixels.Width) * pixels.Height * channels);
  in.read(reinterpret_cast<char*>(samples.data()), static_cast<std::streamsize>(samples.size()));
  if (!in) return {};
  pixels.Argb.resize(static_cast<size_t>(pixels.Width) * pixels.Height);
  const int colours = alpha ? channels - 1 : channels;
  for (size_t i = 0; i < pixels.Argb.size(); ++i) {
    const uint8_t* s = &samples[i * channels];
    const uint32_t r = s[0], g = colours == 3 ? s[1] : s[0], b = colours == 3 ? s[2] : s[0];
    const uint32_t a = alpha ? s[channels - 1] : 255;
    pixels.Argb[i] = a << 24 | r << 16 | g << 8 | b;
  }
  return pixels;
}

::testing::AssertionResult SamePixels(const TPixels& actual, const TPixels& expected, int tolerance) {
  if (expected.Argb.empty()) return ::testing::AssertionFailure() << "no reference picture";
  if (actual.Width != expected.Width || actual.Height != expected.Height)
    return ::testing::AssertionFailure() << "size " << actual.Width << "x" << actual.Height << ", expected "
                                         << expected.Width << "x" << expected.Height;
  size_t differing = 0;
  std::ostringstream first;
  for (int y = 0; y < actual.Height; ++y)
    for (int x = 0; x < actual.Width; ++x) {
      const uint32_t a = actual.At(x, y), e = expected.At(x, y);
      bool same = true;
      for (int shift : {24, 16, 8, 0}) {
        if (shift != 24 && (e >> 24) == 0 && (a >> 24) == 0) continue;
        same &= std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((e >> shift) & 0xFF)) <= tolerance;
      }
      if (!same && differing++ == 0)
        first << std::hex << " first at " << std::dec << x << "," << y << ": " << std::hex << a << " instead of " << e;
    }
  if (differing == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << differing << " pixels differ;" << first.str();
}

TLoaded LoadThroughPictureLoader(const std::string& path) {
  TPicture loader;
  loader.LoadFromFile(path);
  TLoaded loaded;
  auto* bitmap = dynamic_cast<TSPIBitmap*>(loader.Graphic());
  if (bitmap == nullptr) return loaded;
  loaded.Pixels = TPixels::FromImage(bitmap->Image());
  loaded.BitsPerPixel = bitmap->BitsPerPixel();
  return loaded;
}

std::unique_ptr<TInSPI> OpenModule(const std::string& name) {
  std::unique_ptr<TSPI> spi = CreateSPIFromFile(ModulePath(name), false);
  auto* input = dynamic_cast<TInSPI*>(spi.get());
  if (input == nullptr) return nullptr;
  spi.release();
  return std::unique_ptr<TInSPI>(input);
}

TPixels TakePicture(HLOCAL info, HLOCAL bits, int* BitCount) {
  const auto* header = static_cast<const THeader*>(LocalLock(info));
  const auto* rows = static_cast<const uint8_t*>(LocalLock(bits));
  TPixels pixels;
  pixels.Width = header->biWidth;
  pixels.Height = header->biHeight;
  const int bytes = header->biBitCount / 8;
  if (BitCount != nullptr) *BitCount = header->biBitCount;
  const size_t stride = (static_cast<size_t>(pixels.Width) * header->biBitCount + 31) / 32 * 4;
  pixels.Argb.resize(static_cast<size_t>(pixels.Width) * pixels.Height);
  for (int y = 0; y < pixels.Height; ++y) {
    const uint8_t* row = rows + static_cast<size_t>(pixels.Height - 1 - y) * stride;
    for (int x = 0; x < pixels.Width; ++x) {
      const uint8_t* p = row + static_cast<size_t>(x) * bytes;
      const uint32_t a = bytes == 4 ? p[3] : 255;
      pixels.Argb[static_cast<size_t>(y) * pixels.Width + x] = a << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
    }
    // The rows are handed over whole: what pads them to 32 bits is cleared, not left as it was.
    for (size_t i = static_cast<size_t>(pixels.Width) * bytes; i < stride; ++i)
      EXPECT_EQ(row[i], 0) << "padding of row " << y;
  }
  LocalUnlock(info);
  LocalUnlock(bits);
  LocalFree(info);
  LocalFree(bits);
  return pixels;
}

TDecoded DecodeFromMemory(const TInSPI& module, const std::vector<uint8_t>& bytes, bool preview) {
  TDecoded decoded;
  HLOCAL info = 0, bits = 0;
  const char* block = reinterpret_cast<const char*>(bytes.data());
  const auto length = static_cast<int32_t>(bytes.size());
  decoded.Result = preview ? module.GetPreview(block, length, SPI_SOURCE_MEMORY, info, bits, nullptr, 0)
                           : module.GetPicture(block, length, SPI_SOURCE_MEMORY, info, bits, nullptr, 0);
  if (decoded.Result == SPI_SUCCESS) decoded.Pixels = TakePicture(info, bits, &decoded.BitCount);
  return decoded;
}

}  // namespace plugintest
