#pragma once
// What the host's tests share: the test modules and copies of them in scratch folders, pictures of
// the modules' format, the modules' call log, and a check that every local-memory handle a test
// saw allocated is freed again.

#include "platform/kernel/LocalMemory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace spitest {

inline std::string ModuleFolder() { return TOVASEL_TEST_MODULE_DIR; }

inline std::string ModulePath(const std::string& variant) { return ModuleFolder() + "/tvtest-" + variant + ".spi"; }

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A folder of its own, removed with everything in it.
class TScratchFolder {
public:
  explicit TScratchFolder(const std::string& under = std::filesystem::temp_directory_path().string()) {
    std::string pattern = under + "/tvspi-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("no scratch folder");
    FPath = pattern;
  }
  ~TScratchFolder() {
    std::error_code error;
    std::filesystem::remove_all(FPath, error);
  }
  TScratchFolder(const TScratchFolder&) = delete;
  TScratchFolder& operator=(const TScratchFolder&) = delete;

  const std::string& Path() const { return FPath; }
  std::string operator/(const std::string& name) const { return FPath + "/" + name; }
  // A copy of a test module, under its own name or another.
  std::string AddModule(const std::string& variant, const std::string& name = "") const {
    const std::string target = *this / (name.empty() ? "tvtest-" + variant + ".spi" : name);
    std::filesystem::create_directories(std::filesystem::path(target).parent_path());
    std::filesystem::copy_file(ModulePath(variant), target, std::filesystem::copy_options::overwrite_existing);
    return target;
  }

private:
  std::string FPath;
};

// A picture of the test modules' format. Pixel(x, y) gives the value of the pixel at column x of
// row y (from the top): an index for 1, 4 and 8 bits, 0xRRGGBB for 24.
struct TTestPicture {
  uint32_t Width = 3;
  uint32_t Height = 2;
  uint16_t BitCount = 24;
  std::vector<uint32_t> Colors;  // 0xRRGGBB
  std::function<uint32_t(uint32_t, uint32_t)> Pixel = [](uint32_t x, uint32_t y) { return ((x * 0x40) & 0xFF) << 16 | ((y * 0x80) & 0xFF) << 8 | 0x20; };
  std::string Magic = "TVPX";
  size_t MacBinaryHeader = 0;  // bytes of zeros before the picture

  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> out(MacBinaryHeader, 0);
    out.insert(out.end(), Magic.begin(), Magic.end());
    const auto put = [&](uint32_t value, int bytes) {
      for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    };
    put(Width, 4);
    put(Height, 4);
    put(BitCount, 2);
    put(static_cast<uint32_t>(Colors.size()), 2);
    for (uint32_t c : Colors) put(c & 0xFFFFFF, 4);
    const size_t rowBytes = (size_t{Width} * BitCount + 7) / 8;
    for (uint32_t y = 0; y < Height; ++y) {
      std::vector<uint8_t> row(rowBytes, 0);
      for (uint32_t x = 0; x < Width; ++x) {
        const uint32_t v = Pixel(x, y);
        if (BitCount >= 24) {  // 32 bits: the fourth byte is the value's top byte
          for (int i = 0; i < BitCount / 8; ++i) row[BitCount / 8 * x + i] = static_cast<uint8_t>(v >> 8 * i);
        } else {
          const uint32_t perByte = 8 / BitCount;
          const uint32_t shift = 8 - BitCount * (x % perByte + 1);
          row[x / perByte] |= static_cast<uint8_t>((v & ((1u << BitCount) - 1)) << shift);
        }
      }
      out.insert(out.end(), row.begin(), row.end());
    }
    return out;
  }

  void SaveTo(const std::string& path) const { WriteFile(path, Bytes()); }
};

// The modules' call log for one test: each line "MODULE CALL DETAILS".
class TCallLog {
public:
  TCallLog() : FPath(FFolder / "calls.log") { setenv("TVTEST_SPI_LOG", FPath.c_str(), 1); }
  ~TCallLog() { unsetenv("TVTEST_SPI_LOG"); }
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::istringstream in(ReadText(FPath));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  void Reset() const { std::filesystem::remove(FPath); }

private:
  TScratchFolder FFolder;
  std::string FPath;
};

// Fails the test when a local-memory handle allocated during it is still live at its end.
class THandleLeakCheck : public ::testing::Test {
protected:
  void SetUp() override { FLiveAtStart = LocalLiveHandles(); }
  void TearDown() override { EXPECT_EQ(LocalLiveHandles(), FLiveAtStart) << "local-memory handles left live"; }

private:
  size_t FLiveAtStart = 0;
};

}  // namespace spitest
