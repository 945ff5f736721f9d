#include "Styles.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>

namespace {

// The colours of one of our own themes; the rest of the palette is derived from them.
struct TThemeColors {
  QRgb Window;
  QRgb Base;
  QRgb AlternateBase;
  QRgb Button;
  QRgb Text;
  QRgb Highlight;
  QRgb HighlightedText;
  QRgb DisabledText;
  QRgb Link;
};

constexpr TThemeColors kDarkColors{0x1f1f1f, 0x2b2b2b, 0x333333, 0x2d2d2d, 0xf0f0f0,
                                   0x0078d4, 0xffffff, 0x7a7a7a, 0x4ca3ff};
constexpr TThemeColors kSlateColors{0x5b6b7c, 0x4b5866, 0x536170, 0x637485, 0xf2f4f6,
                                    0x8aa6c4, 0x10161c, 0xa3adb7, 0xc8dcf2};

QPalette ThemePalette(const TThemeColors& colors) {
  const QColor window(colors.Window);
  QPalette palette;
  palette.setColor(QPalette::Window, window);
  palette.setColor(QPalette::WindowText, QColor(colors.Text));
  palette.setColor(QPalette::Base, QColor(colors.Base));
  palette.setColor(QPalette::AlternateBase, QColor(colors.AlternateBase));
  palette.setColor(QPalette::ToolTipBase, QColor(colors.Base));
  palette.setColor(QPalette::ToolTipText, QColor(colors.Text));
  palette.setColor(QPalette::PlaceholderText, QColor(colors.DisabledText));
  palette.setColor(QPalette::Text, QColor(colors.Text));
  palette.setColor(QPalette::Button, QColor(colors.Button));
  palette.setColor(QPalette::ButtonText, QColor(colors.Text));
  palette.setColor(QPalette::BrightText, Qt::white);
  palette.setColor(QPalette::Light, window.lighter(160));
  palette.setColor(QPalette::Midlight, window.lighter(130));
  palette.setColor(QPalette::Mid, window.darker(130));
  palette.setColor(QPalette::Dark, window.darker(160));
  palette.setColor(QPalette::Shadow, Qt::black);
  palette.setColor(QPalette::Highlight, QColor(colors.Highlight));
  palette.setColor(QPalette::HighlightedText, QColor(colors.HighlightedText));
  palette.setColor(QPalette::Link, QColor(colors.Link));
  palette.setColor(QPalette::LinkVisited, QColor(colors.Link).darker(120));
  for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText,
                                         QPalette::HighlightedText, QPalette::ToolTipText})
    palette.setColor(QPalette::Disabled, role, QColor(colors.DisabledText));
  palette.setColor(QPalette::Disabled, QPalette::Highlight, window.lighter(140));
  palette.setColor(QPalette::Disabled, QPalette::Base, window);
  return palette;
}

// The desktop's own look, taken before we first change anything, so that switching back is exact.
struct TStandardLook {
  QString StyleName;
  QPalette Palette;
};

const TStandardLook& StandardLook() {
  static const TStandardLook look{QApplication::style()->name(), QApplication::palette()};
  return look;
}

std::string& Active() {
  static std::string active = TStyleManager::kStandard;
  return active;
}

void Apply(const QString& styleName, const QPalette& palette) {
  // The style first: setting a style re-derives the palette, which ours then replaces.
  QApplication::setStyle(styleName);
  QApplication::setPalette(palette);
  // Widgets learn of a new application palette through posted events: deliver them now, so that every
  // window has the new look when the switch returns.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::ApplicationPaletteChange);
}

}  // namespace

void TStyleManager::SetStyle(const std::string& Name) {
  const TStandardLook& standard = StandardLook();
  if (Name == kStandard)
    Apply(standard.StyleName, standard.Palette);
  else if (Name == kDark)
    Apply("Fusion", ThemePalette(kDarkColors));
  else if (Name == kSlateGray)
    Apply("Fusion", ThemePalette(kSlateColors));
  else
    throw EStyleNotFound("Style '" + Name + "' not found");
  Active() = Name;
}

const std::string& TStyleManager::ActiveStyle() { return Active(); }
