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

std::string U16(uint16_t v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string U32(uint32_t v) { return U16(static_cast<uint16_t>(v)) + U16(static_cast<uint16_t>(v >> 16)); }

// An entry of an archive written by hand: name bytes, flags and method as given, data as stored.
struct TCraftedEntry {
  std::string Name;
  std::string Data;
  uint16_t Flags = 0;
  uint32_t Crc = 0;
  uint16_t Method = 0;
  uint32_t Size = 0;  // declared; for stored data its length
};

std::string CraftedArchive(const std::vector<TCraftedEntry>& entries) {
  std::string locals, central;
  for (const TCraftedEntry& e : entries) {
    const std::string common = U16(20) + U16(e.Flags) + U16(e.Method) + U16(0) + U16(0) + U32(e.Crc) +
                               U32(static_cast<uint32_t>(e.Data.size())) + U32(e.Size) +
                               U16(static_cast<uint16_t>(e.Name.size())) + U16(0);
    central += U32(0x02014b50) + U16(20) + common + U16(0) + U16(0) + U16(0) + U32(0) +
               U32(static_cast<uint32_t>(locals.size())) + e.Name;
    locals += U32(0x04034b50) + common + e.Name + e.Data;
  }
  const auto count = static_cast<uint16_t>(entries.size());
  return locals + central + U32(0x06054b50) + U16(0) + U16(0) + U16(count) + U16(count) +
         U32(static_cast<uint32_t>(central.size())) + U32(static_cast<uint32_t>(locals.size())) + U16(0);
}

// A one-entry archive with stored data.
std::string StoredArchive(const std::string& name, const std::string& data, uint16_t flags, uint32_t crc) {
  return CraftedArchive({{name, data, flags, crc, 0, static_cast<uint32_t>(data.size())}});
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
  for (const char* name : {"../evil.txt", "/tmp/evil.txt", "a/../../evil.txt", ""}) {
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
  const std::string directory = central + second;
  Write("bomb.zip", local + directory + U32(0x06054b50) + U16(0) + U16(0) + U16(2) + U16(2) +
                        U32(static_cast<uint32_t>(directory.size())) + U32(static_cast<uint32_t>(local.size())) + U16(0));
  try {
    TZipFile().Open(Path("bomb.zip"), zmRead);
    ADD_FAILURE() << "opened";
  } catch (const EZipException& error) {
    EXPECT_NE(std::string(error.Message()).find("overlap"), std::string::npos) << error.Message();
  }
}

// A deflate64 stream written bit by bit, so the codes that differ from deflate are exercised
// exactly: one fixed-Huffman block with the literal 'a' and then one match.
std::string Deflate64Match(unsigned lengthExtra, unsigned distanceCode, unsigned distanceExtra, unsigned distanceBits) {
  std::string out;
  uint32_t bits = 0;
  unsigned count = 0;
  const auto put = [&](uint32_t value, unsigned n) {  // least significant bit first
    for (unsigned i = 0; i < n; ++i) {
      bits |= ((value >> i) & 1u) << count;
      if (++count == 8) {
        out += static_cast<char>(bits);
        bits = count = 0;
      }
    }
  };
  const auto code = [&](uint32_t value, unsigned n) {  // Huffman codes go most significant bit first
    for (unsigned i = n; i-- > 0;) put(value >> i, 1);
  };
  put(1, 1);                    // final block
  put(1, 2);                    // fixed Huffman codes
  code(0x30 + 'a', 8);          // literal 'a'
  code(0xC0 + (285 - 280), 8);  // length code 285: 3 + 16 extra bits in deflate64
  put(lengthExtra, 16);
  code(distanceCode, 5);
  put(distanceExtra, distanceBits);
  code(0, 7);  // end of block
  if (count) out += static_cast<char>(bits);
  return out;
}

TEST_F(ZipFileTest, Deflate64MatchesAreDecodedAndBounded) {
  const std::string run(1 + 3 + 997, 'a');  // the literal and a match of 1000 at distance 1
  const std::string stream = Deflate64Match(997, 0, 0, 0);
  struct TCase {
    const char* Name;
    std::string Data;
    uint32_t DeclaredSize;
    const char* Error;  // nullptr: extracts to run
  };
  const TCase cases[] = {
      {"long match", stream, static_cast<uint32_t>(run.size()), nullptr},
      {"declared size too small", stream, 500, "longer than its declared size"},
      {"declared size too large", stream, 5000, "shorter than its declared size"},
      {"truncated", stream.substr(0, stream.size() - 2), static_cast<uint32_t>(run.size()), "damaged"},
      {"distance code 31 too far back", Deflate64Match(997, 31, 100, 14), static_cast<uint32_t>(run.size()),
       "distance too far back"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::filesystem::remove_all(Path("out"));
    Write("d.zip", CraftedArchive({{"d.txt", c.Data, 0, Crc(run), 9, c.DeclaredSize}}));
    TZipFile zip;
    zip.Open(Path("d.zip"), zmRead);
    if (!c.Error) {
      zip.Extract("d.txt", Path("out"));
      EXPECT_EQ(Read("out/d.txt"), run);
      continue;
    }
    try {
      zip.Extract("d.txt", Path("out"));
      ADD_FAILURE() << "extracted";
    } catch (const EZipException& error) {
      EXPECT_NE(error.Message().find(c.Error), std::string::npos) << error.Message();
      EXPECT_NE(error.Message().find("TZipFile.Extract: entry \"d.txt\""), std::string::npos) << error.Message();
    }
    EXPECT_TRUE(std::filesystem::is_empty(Path("out"))) << "no partial file";
  }
}

TEST_F(ZipFileTest, EntriesAreFoundByNameAndPlacedInTheirFolders) {
  Write("m.zip", CraftedArchive({
                     {"dup.txt", "first", 0, Crc("first"), 0, 5},
                     {"dup.txt", "second", 0, Crc("second"), 0, 6},
                     {"sub/", "", 0, 0, 0, 0},
                     {"sub/deeper/c.txt", "c", 0, Crc("c"), 0, 1},
                     {"\x80\x81\xff.txt", "z", 0, Crc("z"), 0, 1},  // neither UTF-8 nor CP932: CP437
                     {"x.bz2", "zz", 0, Crc("zz"), 12, 2},
                 }));
  TZipFile zip;
  zip.Open(Path("m.zip"), zmRead);
  ASSERT_EQ(zip.FileCount(), 6);
  EXPECT_EQ(zip.FileName(4), "\u00c7\u00fc\u00a0.txt");
  zip.Extract("dup.txt", Path("out"));
  EXPECT_EQ(Read("out/dup.txt"), "first");
  zip.Extract("sub/", Path("out"));
  EXPECT_TRUE(std::filesystem::is_directory(Path("out/sub")));
  zip.Extract("sub/deeper/c.txt", Path("out"));
  EXPECT_EQ(Read("out/sub/deeper/c.txt"), "c");
  zip.Extract("sub/deeper/c.txt", Path("flat"), false);
  EXPECT_EQ(Read("flat/c.txt"), "c");
  zip.Extract(zip.FileName(4), Path("out"));
  EXPECT_EQ(Read("out/" + zip.FileName(4)), "z");
  try {
    zip.Extract("x.bz2", Path("out"));
    ADD_FAILURE() << "extracted";
  } catch (const EZipException& error) {
    EXPECT_NE(error.Message().find("compression method 12 is not supported"), std::string::npos) << error.Message();
  }
  EXPECT_FALSE(std::filesystem::exists(Path("out/x.bz2")));

  // A symbolic link where the file goes is replaced, and what it points to stays as it was.
  Write("outside.txt", "outside");
  std::filesystem::create_symlink(Path("outside.txt"), Path("out/dup.txt.link"));
  std::filesystem::rename(Path("out/dup.txt.link"), Path("out/dup.txt"));
  zip.Extract("dup.txt", Path("out"));
  EXPECT_FALSE(std::filesystem::is_symlink(Path("out/dup.txt")));
  EXPECT_EQ(Read("out/dup.txt"), "first");
  EXPECT_EQ(Read("outside.txt"), "outside");
}

}  // namespace
