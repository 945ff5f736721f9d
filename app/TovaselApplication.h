#pragma once
// The application object: the one place where an error that escapes an event handler is caught and
// reported to the user with its message, so no exception ever crosses the event loop. It also points
// the platform's message boxes at real dialogs and makes the Japanese texts readable.

#include <QApplication>

class TTovaselApplication : public QApplication {
public:
  TTovaselApplication(int& argc, char** argv);
  ~TTovaselApplication() override;

  bool notify(QObject* Receiver, QEvent* Event) override;

  // The default error report: a message box with the error's text.
  static void ShowError(const std::string& Text);

private:
  static void KeepPictureBlocksForReuse();
  void LoadTranslations();
  void UseJapaneseFont();
};
