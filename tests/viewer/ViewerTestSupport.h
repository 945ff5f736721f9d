#pragma once
// The viewer's window on the offscreen platform, started as the program starts it, with its settings
// file and scratch folder in a folder of the test's own and its message boxes recorded.

#include "app/Form_Tovasel.h"
#include "platform/MessageBox.h"
#include "viewer/ImageControl.h"

#include <QApplication>
#include <QColor>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

// Sends a wheel turn to the widget under a point of Target, as the platform does.
inline void Wheel(QWidget* target, int delta) {
  const QPoint local(target->width() / 2, target->height() / 2);
  QWidget* under = target->childAt(local) ? target->childAt(local) : target;
  const QPoint at = under->mapFrom(target, local);
  QWheelEvent event(at, under->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(under, &event);
}

// A key press where the platform delivers it: to the focused control, else to the window.
inline void Key(QWidget* window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QWidget* focus = QApplication::focusWidget();
  QTest::keyClick(focus && focus->window() == window ? focus : window, key, modifiers);
}

class ViewerTest : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(FTemp.isValid());
    FPreviousHandler = SetMessageBoxHandler([this](const std::string&, const std::string& text, TMessageBoxIcon) {
      Messages.push_back(text);
    });
  }
  void TearDown() override {
    Window.reset();
    SetMessageBoxHandler(FPreviousHandler);
  }

  std::string Root() const { return FTemp.path().toStdString(); }
  std::string Path(const std::string& relative) const { return Root() + "/" + relative; }
  TProgramFiles Files() const { return TProgramFiles{Path("Tovasel.ini"), Path("data")}; }

  // A BMP picture of one colour, its folders made as needed.
  std::string Picture(const std::string& relative, int width = 40, int height = 30, QColor color = Qt::red) const {
    const std::string path = Path(relative);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    EXPECT_TRUE(image.save(QString::fromStdString(path), "BMP")) << path;
    return path;
  }
  void WriteFile(const std::string& relative, const std::string& content) const {
    std::filesystem::create_directories(std::filesystem::path(Path(relative)).parent_path());
    std::ofstream(Path(relative), std::ios::binary) << content;
  }
  void WriteSettings(const std::string& content) const { WriteFile("Tovasel.ini", content); }
  std::string Settings() const {
    std::ifstream in(Path("Tovasel.ini"), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  // Creates and shows the window with these command-line arguments; the window keeps a size of its own
  // so that fitted sizes are the same on every machine.
  TForm_Tovasel& Start(std::vector<std::string> arguments = {}) {
    if (!std::filesystem::exists(Path("Tovasel.ini")))
      WriteSettings("[form]\ntop=0\nleft=0\nheight=600\nwidth=1000\n");
    Window.reset();  // one window, and one module registry, at a time
    Window = std::make_unique<TForm_Tovasel>(std::move(arguments), Files());
    Window->show();
    Window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(Window.get()));
    return *Window;
  }

  std::vector<std::string> Items() const {
    std::vector<std::string> items;
    for (int i = 0; i < Window->ListBox1->count(); ++i) items.push_back(Window->ListBox1->item(i)->text().toStdString());
    return items;
  }
  std::string Banme() const { return Window->lblBanme->text().toStdString(); }
  std::string Okisa() const { return Window->lblOkisa->text().toStdString(); }
  std::string Filmei() const { return Window->lblFilmei->text().toStdString(); }
  // The colour in the middle of what is on screen.
  QColor ShownColor() const {
    const QImage shown = Window->Image2->grab().toImage();
    return shown.isNull() ? QColor() : shown.pixelColor(shown.width() / 2, shown.height() / 2);
  }

  std::unique_ptr<TForm_Tovasel> Window;
  std::vector<std::string> Messages;

private:
  QTemporaryDir FTemp;
  TMessageBoxHandler FPreviousHandler;
};
