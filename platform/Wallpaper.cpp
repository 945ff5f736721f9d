#include "Wallpaper.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryFile>
#include <QUrl>

namespace {

// A desktop tool that hangs (a bus nobody answers) must not freeze the viewer for long.
constexpr int kTimeoutMs = 10000;
// The tool's own words go into a message box: keep them to a line or two.
constexpr qsizetype kMaxDetail = 200;

enum class TDesktop { Gnome, Cinnamon, Mate, Plasma, Xfce, Lxqt, Unknown };

struct TDesktopName {
  const char* Prefix;
  TDesktop Desktop;
};

// Names as XDG_CURRENT_DESKTOP gives them, and the session names of DESKTOP_SESSION ("plasmawayland",
// "xfce4", "gnome-xorg" ...), hence prefixes.
constexpr TDesktopName kDesktopNames[] = {
    {"gnome", TDesktop::Gnome},     {"unity", TDesktop::Gnome},       {"budgie", TDesktop::Gnome},
    {"pop", TDesktop::Gnome},       {"ubuntu", TDesktop::Gnome},      {"x-cinnamon", TDesktop::Cinnamon},
    {"cinnamon", TDesktop::Cinnamon}, {"mate", TDesktop::Mate},       {"kde", TDesktop::Plasma},
    {"plasma", TDesktop::Plasma},   {"xfce", TDesktop::Xfce},         {"lxqt", TDesktop::Lxqt},
};

// The first name of the list that we know decides.
TDesktop DesktopOf(const QString& names) {
  for (const QString& name : names.split(':', Qt::SkipEmptyParts)) {
    const QString lower = name.trimmed().toLower();
    for (const TDesktopName& known : kDesktopNames)
      if (lower.startsWith(QLatin1String(known.Prefix))) return known.Desktop;
  }
  return TDesktop::Unknown;
}

// Plain X11 setters, in order of preference, with the option that fills the screen.
struct TX11Setter {
  const char* Program;
  const char* Option;
  bool PngOrJpegOnly;
};

constexpr TX11Setter kX11Setters[] = {
    {"xwallpaper", "--zoom", true},
    {"feh", "--bg-max", false},
    {"xsetbg", nullptr, false},
    {"hsetroot", "-full", false},
};

TWallpaperResult Failed(const QString& reason) { return {false, reason.toStdString()}; }

// A string literal that GVariant text and JavaScript read alike: both know \\, \' or \" and \uXXXX.
// gsettings would otherwise parse a value that looks like a number or a list as one.
QString Quoted(const QString& text, QChar quote) {
  QString quoted = quote;
  for (const QChar c : text) {
    if (c == '\\' || c == quote)
      quoted += QStringLiteral("\\") + c;
    else if (c.unicode() < 0x20 || c.unicode() == 0x2028 || c.unicode() == 0x2029)
      quoted += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QChar('0'));
    else
      quoted += c;
  }
  return quoted + quote;
}

QString Detail(const QByteArray& errorOutput) {
  QString text = QString::fromLocal8Bit(errorOutput).simplified();
  if (text.size() > kMaxDetail) text = text.left(kMaxDetail) + QStringLiteral("…");
  return text.isEmpty() ? QStringLiteral("。") : QStringLiteral(": ") + text;
}

struct TRun {
  bool Ok = false;
  QString Output;
  QString Reason;
};

// The tools of one environment: looked up on its PATH and run in it.
class TTools {
public:
  explicit TTools(const QProcessEnvironment& environment)
      : FEnvironment(environment), FPath(environment.value("PATH").split(':', Qt::SkipEmptyParts)) {}

  bool Has(const QString& program) const { return !Find(program).isEmpty(); }

  TRun Run(const QString& program, const QStringList& arguments) const {
    const QString executable = Find(program);
    if (executable.isEmpty()) return {false, {}, QStringLiteral("%1 が見つかりません。").arg(program)};
    QProcess process;
    process.setProcessEnvironment(FEnvironment);
    process.setProgram(executable);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted(kTimeoutMs))
      return {false, {}, QStringLiteral("%1 を起動できませんでした%2").arg(program, Detail(process.errorString().toLocal8Bit()))};
    if (!process.waitForFinished(kTimeoutMs)) {
      process.kill();
      process.waitForFinished();
      return {false, {}, QStringLiteral("%1 が時間内に終わりませんでした%2").arg(program, Detail(process.readAllStandardError()))};
    }
    if (process.exitStatus() == QProcess::CrashExit)
      return {false, {}, QStringLiteral("%1 が異常終了しました%2").arg(program, Detail(process.readAllStandardError()))};
    if (process.exitCode() != 0)
      return {false, {},
              QStringLiteral("%1 が失敗しました (終了コード %2)%3")
                  .arg(program, QString::number(process.exitCode()), Detail(process.readAllStandardError()))};
    return {true, QString::fromLocal8Bit(process.readAllStandardOutput()), {}};
  }

  // A single command is the whole mechanism.
  TWallpaperResult Apply(const QString& program, const QStringList& arguments) const {
    const TRun run = Run(program, arguments);
    return run.Ok ? TWallpaperResult{true, {}} : Failed(run.Reason);
  }

private:
  // An empty PATH finds nothing rather than falling back to our own process's PATH.
  QString Find(const QString& program) const {
    return FPath.isEmpty() ? QString() : QStandardPaths::findExecutable(program, FPath);
  }

  QProcessEnvironment FEnvironment;
  QStringList FPath;
};

