// Fuzz target: a ZIP file opened, listed and every entry extracted into a scratch folder under /tmp,
// which is removed again after each input. Only EZipException may come out.

#include "platform/ZipFile.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

const std::string& ScratchFolder() {
  static const std::string folder = "/tmp/tovasel-fuzz-zip-" + std::to_string(getpid());
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string folder = ScratchFolder();
  std::filesystem::create_directories(folder);
  const std::string archive = folder + "/input.zip";
  if (FILE* file = std::fopen(archive.c_str(), "wb")) {
    std::fwrite(data, 1, size, file);
    std::fclose(file);
  }
  try {
    TZipFile zip;
    zip.Open(archive, zmRead);
    for (int i = 0; i < zip.FileCount(); ++i) {
      try {
        zip.Extract(zip.FileName(i), folder + "/out", i % 2 == 0);
      } catch (const EZipException&) {
      }
    }
  } catch (const EZipException&) {
  }
  std::filesystem::remove_all(folder);
  return 0;
}
