// Settings files on disk: key-by-key writes that keep everything else, the reading rules, values that
// survive the round trip, and writes that fail without harm.

#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

class IniFileTest : public testing::Test {
protected:
  std::string Path(const std::string& relative) const { return FTemp.path().toStdString() + "/" + relative; }
  std::vector<std::string> FolderNames() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(FTemp.path().toStdString()))
      names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
  QTemporaryDir FTemp;
};

TEST_F(IniFileTest, WritesKeyByKeyAndKeepsTheRest) {
  const std::string file = Path("a.ini");
  Write(file, "; remembered\r\n[Other]\r\nx=1\r\n\r\n[FORM]\r\nTop = 7\r\nleft=3\r\n\r\n; about the next\r\n[last]\r\ntop=1\r\n");
  TIniFile ini(file);
  EXPECT_EQ(ini.ReadInteger("form", "top", 10), 7) << "names compare without case, blanks are trimmed";
  ini.WriteInteger("form", "TOP", 120);
  ini.WriteInteger("form", "height", 700);
  ini.WriteString("filOrZipMode", "zipFilMei", "/写真/2023 年");
  EXPECT_EQ(Read(file),
            "; remembered\r\n[Other]\r\nx=1\r\n\r\n[FORM]\r\nTOP=120\r\nleft=3\r\nheight=700\r\n\r\n; about the next\r\n"
            "[last]\r\ntop=1\r\n[filOrZipMode]\r\nzipFilMei=/写真/2023 年\r\n")
      << "a new key follows its section's last key; a new section goes to the end; line breaks stay as they were";
  EXPECT_EQ(ini.ReadString("filormode", "zipfilmei", "none"), "none");
  EXPECT_EQ(ini.ReadString("FILORZIPMODE", "ZIPFILMEI", "none"), "/写真/2023 年");
  EXPECT_TRUE(ini.SectionExists("other"));
  EXPECT_FALSE(ini.SectionExists("x"));
}

TEST_F(IniFileTest, FirstOccurrenceIsReadAndReplaced) {
  const std::string file = Path("twice.ini");
  Write(file, "\xEF\xBB\xBF[s]\nk=first\n;k=comment\nk=second\n[s]\nk=third\nj=x");
  TIniFile ini(file);
  EXPECT_EQ(ini.ReadString("s", "k", ""), "first") << "the byte-order mark does not hide the first section";
  EXPECT_EQ(ini.ReadString("s", "j", "none"), "none") << "only the section's first occurrence counts";
  ini.WriteString("s", "k", "new");
  EXPECT_EQ(Read(file), "\xEF\xBB\xBF[s]\nk=new\n;k=comment\nk=second\n[s]\nk=third\nj=x");
}

TEST_F(IniFileTest, IntegersAndDefaults) {
  const std::string file = Path("n.ini");
  Write(file,
        "[s]\nhex=0x20\ndollar=$1F\nneg=-5\nbad=12a\nempty=\nbig=99999999999\nquoted=\"a b\"\nallbits=0xFFFFFFFF\n"
        "beyond=0x100000000\nlowest=-2147483648\npastlowest=-2147483649\nhighest=2147483647\npasthighest=2147483648\n"
        "sign=-\nprefix=0x\nblanks=  42  \n");
  const TIniFile ini(file);
  const std::pair<const char*, int32_t> cases[] = {
      {"hex", 32},        {"dollar", 31},       {"neg", -5},         {"bad", 9},          {"empty", 9},
      {"big", 9},         {"missing", 9},       {"allbits", -1},     {"beyond", 9},       {"lowest", INT32_MIN},
      {"pastlowest", 9},  {"highest", INT32_MAX}, {"pasthighest", 9}, {"sign", 9},        {"prefix", 9},
      {"blanks", 42},
  };
  for (const auto& [key, expected] : cases) EXPECT_EQ(ini.ReadInteger("s", key, 9), expected) << key;
  EXPECT_EQ(ini.ReadString("s", "quoted", ""), "a b");
  EXPECT_EQ(TIniFile(Path("absent.ini")).ReadInteger("s", "hex", 10), 10);
}

