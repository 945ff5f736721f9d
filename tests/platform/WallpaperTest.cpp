// Setting the wallpaper with the real tools: gsettings on its keyfile backend, xfconf on a session bus
// of the test's own, xwallpaper on an Xvfb of the test's own; and the failures the user is told about.

#include "platform/Wallpaper.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

namespace {

bool Have(const char* program) { return !QStandardPaths::findExecutable(program).isEmpty(); }

// A tool of the test's own set-up or read-back: its standard output, trimmed.
QString Output(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment) {
  QProcess process;
  process.setProcessEnvironment(environment);
  process.start(program, arguments);
  EXPECT_TRUE(process.waitForFinished(10000)) << program.toStdString();
  EXPECT_EQ(process.exitCode(), 0) << program.toStdString() << ": " << process.readAllStandardError().toStdString();
  return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// A server that lives for one test (a session bus, an X server) and prints its address first.
class TServer {
public:
  TServer() = default;
  TServer(const TServer&) = delete;
  TServer& operator=(const TServer&) = delete;
  ~TServer() {
    FProcess.terminate();
    if (!FProcess.waitForFinished(5000)) FProcess.kill();
    FProcess.waitForFinished();
  }

  // The first line it prints, or empty when it did not come up.
  QString Start(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment) {
    FProcess.setProcessEnvironment(environment);
    FProcess.setStandardErrorFile(QProcess::nullDevice());
    FProcess.start(program, arguments);
    while (!FProcess.canReadLine() && FProcess.waitForReadyRead(10000)) {
    }
    return QString::fromUtf8(FProcess.readLine()).trimmed();
  }

private:
  QProcess FProcess;
};

// A red BMP file in a folder and under a name that need quoting and encoding.
class WallpaperTest : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(FTemp.isValid());
    ASSERT_TRUE(QDir(FTemp.path()).mkpath("my pics"));
    FImage = FTemp.filePath("my pics/壁紙用画像ファイル.bmp");
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(QColor(255, 0, 0));
    ASSERT_TRUE(image.save(FImage, "BMP"));
  }

  // Only what the tools need, and the settings in the test's folder: nothing of the developer's own
  // desktop is touched.
  QProcessEnvironment Environment(const QString& desktop) const {
    QProcessEnvironment environment;
    environment.insert("PATH", qEnvironmentVariable("PATH"));
    environment.insert("HOME", FTemp.path());
    environment.insert("LANG", "C.UTF-8");
    environment.insert("XDG_CONFIG_HOME", FTemp.filePath("config"));
    environment.insert("GSETTINGS_BACKEND", "keyfile");
    if (!desktop.isEmpty()) environment.insert("XDG_CURRENT_DESKTOP", desktop);
    return environment;
  }

  QTemporaryDir FTemp;
  QString FImage;
};

struct TGsettingsCase {
  const char* Name;
  const char* Desktop;
  const char* Schema;
  const char* Key;
  bool Uri;
  const char* DarkKey;
  // GNOME before 42 had no dark key: its schema is compiled here, in front of the installed one.
  bool OldGnomeSchema;
};

const TGsettingsCase kGsettingsCases[] = {
    {"Gnome", "GNOME", "org.gnome.desktop.background", "picture-uri", true, "picture-uri-dark", false},
    {"GnomeLaterInTheList", "X-Generic:gnome", "org.gnome.desktop.background", "picture-uri", true, "picture-uri-dark", false},
    {"GnomeWithoutDarkKey", "GNOME", "org.gnome.desktop.background", "picture-uri", true, nullptr, true},
    {"Cinnamon", "X-Cinnamon", "org.cinnamon.desktop.background", "picture-uri", true, nullptr, false},
    {"Mate", "MATE", "org.mate.background", "picture-filename", false, nullptr, false},
};

void PrintTo(const TGsettingsCase& c, std::ostream* os) { *os << c.Name; }

constexpr const char* kOldGnomeSchema = R"(<schemalist>
  <schema id="org.gnome.desktop.background" path="/org/gnome/desktop/background/">
    <key name="picture-uri" type="s"><default>''</default></key>
    <key name="picture-options" type="s"><default>'zoom'</default></key>
  </schema>
</schemalist>
)";

class GsettingsWallpaperTest : public WallpaperTest, public testing::WithParamInterface<TGsettingsCase> {};

TEST_P(GsettingsWallpaperTest, SetsThePictureKeysAndKeepsTheOptions) {
  const TGsettingsCase& c = GetParam();
  if (!Have("gsettings")) GTEST_SKIP() << "gsettings missing";
  QProcessEnvironment environment = Environment(c.Desktop);
  if (c.OldGnomeSchema) {
    if (!Have("glib-compile-schemas")) GTEST_SKIP() << "glib-compile-schemas missing";
    const QString schemas = FTemp.filePath("schemas");
    ASSERT_TRUE(QDir().mkpath(schemas));
    QFile file(schemas + "/org.gnome.desktop.background.gschema.xml");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(kOldGnomeSchema);
    file.close();
    Output("glib-compile-schemas", {schemas}, environment);
    environment.insert("GSETTINGS_SCHEMA_DIR", schemas);
  } else if (!Output("gsettings", {"list-schemas"}, environment).split('\n').contains(c.Schema)) {
    GTEST_SKIP() << c.Schema << " not installed";
  }
  const auto get = [&](const QString& key) { return Output("gsettings", {"get", c.Schema, key}, environment).toStdString(); };
  Output("gsettings", {"set", c.Schema, "picture-options", "centered"}, environment);

  const TWallpaperResult result = SetDesktopWallpaper(FImage.toStdString(), environment);

  ASSERT_TRUE(result.Done) << result.Reason;
  const QString value = c.Uri ? "file://" + QString::fromLatin1(QUrl::toPercentEncoding(FImage, "/")) : FImage;
  const std::string quoted = ("'" + value + "'").toStdString();
  EXPECT_EQ(get(c.Key), quoted);
  if (c.DarkKey) {
    EXPECT_EQ(get(c.DarkKey), quoted);
  }
  EXPECT_EQ(get("picture-options"), "'centered'");
}

