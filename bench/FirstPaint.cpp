// The viewer as the program starts it, on PATH, ending as soon as the fitted picture has been painted
// (and, with STEPS above 1, after stepping on STEPS - 1 times, each step painted). Timing the whole
// process gives the time to the first picture, comparable with another viewer told to quit after
// showing its pictures once. STEPS 0 keeps the viewer open after its first picture, as the program
// stays, for timing from outside (tovasel_screen_watch). Usage: tovasel_first_paint PATH [STEPS]

#include "app/Form_Tovasel.h"
#include "app/TovaselApplication.h"
#include "viewer/ImageControl.h"

#include <QEvent>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdlib>
#include <string>

namespace {

// Counts paints of the shown picture that draw something, and ends the program after the last one.
class TPaintWatch : public QObject {
public:
  TPaintWatch(TForm_Tovasel& window, int steps) : FWindow(window), FSteps(steps) {}

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !FWindow.Image2->size().isEmpty() && FWindow.Image1->Picture.Width() > 0) {
      if (++FPainted >= FSteps) QTimer::singleShot(0, qApp, &QCoreApplication::quit);
      else QTimer::singleShot(0, &FWindow, [this] { FWindow.ShowNext(); });
    }
    return QObject::eventFilter(watched, event);
  }

private:
  TForm_Tovasel& FWindow;
  int FSteps;
  int FPainted = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const int steps = argc > 2 ? std::max(0, std::atoi(argv[2])) : 1;
  TTovaselApplication application(argc, argv);
  // A settings file of its own, so that earlier runs change nothing.
  const QTemporaryDir scratch;
  const std::string folder = scratch.path().toStdString();
  TForm_Tovasel window({argv[1]}, TProgramFiles{folder + "/Tovasel.ini", folder});
  TPaintWatch watch(window, steps);
  if (steps > 0) window.Image2->installEventFilter(&watch);
  window.show();
  return application.exec();
}
