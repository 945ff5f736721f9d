// The settings file: the window's position and size and what was opened last, read once at the first
// show and written at every close request.

#include "Form_Tovasel.h"
#include "platform/IniFile.h"

#include <QGuiApplication>
#include <QScreen>

namespace {

constexpr const char* kForm = "form";
constexpr const char* kMode = "filOrZipMode";

}  // namespace

std::string TForm_Tovasel::SettingsFileName() const { return FFiles.SettingsFile; }

void TForm_Tovasel::iniYomu() {
  const TIniFile ini(SettingsFileName());
  // The stored values are the window's outer bounds, frame included.
  const QRect frame = frameGeometry();
  const QRect client = geometry();
  const int frameWidth = frame.width() - client.width();
  const int frameHeight = frame.height() - client.height();
  const int top = ini.ReadInteger(kForm, "top", 10);
  const int left = ini.ReadInteger(kForm, "left", 10);
  const int height = ini.ReadInteger(kForm, "height", 500);
  const int width = ini.ReadInteger(kForm, "width", 800);
  move(left, top);
  resize(std::max(1, width - frameWidth), std::max(1, height - frameHeight));
  Viewer.hyoujiMode = ini.ReadInteger(kMode, "filOrZip", 0);
  Viewer.openFilmei = ini.ReadString(kMode, "zipFilMei", "");
  iniFormSet();
}

void TForm_Tovasel::iniFormSet() {
  // The monitors are taken to stand side by side in one row.
  int totalWidth = 0;
  int greatestHeight = 0;
  for (const QScreen* screen : QGuiApplication::screens()) {
    totalWidth += screen->geometry().width();
    greatestHeight = std::max(greatestHeight, screen->geometry().height());
  }
  const QRect frame = frameGeometry();
  int left = frame.left();
  int top = frame.top();
  if (left + frame.width() > totalWidth) left = 50;
  if (top + frame.height() > greatestHeight) top = 50;
  if (left != frame.left() || top != frame.top()) move(left, top);
}

void TForm_Tovasel::iniKaku() {
  TIniFile ini(SettingsFileName());
  // A maximised window's bounds are what it covers now; the state itself is not kept.
  const QRect frame = frameGeometry();
  ini.WriteInteger(kForm, "top", frame.top());
  ini.WriteInteger(kForm, "left", frame.left());
  ini.WriteInteger(kForm, "height", frame.height());
  ini.WriteInteger(kForm, "width", frame.width());
  ini.WriteInteger(kMode, "filOrZip", Viewer.hyoujiMode);
  ini.WriteString(kMode, "zipFilMei", Viewer.openFilmei);
}
