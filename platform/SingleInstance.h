#pragma once
// What a single-instance program needs of its platform: a named mutex that exists while any instance
// holds it, and a running window that another process can find by its class name, ask to close (the
// answer comes only after the window has handled the request) and bring to the front. Both live in the
// user's runtime folder ($XDG_RUNTIME_DIR, else a private folder under /tmp named after the user id),
// so the instances of two users never see each other.

#include <functional>
#include <memory>
#include <string>

// A named mutex after CreateMutex: made or opened on construction, held until destruction.
class TNamedMutex {
public:
  explicit TNamedMutex(const std::string& Name);
  ~TNamedMutex();
  TNamedMutex(const TNamedMutex&) = delete;
  TNamedMutex& operator=(const TNamedMutex&) = delete;

  // False when the mutex could not be made at all (the program then runs unprotected).
  bool Valid() const { return FDescriptor >= 0; }
  // True when another process held the mutex at the moment this one opened it.
  bool AlreadyExisted() const { return FAlreadyExisted; }

private:
  int FDescriptor = -1;
  bool FAlreadyExisted = false;
};

// The running window's side: listens under ClassName while it lives. OnClose runs for a close request
// and the requester gets its answer after OnClose has returned; OnForeground runs for a bring-to-front
// request. Both run on the thread that owns the Qt event loop, from the loop itself. Needs a
// QCoreApplication. Once a close request has been handled the endpoint stops listening (its window is on
// its way out), so the next window of the class can take the name at once. A socket left by an ended
// process is replaced; a live window's is not, and Listening() is then false. OnClose may destroy the
// endpoint: the requester then sees the connection end, which counts as handled.
class TWindowEndpoint {
public:
  TWindowEndpoint(const std::string& ClassName, std::function<void()> OnClose, std::function<void()> OnForeground);
  ~TWindowEndpoint();
  bool Listening() const;

private:
  struct TImpl;
  std::unique_ptr<TImpl> FImpl;
};

// The other process's side. FindWindow: true when a window of ClassName answers. SendCloseMessage blocks
// until the window has handled the close request (or has gone); false when no window answered.
// SetForegroundWindow asks the window to come to the front; false when no window answered. Connecting
// gives up after 3 s, the answer after 3 s (30 s for the close, which may wait on a message box), so a
// hung window cannot hang the asking process.
bool FindWindow(const std::string& ClassName);
bool SendCloseMessage(const std::string& ClassName);
bool SetForegroundWindow(const std::string& ClassName);