TEST_F(IniFileTest, LongValuesStopAt2047CodePoints) {
  const std::string file = Path("long.ini");
  std::string wide;
  for (int i = 0; i < 3000; ++i) wide += "あ";
  Write(file, "[s]\nascii=" + std::string(3000, 'x') + "\nwide=" + wide + "\n");
  const TIniFile ini(file);
  EXPECT_EQ(ini.ReadString("s", "ascii", "").size(), 2047u);
  EXPECT_EQ(ini.ReadString("s", "wide", "").size(), 2047u * 3) << "counted in characters, never cut inside one";
}

TEST_F(IniFileTest, EveryValueWithoutALineBreakSurvivesTheRoundTrip) {
  TIniFile ini(Path("paths.ini"));
  for (const std::string& value : std::vector<std::string>{"/写真/2023 年", " leading blank", "trailing blank\t", "\"quoted\"", "", "a=b ; c [d]",
                                  "\"", "\xff\xfe broken UTF-8"}) {
    ini.WriteString("filOrZipMode", "zipFilMei", value);
    EXPECT_EQ(ini.ReadString("filOrZipMode", "zipFilMei", "default"), value);
  }
  EXPECT_EQ(Read(Path("paths.ini")), "[filOrZipMode]\nzipFilMei=\xff\xfe broken UTF-8\n");
}

TEST_F(IniFileTest, WhatWouldBreakTheLinesIsRefused) {
  const std::string file = Path("s.ini");
  Write(file, "[s]\nk=1\n");
  TIniFile ini(file);
  EXPECT_THROW(ini.WriteString("s", "k", "two\nlines"), EIniFileException);
  EXPECT_THROW(ini.WriteString("s", "k=x", "1"), EIniFileException);
  EXPECT_THROW(ini.WriteString("s", "", "1"), EIniFileException);
  EXPECT_THROW(ini.WriteString("s]x", "k", "1"), EIniFileException);
  EXPECT_EQ(Read(file), "[s]\nk=1\n");
}

TEST_F(IniFileTest, AWriteKeepsPermissionsAndLinksAndLeavesNothingBeside) {
  const std::string file = Path("real.ini");
  Write(file, "[s]\nk=1\n");
  ::chmod(file.c_str(), 0640);
  std::filesystem::create_symlink(file, Path("link.ini"));
  TIniFile(Path("link.ini")).WriteInteger("s", "k", 2);
  EXPECT_TRUE(std::filesystem::is_symlink(Path("link.ini")));
  EXPECT_EQ(Read(file), "[s]\nk=2\n");
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);

  const mode_t old = ::umask(022);
  TIniFile(Path("new.ini")).WriteString("s", "k", "v");
  ::umask(old);
  ASSERT_EQ(::stat(Path("new.ini").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0644u) << "a new file gets what any new file of the user gets";
  EXPECT_EQ(FolderNames(), (std::vector<std::string>{"link.ini", "new.ini", "real.ini"}));
}

TEST_F(IniFileTest, AFileThatCannotBeWrittenRaisesAndKeepsTheOldOne) {
  const std::string missing = Path("no/such/folder/a.ini");
  try {
    TIniFile(missing).WriteInteger("s", "k", 2);
    ADD_FAILURE() << "no error";
  } catch (const EIniFileException& error) {
    EXPECT_EQ(error.Message(), "Unable to write to " + missing);
  }

  std::filesystem::create_directories(Path("locked"));
  const std::string file = Path("locked/a.ini");
  Write(file, "[s]\nk=1\n");
  ::chmod(Path("locked").c_str(), 0500);
  const bool lockable = ::access(Path("locked").c_str(), W_OK) != 0;
  if (lockable) {
    EXPECT_THROW(TIniFile(file).WriteInteger("s", "k", 2), EIniFileException);
    EXPECT_EQ(Read(file), "[s]\nk=1\n");
  }
  ::chmod(Path("locked").c_str(), 0700);
  if (!lockable) GTEST_SKIP() << "running as root: a read-only folder does not stop the write";
}

}  // namespace
