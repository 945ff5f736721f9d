// The platform pieces the viewer stands on: settings files, folder listings and file masks, the named
// mutex and the running window's endpoint (across processes: tests/viewer/SingleInstanceProcessTest).

#include "platform/DirectoryListing.h"
#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace {

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Write(const std::string& path, const std::string& text) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

class PlatformFilesTest : public testing::Test {
protected:
  std::string Path(const std::string& relative) const { return FTemp.path().toStdString() + "/" + relative; }
  QTemporaryDir FTemp;
};

TEST_F(PlatformFilesTest, IniFileWritesKeyByKeyAndKeepsTheRest) {
  const std::string file = Path("a.ini");
  Write(file, "; remembered\r\n[Other]\r\nx=1\r\n\r\n[FORM]\r\nTop = 7\r\nleft=3\r\n");
  TIniFile ini(file);
  EXPECT_EQ(ini.ReadInteger("form", "top", 10), 7) << "names compare without case, blanks are trimmed";
  ini.WriteInteger("form", "TOP", 120);
  ini.WriteInteger("form", "height", 700);
  ini.WriteString("filOrZipMode", "zipFilMei", "/写真/2023 年");
  EXPECT_EQ(Read(file),
            "; remembered\n[Other]\nx=1\n\n[FORM]\nTOP=120\nleft=3\nheight=700\n[filOrZipMode]\nzipFilMei=/写真/2023 年\n");
  EXPECT_EQ(ini.ReadString("filormode", "zipfilmei", "none"), "none");
  EXPECT_EQ(ini.ReadString("FILORZIPMODE", "ZIPFILMEI", "none"), "/写真/2023 年");
}

TEST_F(PlatformFilesTest, IniFileIntegersAndDefaults) {
  const std::string file = Path("n.ini");
  Write(file, "\xEF\xBB\xBF[s]\nhex=0x20\ndollar=$1F\nneg=-5\nbad=12a\nempty=\nbig=99999999999\nquoted=\"a b\"\n");
  const TIniFile ini(file);
  EXPECT_EQ(ini.ReadInteger("s", "hex", 0), 32);
  EXPECT_EQ(ini.ReadInteger("s", "dollar", 0), 31);
  EXPECT_EQ(ini.ReadInteger("s", "neg", 0), -5);
  EXPECT_EQ(ini.ReadInteger("s", "bad", 9), 9);
  EXPECT_EQ(ini.ReadInteger("s", "empty", 9), 9);
  EXPECT_EQ(ini.ReadInteger("s", "big", 9), 9);
  EXPECT_EQ(ini.ReadInteger("s", "missing", 9), 9);
  EXPECT_EQ(ini.ReadString("s", "quoted", ""), "a b");
  EXPECT_EQ(TIniFile(Path("absent.ini")).ReadInteger("s", "hex", 10), 10);
  Write(file, "[s]\nlong=" + std::string(3000, 'x') + "\n");
  EXPECT_EQ(ini.ReadString("s", "long", "").size(), 2047u);
}

TEST_F(PlatformFilesTest, IniFileThatCannotBeWrittenRaisesAndKeepsTheOldFile) {
  std::filesystem::create_directories(Path("locked"));
  const std::string file = Path("locked/a.ini");
  Write(file, "[s]\nk=1\n");
  ::chmod(Path("locked").c_str(), 0500);
  TIniFile ini(file);
  if (::access(Path("locked").c_str(), W_OK) == 0) GTEST_SKIP() << "running as root: folders cannot be locked";
  try {
    ini.WriteInteger("s", "k", 2);
    ADD_FAILURE() << "no error";
  } catch (const EIniFileException& error) {
    EXPECT_EQ(std::string(error.Message()).rfind("Unable to write to " + file, 0), 0u) << error.Message();
  }
  EXPECT_EQ(Read(file), "[s]\nk=1\n");
  ::chmod(Path("locked").c_str(), 0700);
}

TEST_F(PlatformFilesTest, ListingIsDepthFirstInNameOrder) {
  for (const char* name : {"c.jpg", "B.jpg", "a.jpg", "sub/z.jpg", "sub/Y.JPG", "Sub2/x.png", ".hidden.jpg", "d.txt"})
    Write(Path(std::string("tree/") + name), "");
  std::filesystem::create_directory_symlink(Path("tree"), Path("tree/sub/loop"));
  std::filesystem::create_symlink(Path("tree/a.jpg"), Path("tree/link.jpg"));
  const std::string root = Path("tree");
  std::vector<std::pair<std::string, std::string>> seen;
  const std::vector<std::string> files = GetFiles(root + "/", [&](const std::string& folder, const std::string& name) {
    seen.emplace_back(folder, name);
    return name != "d.txt";
  });
  EXPECT_EQ(files, (std::vector<std::string>{root + "/.hidden.jpg", root + "/a.jpg", root + "/B.jpg", root + "/c.jpg",
                                             root + "/link.jpg", root + "/sub/Y.JPG", root + "/sub/z.jpg",
                                             root + "/Sub2/x.png"}));
  EXPECT_NE(std::find(seen.begin(), seen.end(), std::make_pair(root, std::string("d.txt"))), seen.end());
  EXPECT_THROW(GetFiles(Path("missing"), [](auto&, auto&) { return true; }), EDirectoryNotFoundException);
  EXPECT_THROW(GetFiles(Path("tree/a.jpg"), [](auto&, auto&) { return true; }), EDirectoryNotFoundException);
}

TEST(FileMasks, MatchWithoutCase) {
  struct TCase {
    const char* Name;
    const char* Mask;
    bool Matches;
  };
  const TCase cases[] = {
      {"a.JPG", "*.jpg", true},      {"photos.zip.jpg", "*.jpg", true}, {"a.jpeg", "*.jpg", false},
      {"a.jpe", "*.jpg", false},     {"x", "?", true},                  {"xy", "?", false},
      {"ÄBC.png", "äbc.PNG", true},  {"a.b.c", "*.*.*", true},          {"", "*", true},
      {"\xff\xfe.jpg", "*.jpg", true}, {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*a*c", false},
  };
  for (const TCase& c : cases) EXPECT_EQ(MatchesMask(c.Name, c.Mask), c.Matches) << c.Name << " ~ " << c.Mask;
  EXPECT_LT(NameOrderKey("a"), NameOrderKey("B"));
  EXPECT_LT(NameOrderKey("z"), NameOrderKey("_x")) << "names compare upper-cased: '_' comes after the letters";
}

}  // namespace