INSTANTIATE_TEST_SUITE_P(Desktops, GsettingsWallpaperTest, testing::ValuesIn(kGsettingsCases),
                         [](const testing::TestParamInfo<TGsettingsCase>& info) { return info.param.Name; });

TEST_F(WallpaperTest, XfceSetsTheImageOfEveryMonitorAndWorkspace) {
  if (!Have("xfconf-query") || !Have("dbus-daemon")) GTEST_SKIP() << "xfconf-query or dbus-daemon missing";
  QProcessEnvironment environment = Environment("XFCE");
  TServer bus;
  const QString address = bus.Start("dbus-daemon", {"--session", "--nofork", "--print-address=1"}, environment);
  ASSERT_FALSE(address.isEmpty());
  environment.insert("DBUS_SESSION_BUS_ADDRESS", address);
  const auto query = [&](QStringList arguments) {
    return Output("xfconf-query", QStringList{"-c", "xfce4-desktop"} << arguments, environment);
  };
  const QStringList images = {"/backdrop/screen0/monitorVirtual1/workspace0/last-image",
                              "/backdrop/screen0/monitorHDMI-1/workspace3/last-image"};
  for (const QString& image : images) query({"-n", "-t", "string", "-p", image, "-s", "/old.png"});
  const QString style = "/backdrop/screen0/monitorVirtual1/workspace0/image-style";
  query({"-n", "-t", "int", "-p", style, "-s", "5"});

  const TWallpaperResult result = SetDesktopWallpaper(FImage.toStdString(), environment);

  ASSERT_TRUE(result.Done) << result.Reason;
  for (const QString& image : images) EXPECT_EQ(query({"-p", image}), FImage) << image.toStdString();
  EXPECT_EQ(query({"-p", style}), "5");
}

TEST_F(WallpaperTest, PlainX11SetterPaintsTheRootWindow) {
  if (!Have("Xvfb") || !Have("xwallpaper") || !Have("import")) GTEST_SKIP() << "Xvfb, xwallpaper or import missing";
  QProcessEnvironment environment = Environment({});
  TServer server;
  const QString display = server.Start("Xvfb", {"-displayfd", "1", "-screen", "0", "64x48x24", "-nolisten", "tcp"}, environment);
  ASSERT_FALSE(display.isEmpty());
  environment.insert("DISPLAY", ":" + display);

  const TWallpaperResult result = SetDesktopWallpaper(FImage.toStdString(), environment);

  ASSERT_TRUE(result.Done) << result.Reason;
  EXPECT_EQ(Output("import", {"-window", "root", "-depth", "8", "-format", "%[hex:p{40,30}]", "info:"}, environment), "FF0000");
}

TEST_F(WallpaperTest, FailuresSayWhy) {
  struct TCase {
    const char* Name;
    const char* Desktop;
    // A stand-in for the setter, in a PATH of its own: a shell script body.
    const char* Setter;
    const char* Script;
    const char* Image;
    const char* InReason;
  };
  const TCase cases[] = {
      {"unknown desktop, no setter", "X-Nothing", nullptr, nullptr, nullptr, "X-Nothing"},
      {"the desktop's tool is missing", "XFCE", nullptr, nullptr, nullptr, "xfconf-query"},
      {"setter exits non-zero", "", "xwallpaper", "echo 'xwallpaper: cannot open display' >&2; exit 1", nullptr,
       "cannot open display"},
      {"setter crashes", "", "xwallpaper", "echo 'about to crash' >&2; kill -SEGV $$", nullptr, "about to crash"},
      {"gsettings fails", "GNOME", "gsettings", "echo 'No such schema' >&2; exit 1", nullptr, "No such schema"},
      {"no image file", "GNOME", nullptr, nullptr, "my pics/no-such.bmp", "no-such.bmp"},
  };
  int index = 0;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const QString bin = FTemp.filePath("bin" + QString::number(index++));
    ASSERT_TRUE(QDir().mkpath(bin));
    if (c.Setter) {
      QFile script(bin + "/" + c.Setter);
      ASSERT_TRUE(script.open(QIODevice::WriteOnly));
      script.write(QByteArray("#!/bin/sh\n") + c.Script + "\n");
      script.close();
      script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QProcessEnvironment environment = Environment(c.Desktop);
    environment.insert("PATH", bin);
    environment.insert("DISPLAY", ":0");

    const TWallpaperResult result =
        SetDesktopWallpaper(c.Image ? FTemp.filePath(c.Image).toStdString() : FImage.toStdString(), environment);

    EXPECT_FALSE(result.Done);
    EXPECT_NE(result.Reason.find(c.InReason), std::string::npos) << result.Reason;
  }
}

}  // namespace