// The picture key, and its "-dark" twin where the schema has one (GNOME 42 on): without it the dark
// style keeps showing the old picture. The picture options stay the user's.
TWallpaperResult SetByGsettings(const TTools& tools, const QString& schema, const QString& key, const QString& value) {
  const TRun keys = tools.Run("gsettings", {"list-keys", schema});
  if (!keys.Ok) return Failed(keys.Reason);
  QStringList targets{key};
  for (const QString& listed : keys.Output.split('\n'))
    if (listed.trimmed() == key + "-dark") targets << listed.trimmed();
  for (const QString& target : targets) {
    const TRun set = tools.Run("gsettings", {"set", schema, target, Quoted(value, '\'')});
    if (!set.Ok) return Failed(set.Reason);
  }
  return {true, {}};
}

TWallpaperResult SetOnPlasma(const TTools& tools, const QString& path, const QString& uri) {
  if (tools.Has("plasma-apply-wallpaperimage")) return tools.Apply("plasma-apply-wallpaperimage", {path});
  // Older Plasma has no such tool: plasmashell's own script sets every desktop's image.
  const QString script = QStringLiteral(
                             "var all = desktops();"
                             "for (var i = 0; i < all.length; ++i) {"
                             " all[i].wallpaperPlugin = 'org.kde.image';"
                             " all[i].currentConfigGroup = ['Wallpaper', 'org.kde.image', 'General'];"
                             " all[i].writeConfig('Image', %1);"
                             "}")
                             .arg(Quoted(uri, '"'));
  for (const char* qdbus : {"qdbus6", "qdbus"})
    if (tools.Has(qdbus))
      return tools.Apply(qdbus, {"org.kde.plasmashell", "/PlasmaShell", "org.kde.PlasmaShell.evaluateScript", script});
  if (tools.Has("dbus-send"))
    return tools.Apply("dbus-send", {"--session", "--dest=org.kde.plasmashell", "--type=method_call", "--print-reply",
                                     "/PlasmaShell", "org.kde.PlasmaShell.evaluateScript", "string:" + script});
  return Failed(QStringLiteral("plasma-apply-wallpaperimage、qdbus6、qdbus、dbus-send のいずれも見つかりません。"));
}

// Every monitor and every workspace has its own image property: set them all.
TWallpaperResult SetOnXfce(const TTools& tools, const QString& path) {
  const TRun list = tools.Run("xfconf-query", {"-c", "xfce4-desktop", "-l"});
  if (!list.Ok) return Failed(list.Reason);
  int count = 0;
  for (const QString& line : list.Output.split('\n')) {
    const QString property = line.trimmed();
    if (!property.endsWith("/last-image")) continue;
    const TRun set = tools.Run("xfconf-query", {"-c", "xfce4-desktop", "-p", property, "-s", path});
    if (!set.Ok) return Failed(set.Reason);
    ++count;
  }
  if (count == 0) return Failed(QStringLiteral("xfce4-desktop に壁紙の設定 (last-image) がありません。"));
  return {true, {}};
}

TWallpaperResult SetOnX11(const TTools& tools, const QProcessEnvironment& environment, const QString& path,
                          const QString& desktop) {
  if (!environment.value("DISPLAY").isEmpty()) {
    for (const TX11Setter& setter : kX11Setters) {
      if (!tools.Has(setter.Program)) continue;
      QStringList arguments;
      if (setter.Option) arguments << setter.Option;
      const QByteArray format = QImageReader::imageFormat(path);
      if (!setter.PngOrJpegOnly || format == "png" || format == "jpeg") return tools.Apply(setter.Program, arguments << path);
      // The setter cannot read a BMP. It is done with the file once the root window has its pixmap, so a
      // PNG copy that lives for the call is enough.
      QTemporaryFile copy(QDir::tempPath() + QStringLiteral("/tovasel-wallpaper-XXXXXX.png"));
      if (!copy.open() || !QImage(path).save(&copy, "PNG"))
        return Failed(QStringLiteral("%1 に渡す PNG を作れませんでした: %2").arg(setter.Program, path));
      copy.close();
      return tools.Apply(setter.Program, arguments << copy.fileName());
    }
  }
  return Failed(QStringLiteral("このデスクトップ (%1) で壁紙を設定する方法が見つかりませんでした。")
                    .arg(desktop.isEmpty() ? QStringLiteral("不明") : desktop));
}

}  // namespace

TWallpaperResult SetDesktopWallpaper(const std::string& Path) {
  return SetDesktopWallpaper(Path, QProcessEnvironment::systemEnvironment());
}

TWallpaperResult SetDesktopWallpaper(const std::string& Path, const QProcessEnvironment& Environment) {
  const QFileInfo file(QString::fromStdString(Path));
  if (!file.isFile()) return Failed(QStringLiteral("画像ファイルがありません: %1").arg(file.filePath()));
  // Absolute, so that no tool takes the path for an option and the desktop finds it from anywhere.
  const QString path = file.absoluteFilePath();
  const QString uri = QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
  const TTools tools(Environment);
  QString desktop = Environment.value("XDG_CURRENT_DESKTOP").trimmed();
  if (desktop.isEmpty()) desktop = Environment.value("DESKTOP_SESSION").trimmed();
  switch (DesktopOf(desktop)) {
    case TDesktop::Gnome: return SetByGsettings(tools, "org.gnome.desktop.background", "picture-uri", uri);
    case TDesktop::Cinnamon: return SetByGsettings(tools, "org.cinnamon.desktop.background", "picture-uri", uri);
    case TDesktop::Mate: return SetByGsettings(tools, "org.mate.background", "picture-filename", path);
    case TDesktop::Plasma: return SetOnPlasma(tools, path, uri);
    case TDesktop::Xfce: return SetOnXfce(tools, path);
    case TDesktop::Lxqt: return tools.Apply("pcmanfm-qt", {"--set-wallpaper=" + path});
    case TDesktop::Unknown: break;
  }
  return SetOnX11(tools, Environment, path, desktop);
}
