// The DIB library's costly work on a 12-megapixel photo: BMP reading and writing, both colour
// reductions, halftoning and the RLE codecs. The picture comes from TOVASEL_BENCH_PHOTO (a 24-bit
// BMP), or is made here when it is not set.

#include "dib/KpColorReduce.h"
#include "dib/KpHalftone.h"
#include "dib/KpInternalDIB.h"
#include "dib/KpRLE.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>

namespace {

// A smooth picture with fine noise, about as hard to reduce as a photo.
void MakePhoto(TKpInternalDIB& dib, int width, int height) {
  dib.FreeDIB();
  dib.CreateDIB(width, height, 0, 24);
  std::mt19937 random(1);
  const int64_t stride = RowBytes(dib.DIBInfos);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = dib.DIBInfos.pBits + y * stride;
    for (int x = 0; x < width; ++x) {
      const double u = x / static_cast<double>(width), v = y / static_cast<double>(height);
      const int noise = static_cast<int>(random() % 9) - 4;
      row[3 * x] = static_cast<uint8_t>(std::clamp(128 + 100 * std::sin(7 * u + 3 * v) + noise, 0.0, 255.0));
      row[3 * x + 1] = static_cast<uint8_t>(std::clamp(128 + 90 * std::cos(5 * v - 2 * u * v) + noise, 0.0, 255.0));
      row[3 * x + 2] = static_cast<uint8_t>(std::clamp(255 * u * (1 - v) + 60 * std::sin(20 * u * v) + noise, 0.0, 255.0));
    }
  }
}

const TKpInternalDIB& Photo() {
  static TKpInternalDIB* photo = [] {
    auto* dib = new TKpInternalDIB(false);
    if (const char* path = std::getenv("TOVASEL_BENCH_PHOTO")) {
      TFileStream stream(path, fmOpenRead);
      dib->LoadFromStream(stream);
    } else {
      MakePhoto(*dib, 4000, 3000);
    }
    return dib;
  }();
  return *photo;
}

const TMemoryStream& PhotoFile() {
  static TMemoryStream* file = [] {
    auto* stream = new TMemoryStream;
    Photo().SaveToStream(*stream);
    return stream;
  }();
  return *file;
}

// A result record that releases its block.
struct TResult {
  TKpDIBInfos Infos;
  ~TResult() { Release(); }
  void Release() {
    if (Infos.pBits) ReleaseMemory(Infos.hFile, Infos.pBits, false);
    Infos.pBits = nullptr;
  }
};

template <class Convert>
void RunConversion(benchmark::State& state, const TKpDIBInfos& source, Convert convert) {
  for (auto _ : state) {
    TResult result;
    convert(source, result.Infos);
    benchmark::DoNotOptimize(result.Infos.pBits);
  }
  state.SetItemsProcessed(state.iterations() * source.W3Head.biWidth * AbsHeight(source));
}

void BM_BmpLoad(benchmark::State& state) {
  const TMemoryStream& file = PhotoFile();
  for (auto _ : state) {
    TReadOnlyMemoryStream stream(file.Memory(), static_cast<size_t>(const_cast<TMemoryStream&>(file).Size()));
    TKpInternalDIB dib(state.range(0) != 0);
    dib.LoadFromStream(stream);
    benchmark::DoNotOptimize(dib.DIBInfos.pBits);
  }
}
BENCHMARK(BM_BmpLoad)->Arg(0)->Arg(1)->ArgName("fmo")->Unit(benchmark::kMillisecond);

void BM_BmpSave(benchmark::State& state) {
  TMemoryStream stream;
  Photo().SaveToStream(stream);  // the first write grows the stream; the measured ones reuse it
  for (auto _ : state) {
    stream.SetPosition(0);
    Photo().SaveToStream(stream);
  }
}
BENCHMARK(BM_BmpSave)->Unit(benchmark::kMillisecond);

const TKpProgressCallback kNoProgress = [] {};

