// One picture file decoded the way the viewer decodes it, repeated, for bench/run-module-bench.sh.
// The registry holds every module beside this program, as the viewer's does. Three ways, each a
// step further along the viewer's path:
//   module   the module's GetPicture straight from the file (the module the loader picks), blocks freed
//   graphic  TSPIGraphic::LoadFromFile: the module chosen by the file's head, its picture
//            information read, the picture decoded and its blocks checked
//   loader   TPicture::LoadFromFile, as the viewer loads a file: all of the above, then the BMP image
//            of the blocks read back into the bitmap's Qt image
// With "all" the three take turns, so that load from elsewhere on the machine falls on each alike.
// Prints the median and the fastest of N runs of each in milliseconds.
// Usage: tovasel_decode all|module|graphic|loader FILE [N]

#include "platform/Bitmap.h"
#include "platform/Picture.h"
#include "platform/ProgramFolders.h"
#include "spi/SPIGraphic.h"
#include "spi/SPIText.h"
#include "spi/SPIs.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

struct TWay {
  std::string Name;
  std::function<void()> Run;
  std::vector<double> Milliseconds;
};

// The input module that the loader would try first and that accepts the file's head.
const TInSPI& ModuleFor(const TSPIs& registry, const std::string& path) {
  std::vector<char> head(2176, 0);
  std::ifstream(path, std::ios::binary).read(head.data(), static_cast<std::streamsize>(head.size()));
  std::vector<TSPI*> candidates;
  const TSPIClass classes[] = {&TInSPI::StaticClass()};
  registry.FindPluginList(classes, ExtractFileExt(path), candidates);
  for (TSPI* spi : candidates) {
    const auto& input = static_cast<const TInSPI&>(*spi);
    if (input.IsSupported(path.c_str(), head.data()) != 0) return input;
  }
  throw std::runtime_error("no module accepts " + path);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

int Run(const std::string& which, const std::string& path, int runs) {
  TSPIs registry;
  registry.Search(ExecutableFolder() + "/*.spi");
  const TInSPI& module = ModuleFor(registry, path);

  std::vector<TWay> ways;
  ways.push_back({"module", [&] {
                    HLOCAL info = 0, bits = 0;
                    if (module.GetPicture(path.c_str(), 0, SPI_SOURCE_FILE, info, bits, nullptr, 0) != 0)
                      throw std::runtime_error("GetPicture failed");
                    LocalFree(info);
                    LocalFree(bits);
                  }, {}});
  ways.push_back({"graphic", [&] {
                    TSPIGraphic graphic;
                    graphic.LoadFromFile(path);
                  }, {}});
  ways.push_back({"loader", [&] {
                    TPicture picture;
                    picture.LoadFromFile(path);
                    if (picture.Bitmap().Image().isNull()) throw std::runtime_error("nothing loaded");
                  }, {}});
  std::erase_if(ways, [&](const TWay& way) { return which != "all" && way.Name != which; });
  if (ways.empty()) throw std::runtime_error("unknown way " + which);

  for (int round = 0; round < runs; ++round)
    for (TWay& way : ways) {
      const auto start = TClock::now();
      way.Run();
      way.Milliseconds.push_back(std::chrono::duration<double, std::milli>(TClock::now() - start).count());
    }
  for (const TWay& way : ways)
    std::printf("%-8s median %8.1f ms   best %8.1f ms   (%d runs, %s)\n", way.Name.c_str(), Median(way.Milliseconds),
                *std::min_element(way.Milliseconds.begin(), way.Milliseconds.end()), runs,
                ExtractFileName(module.FileName()).c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: tovasel_decode all|module|graphic|loader FILE [N]\n");
    return 2;
  }
  try {
    return Run(argv[1], argv[2], argc > 3 ? std::max(1, std::atoi(argv[3])) : 5);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tovasel_decode: %s\n", error.what());
    return 1;
  }
}
