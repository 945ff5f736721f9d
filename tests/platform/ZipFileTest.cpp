// The ZIP facility with real archives made by zip and 7z, and crafted ones.

#include "platform/ZipFile.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

namespace {

class ZipFileTest : public testing::Test {
protected:
  std::string Path(const std::string& relative) const { return FTemp.path().toStdString() + "/" + relative; }
  void Write(const std::string& relative, const std::string& text) const {
    std::filesystem::create_directories(std::filesystem::path(Path(relative)).parent_path());
    std::ofstream(Path(relative), std::ios::binary) << text;
  }
  std::string Read(const std::string& relative) const {
    std::ifstream in(Path(relative), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  static bool Have(const char* tool) { return std::system(("command -v " + std::string(tool) + " >/dev/null").c_str()) == 0; }
  int Run(const std::string& command) const { return std::system(("cd '" + Path("in") + "' && " + command + " >/dev/null").c_str()); }

  QTemporaryDir FTemp;
};

// Text that compresses well but has long-distance repeats, so deflate64's large window and long
// matches are used.
std::string Compressible(size_t size) {
  std::mt19937 random(3);
  std::string block(70000, ' ');
  for (char& c : block) c = static_cast<char>('a' + random() % 4);
  std::string text;
  while (text.size() < size) text += block.substr(0, 1000 + random() % 60000);
  return text.substr(0, size);
}

TEST_F(ZipFileTest, ReadsArchivesOfZipAnd7zWithEveryMethod) {
  if (!Have("zip") || !Have("7z")) GTEST_SKIP() << "zip or 7z missing";
  const std::string big = Compressible(400000);
  Write("in/a.txt", big);
  Write("in/sub/b.bin", "stored");
  struct TCase {
    const char* Name;
    std::string Command;
  };
  const TCase cases[] = {
      {"zip deflate", "zip -q -r ../x.zip a.txt sub"},
      {"zip stored", "zip -q -0 -r ../x.zip a.txt sub"},
      {"7z deflate", "7z a -tzip ../x.zip a.txt sub"},
      {"7z deflate64", "7z a -tzip -mm=Deflate64 ../x.zip a.txt sub"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::filesystem::remove(Path("x.zip"));
    std::filesystem::remove_all(Path("out"));
    ASSERT_EQ(Run(c.Command), 0);
    TZipFile zip;
    zip.Open(Path("x.zip"), zmRead);
    std::vector<std::string> names;
    for (int i = 0; i < zip.FileCount(); ++i) names.push_back(zip.FileName(i));
    EXPECT_NE(std::find(names.begin(), names.end(), "a.txt"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "sub/b.bin"), names.end());
    zip.Extract("a.txt", Path("out"));
    zip.Extract("sub/b.bin", Path("out"));
    EXPECT_EQ(Read("out/a.txt"), big);
    EXPECT_EQ(Read("out/sub/b.bin"), "stored");
    EXPECT_THROW(zip.Extract("missing.txt", Path("out")), EZipException);
  }
}

// A one-entry archive written by hand: name bytes and flags as given, stored data.
std::string StoredArchive(const std::string& name, const std::string& data, uint16_t flags, uint32_t crc) {
  const auto u16 = [](uint16_t v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; };
  const auto u32 = [&](uint32_t v) { return u16(static_cast<uint16_t>(v)) + u16(static_cast<uint16_t>(v >> 16)); };
  const uint32_t size = static_cast<uint32_t>(data.size());
  const std::string common = u16(20) + u16(flags) + u16(0) + u16(0) + u16(0) + u32(crc) + u32(size) + u32(size) +
                             u16(static_cast<uint16_t>(name.size())) + u16(0);
  const std::string local = u32(0x04034b50) + common + name + data;
  const std::string central = u32(0x02014b50) + u16(20) + common + u16(0) + u16(0) + u16(0) + u32(0) + u32(0) + name;
  return local + central + u32(0x06054b50) + u16(0) + u16(0) + u16(1) + u16(1) +
         u32(static_cast<uint32_t>(central.size())) + u32(static_cast<uint32_t>(local.size())) + u16(0);
}

uint32_t Crc(const std::string& data) {
  return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

TEST_F(ZipFileTest, NamesAreDecodedAsJapaneseUsersExpect) {
  struct TCase {
    std::string Raw;
    uint16_t Flags;
    std::string Expected;
  };
  const TCase cases[] = {
      {"\x8e\xca\x90\x5e.bmp", 0, "写真.bmp"},  // CP932, unflagged
      {"写真.bmp", 0x0800, "写真.bmp"},         // UTF-8, flagged
      {"写真.bmp", 0, "写真.bmp"},              // UTF-8, unflagged
  };
  for (const TCase& c : cases) {
    Write("n.zip", StoredArchive(c.Raw, "x", c.Flags, Crc("x")));
    TZipFile zip;
    zip.Open(Path("n.zip"), zmRead);
    ASSERT_EQ(zip.FileCount(), 1);
    EXPECT_EQ(zip.FileName(0), c.Expected);
    zip.Extract(c.Expected, Path("out"));
    EXPECT_EQ(Read("out/" + c.Expected), "x");
  }
}

TEST_F(ZipFileTest, HostileArchivesAreRefusedAndLeaveNothingBehind) {
  for (const char* name : {"../evil.txt", "/tmp/evil.txt", "a/../../evil.txt"}) {
    Write("t.zip", StoredArchive(name, "x", 0, Crc("x")));
    TZipFile zip;
    zip.Open(Path("t.zip"), zmRead);
    EXPECT_THROW(zip.Extract(name, Path("out/inner")), EZipException) << name;
  }
  EXPECT_FALSE(std::filesystem::exists(Path("out/evil.txt")));
  EXPECT_FALSE(std::filesystem::exists(Path("evil.txt")));

  std::filesystem::create_directories(Path("out2"));
  std::filesystem::create_directory_symlink(FTemp.path().toStdString(), Path("out2/link"));
  Write("l.zip", StoredArchive("link/escaped.txt", "x", 0, Crc("x")));
  {
    TZipFile zip;
    zip.Open(Path("l.zip"), zmRead);
    EXPECT_THROW(zip.Extract("link/escaped.txt", Path("out2")), EZipException);
  }
  EXPECT_FALSE(std::filesystem::exists(Path("escaped.txt")));

  Write("crc.zip", StoredArchive("c.txt", "data", 0, Crc("data") ^ 1));
  {
    TZipFile zip;
    zip.Open(Path("crc.zip"), zmRead);
    EXPECT_THROW(zip.Extract("c.txt", Path("out3")), EZipException);
  }
  EXPECT_TRUE(std::filesystem::is_empty(Path("out3"))) << "no partial file";

  const std::string whole = StoredArchive("t.txt", "truncated", 0, Crc("truncated"));
  Write("cut.zip", whole.substr(0, whole.size() - 30));
  EXPECT_THROW(TZipFile().Open(Path("cut.zip"), zmRead), EZipException);
  EXPECT_THROW(TZipFile().Open(Path("missing.zip"), zmRead), EZipException);
}

TEST_F(ZipFileTest, OverlappingEntriesAreRefused) {
  // Two central-directory entries that point at the same local header and data.
  const std::string one = StoredArchive("a.txt", "xxxx", 0, Crc("xxxx"));
  const size_t end = one.size() - 22;
  const size_t centralStart = one.find("PK\x01\x02");
  const std::string local = one.substr(0, centralStart);
  std::string central = one.substr(centralStart, end - centralStart);
  std::string second = central;
  second[central.size() - 5] = 'b';  // "b.txt"
  const auto u16 = [](uint16_t v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; };
  const auto u32 = [&](uint32_t v) { return u16(static_cast<uint16_t>(v)) + u16(static_cast<uint16_t>(v >> 16)); };
  const std::string directory = central + second;
  Write("bomb.zip", local + directory + u32(0x06054b50) + u16(0) + u16(0) + u16(2) + u16(2) +
                        u32(static_cast<uint32_t>(directory.size())) + u32(static_cast<uint32_t>(local.size())) + u16(0));
  try {
    TZipFile().Open(Path("bomb.zip"), zmRead);
    ADD_FAILURE() << "opened";
  } catch (const EZipException& error) {
    EXPECT_NE(std::string(error.Message()).find("overlap"), std::string::npos) << error.Message();
  }
}

}  // namespace