void BM_ReduceTo8Normal(benchmark::State& state) {
  RunConversion(state, Photo().DIBInfos, [](const TKpDIBInfos& s, TKpDIBInfos& d) { ConvertTrueColorTo8BitRGBLow(s, d, false, kNoProgress); });
}
void BM_ReduceTo8Fine(benchmark::State& state) {
  RunConversion(state, Photo().DIBInfos, [](const TKpDIBInfos& s, TKpDIBInfos& d) { ConvertTrueColorTo8BitRGBHigh(s, d, false, kNoProgress); });
}
void BM_ReduceTo4Normal(benchmark::State& state) {
  RunConversion(state, Photo().DIBInfos, [](const TKpDIBInfos& s, TKpDIBInfos& d) { ConvertTrueColorTo4BitRGBLow(s, d, false, kNoProgress); });
}
void BM_ReduceTo4Fine(benchmark::State& state) {
  RunConversion(state, Photo().DIBInfos, [](const TKpDIBInfos& s, TKpDIBInfos& d) { ConvertTrueColorTo4BitRGBHigh(s, d, false, kNoProgress); });
}
void BM_Halftone(benchmark::State& state) {
  RunConversion(state, Photo().DIBInfos, [](const TKpDIBInfos& s, TKpDIBInfos& d) { ConvertToHalfTone(s, d, false); });
}
void BM_HalftoneBW(benchmark::State& state) {
  RunConversion(state, Photo().DIBInfos, [](const TKpDIBInfos& s, TKpDIBInfos& d) { ConvertToHalfToneBW(s, d, false); });
}
BENCHMARK(BM_ReduceTo8Normal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReduceTo8Fine)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReduceTo4Normal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReduceTo4Fine)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Halftone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HalftoneBW)->Unit(benchmark::kMillisecond);

// RLE pays off on drawings and screenshots, not photos: the codecs run on the photo cut into flat
// 16 x 16 blocks and reduced to 8 or 4 bits.
const TKpDIBInfos& Posterised(int bits) {
  static TResult eight, four;
  TResult& result = bits == 8 ? eight : four;
  if (!result.Infos.pBits) {
    TResult blocks;
    const TKpDIBInfos& photo = Photo().DIBInfos;
    MakeConversionResult(photo, blocks.Infos, 24, false, "Posterised");
    const int64_t stride = RowBytes(photo);
    for (int32_t y = 0; y < AbsHeight(photo); ++y)
      for (int32_t x = 0; x < photo.W3Head.biWidth; ++x)
        std::memcpy(blocks.Infos.pBits + y * stride + 3 * x, photo.pBits + (y & ~15) * stride + 3 * (x & ~15), 3);
    (bits == 8 ? ConvertTrueColorTo8BitRGBLow : ConvertTrueColorTo4BitRGBLow)(blocks.Infos, result.Infos, false, kNoProgress);
  }
  return result.Infos;
}

const TKpDIBInfos& Encoded(int bits) {
  static TResult eight, four;
  TResult& result = bits == 8 ? eight : four;
  if (!result.Infos.pBits) (bits == 8 ? Convert8BitRGBTo8BitRLE : Convert4BitRGBTo4BitRLE)(Posterised(bits), result.Infos, false);
  return result.Infos;
}

void BM_RLE8Encode(benchmark::State& state) { RunConversion(state, Posterised(8), [](const TKpDIBInfos& s, TKpDIBInfos& d) { Convert8BitRGBTo8BitRLE(s, d, false); }); }
void BM_RLE8Decode(benchmark::State& state) { RunConversion(state, Encoded(8), [](const TKpDIBInfos& s, TKpDIBInfos& d) { Convert8BitRLETo8BitRGB(s, d, false); }); }
void BM_RLE4Encode(benchmark::State& state) { RunConversion(state, Posterised(4), [](const TKpDIBInfos& s, TKpDIBInfos& d) { Convert4BitRGBTo4BitRLE(s, d, false); }); }
void BM_RLE4Decode(benchmark::State& state) { RunConversion(state, Encoded(4), [](const TKpDIBInfos& s, TKpDIBInfos& d) { Convert4BitRLETo4BitRGB(s, d, false); }); }
BENCHMARK(BM_RLE8Encode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RLE8Decode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RLE4Encode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RLE4Decode)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
