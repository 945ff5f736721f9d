// Folder listings in name order and file masks.

#include "platform/DirectoryListing.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace {

void Write(const std::string& path, const std::string& text) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

class PlatformFilesTest : public testing::Test {
protected:
  std::string Path(const std::string& relative) const { return FTemp.path().toStdString() + "/" + relative; }
  QTemporaryDir FTemp;
};

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

TEST_F(PlatformFilesTest, NamesEqualButForCaseAndNamesNotInUtf8KeepOneOrder) {
  for (const char* name : {"b.jpg", "\xff\xfe.jpg", "A.jpg", "\xfe\xff.jpg", "a.jpg"}) Write(Path(std::string("odd/") + name), "");
  const std::string root = Path("odd");
  EXPECT_EQ(GetFiles(root, [](auto&, auto&) { return true; }),
            (std::vector<std::string>{root + "/A.jpg", root + "/a.jpg", root + "/b.jpg", root + "/\xfe\xff.jpg",
                                      root + "/\xff\xfe.jpg"}))
      << "never the file system's order, not even for ties";
}

TEST_F(PlatformFilesTest, AnUnreadableFolderIsSkipped) {
  for (const char* name : {"a.jpg", "locked/x.jpg", "z.jpg"}) Write(Path(std::string("tree/") + name), "");
  ::chmod(Path("tree/locked").c_str(), 0);
  const bool readable = ::access(Path("tree/locked").c_str(), R_OK) == 0;
  const std::vector<std::string> files = GetFiles(Path("tree"), [](auto&, auto&) { return true; });
  ::chmod(Path("tree/locked").c_str(), 0700);
  if (readable) GTEST_SKIP() << "running as root: no folder is unreadable";
  EXPECT_EQ(files, (std::vector<std::string>{Path("tree/a.jpg"), Path("tree/z.jpg")}));
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
      {"\U0001F600.png", "?.png", true}, {"ΣΊΣΥΦΟΣ.Gif", "σίσυφοσ.gif", true}, {"a.tiff", "*.tif", false},
  };
  for (const TCase& c : cases) EXPECT_EQ(MatchesMask(c.Name, c.Mask), c.Matches) << c.Name << " ~ " << c.Mask;
  EXPECT_LT(NameOrderKey("a"), NameOrderKey("B"));
  EXPECT_LT(NameOrderKey("z"), NameOrderKey("_x")) << "names compare upper-cased: '_' comes after the letters";
  EXPECT_EQ(NameOrderKey("straße"), u"STRAßE") << "upper-cased unit by unit";
}

}  // namespace
