// The program entry: one viewer at a time. A second start without a path brings the running viewer to
// the front; a second start with a path closes the running viewer (it saves its settings first) and
// becomes the viewer itself.

#include "Form_Tovasel.h"
#include "TovaselApplication.h"
#include "platform/SingleInstance.h"


#include <string>
#include <vector>

namespace {

constexpr const char* kMutexName = "MyUniqueAppMutex_Tovasel";

int RunViewer(int argc, char** argv, std::vector<std::string> arguments) {
  TTovaselApplication application(argc, argv);
  TForm_Tovasel window(std::move(arguments), TProgramFiles::OfThisProgram());
  TWindowEndpoint endpoint(
      kWindowClassName, [&window] { window.close(); },
      [&window] {
        window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
        window.raise();
        window.activateWindow();
      });
  window.show();
  return application.exec();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  const TNamedMutex mutex(kMutexName);
  if (mutex.Valid() && mutex.AlreadyExisted()) {
    if (!FindWindow(kWindowClassName)) return 0;
    if (arguments.empty()) {
      SetForegroundWindow(kWindowClassName);
      return 0;
    }
    SendCloseMessage(kWindowClassName);
  }
  return RunViewer(argc, argv, std::move(arguments));
}
