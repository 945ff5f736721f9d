// The plug-in host's cost on a 24-megapixel picture (6000 x 4000, 24 bits): the test module's own
// decode alone (GetPicture straight through its wrapper, blocks freed), against a TSPIBitmap loading
// the same file through the registry (head, IsSupported, GetPictureInfo, GetPicture, the BMP image
// read back into the bitmap, blocks freed). At the end the host's overhead is printed as the ratio
// of the two mean times.

#include "spi/SPIBitmap.h"
#include "spi/SPIs.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

constexpr uint32_t kWidth = 6000;
constexpr uint32_t kHeight = 4000;

const std::string& PicturePath() {
  static const std::string path = [] {
    const std::string file = (std::filesystem::temp_directory_path() / "tovasel-spi-bench.tvp").string();
    std::ofstream out(file, std::ios::binary);
    const uint8_t header[16] = {'T', 'V', 'P', 'X', kWidth & 0xFF, kWidth >> 8 & 0xFF, 0, 0, kHeight & 0xFF, kHeight >> 8 & 0xFF, 0, 0, 24, 0, 0, 0};
    out.write(reinterpret_cast<const char*>(header), sizeof header);
    std::vector<char> row(kWidth * 3);
    for (uint32_t y = 0; y < kHeight; ++y) {
      for (uint32_t x = 0; x < kWidth; ++x) {
        row[3 * x] = static_cast<char>(x);
        row[3 * x + 1] = static_cast<char>(y);
        row[3 * x + 2] = static_cast<char>(x ^ y);
      }
      out.write(row.data(), static_cast<std::streamsize>(row.size()));
    }
    return file;
  }();
  return path;
}

const std::string kModule = std::string(TOVASEL_TEST_MODULE_DIR) + "/tvtest-plain.spi";

// Mean seconds of one iteration of each benchmark, for the closing ratio.
double ModuleSeconds = 0;
double HostSeconds = 0;

template <class TBody>
double Measure(benchmark::State& state, TBody&& body) {
  double total = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    body();
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    state.SetIterationTime(elapsed.count());
    total += elapsed.count();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kWidth * kHeight * 3);
  return state.iterations() ? total / static_cast<double>(state.iterations()) : 0;
}

void ModuleDecodeAlone(benchmark::State& state) {
  const std::unique_ptr<TSPI> spi = CreateSPIFromFile(kModule, false);
  const auto& input = dynamic_cast<const TInSPI&>(*spi);
  const std::string& path = PicturePath();
  ModuleSeconds = Measure(state, [&] {
    HLOCAL info = 0, bits = 0;
    if (input.GetPicture(path.c_str(), 0, SPI_SOURCE_FILE, info, bits, nullptr, 0) != 0) state.SkipWithError("decode failed");
    LocalFree(info);
    LocalFree(bits);
  });
}
BENCHMARK(ModuleDecodeAlone)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2);

void SPIBitmapLoad(benchmark::State& state) {
  TSPIs spis;
  spis.Add(CreateSPIFromFile(kModule, false));
  const std::string& path = PicturePath();
  HostSeconds = Measure(state, [&] {
    TSPIBitmap bitmap;
    bitmap.LoadFromFile(path);
    benchmark::DoNotOptimize(bitmap.Image().constBits());
  });
}
BENCHMARK(SPIBitmapLoad)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (ModuleSeconds > 0 && HostSeconds > 0)
    std::printf("host overhead: TSPIBitmap load / module decode = %.2f (%.1f ms / %.1f ms)\n", HostSeconds / ModuleSeconds,
                HostSeconds * 1e3, ModuleSeconds * 1e3);
  std::filesystem::remove(PicturePath());
  return 0;
}
