// A corrupt or truncated file of each format fails cleanly: a non-zero result from both sources,
// no handle handed out, none left live, and the picture loader's own failure.

#include "PluginTestSupport.h"

using namespace plugintest;

namespace {

struct TFailureCase {
  const char* Fixture;  // in tests/plugins/fixtures
  const char* Module;
  size_t KeptHead;      // bytes kept before the damage: the signature, so the module is asked
};

void PrintTo(const TFailureCase& c, std::ostream* out) { *out << c.Fixture; }

const TFailureCase kCases[] = {
    {"picture.jpg", "ifjpeg", 3},  {"picture.png", "ifpng", 8},   {"picture.gif", "ifgif", 6},
    {"picture.webp", "ifwebp", 16}, {"picture.avif", "ifavif", 12}, {"picture.tif", "iftiff", 4},
    {"picture.svg", "ifsvg", 5},   {"picture.ico", "ifqtimg", 4}, {"picture.tga", "iftga", 2},
};

std::vector<uint8_t> Fixture(const std::string& name) { return ReadBytes(std::string(TOVASEL_FIXTURES) + "/" + name); }

// The signature kept, everything after it garbage.
std::vector<uint8_t> Corrupt(std::vector<uint8_t> bytes, size_t kept) {
  for (size_t i = kept; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i % 2 ? 0xA5 : 0x5A);
  return bytes;
}

std::vector<uint8_t> Truncated(std::vector<uint8_t> bytes) {
  bytes.resize(bytes.size() / 2);
  return bytes;
}

class DecodeFailures : public spitest::THandleLeakCheck, public ::testing::WithParamInterface<TFailureCase> {
protected:
  TScratchFolder Files;
};

TEST_P(DecodeFailures, CorruptAndTruncatedFilesFailCleanlyFromBothSources) {
  const std::unique_ptr<TInSPI> module = OpenModule(GetParam().Module);
  ASSERT_TRUE(module);
  const std::vector<uint8_t> good = Fixture(GetParam().Fixture);
  ASSERT_FALSE(good.empty());
  ASSERT_EQ(DecodeFromMemory(*module, good).Result, SPI_SUCCESS) << "the undamaged fixture decodes";

  const std::string extension = std::string(GetParam().Fixture).substr(std::string(GetParam().Fixture).rfind('.'));
  const std::pair<const char*, std::vector<uint8_t>> damaged[] = {{"corrupt", Corrupt(good, GetParam().KeptHead)},
                                                                  {"truncated", Truncated(good)}};
  TShippedModules modules;
  for (const auto& [kind, bytes] : damaged) {
    SCOPED_TRACE(kind);
    const std::string path = Files / (std::string(kind) + extension);
    spitest::WriteFile(path, bytes);

    HLOCAL info = 0xDEAD, bits = 0xBEEF;
    EXPECT_NE(module->GetPicture(reinterpret_cast<const char*>(bytes.data()), static_cast<int32_t>(bytes.size()),
                                 SPI_SOURCE_MEMORY, info, bits, nullptr, 0),
              SPI_SUCCESS);
    EXPECT_EQ(info, 0u);
    EXPECT_EQ(bits, 0u);
    EXPECT_NE(module->GetPicture(path.c_str(), 0, SPI_SOURCE_FILE, info, bits, nullptr, 0), SPI_SUCCESS);
    EXPECT_EQ(info, 0u);
    EXPECT_EQ(bits, 0u);

    TPicture loader;
    EXPECT_THROW(loader.LoadFromFile(path), EInvalidGraphic);
  }
}

INSTANTIATE_TEST_SUITE_P(Modules, DecodeFailures, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<TFailureCase>& info) {
                           std::string name = info.param.Fixture;
                           return name.substr(name.rfind('.') + 1);
                         });

}  // namespace
