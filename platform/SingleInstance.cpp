#include "SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

bool PrivateFolder(const std::string& folder) {
  struct stat info {};
  return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid() &&
         (info.st_mode & 077) == 0;
}

// The user's runtime folder: $XDG_RUNTIME_DIR, else a private folder of our own under /tmp; "" when
// neither can be had safely.
std::string RuntimeFolder() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/' && PrivateFolder(runtime))
    return runtime;
  const std::string folder = "/tmp/tovasel-" + std::to_string(::getuid());
  ::mkdir(folder.c_str(), 0700);
  return PrivateFolder(folder) ? folder : "";
}

std::string SocketPath(const std::string& className) {
  const std::string folder = RuntimeFolder();
  return folder.empty() ? "" : folder + "/" + className + ".socket";
}

// Sends one request line and waits for the answer "ok"; false when nobody answers in time.
bool Request(const std::string& className, const char* request, int timeoutMs) {
  const std::string path = SocketPath(className);
  sockaddr_un address{};
  if (path.empty() || path.size() >= sizeof(address.sun_path)) return false;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  bool answered = false;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0) {
    const std::string line = std::string(request) + "\n";
    if (::send(fd, line.data(), line.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(line.size())) {
      std::string reply;
      pollfd waiting{fd, POLLIN, 0};
      char buffer[16];
      while (reply.find('\n') == std::string::npos && ::poll(&waiting, 1, timeoutMs) > 0) {
        const ssize_t got = ::recv(fd, buffer, sizeof(buffer), 0);
        if (got <= 0) break;
        reply.append(buffer, static_cast<size_t>(got));
      }
      answered = reply == "ok\n";
    }
  }
  ::close(fd);
  return answered;
}

}  // namespace

TNamedMutex::TNamedMutex(const std::string& Name) {
  const std::string folder = RuntimeFolder();
  if (folder.empty()) return;
  // Every instance checks and takes the mutex under the gate, so two that start together cannot both
  // see it free.
  const int gate = ::open((folder + "/" + Name + ".gate").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (gate < 0) return;
  ::flock(gate, LOCK_EX);
  const int fd = ::open((folder + "/" + Name + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd >= 0) {
    FAlreadyExisted = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    // Every holder keeps a shared lock, so the mutex exists while any instance runs.
    if (::flock(fd, LOCK_SH) == 0)
      FDescriptor = fd;
    else
      ::close(fd);
  }
  ::flock(gate, LOCK_UN);
  ::close(gate);
}

TNamedMutex::~TNamedMutex() {
  if (FDescriptor >= 0) ::close(FDescriptor);
}

struct TWindowEndpoint::TImpl {
  QLocalServer Server;
  std::function<void()> OnClose;
  std::function<void()> OnForeground;

  void Serve(QLocalSocket* socket) {
    QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
      if (!socket->canReadLine()) return;
      const QByteArray request = socket->readLine().trimmed();
      if (request == "close" && OnClose) OnClose();
      if (request == "front" && OnForeground) OnForeground();
      // The answer comes after the request was handled: a closing window has saved its settings.
      socket->write("ok\n");
      socket->waitForBytesWritten(1000);
      socket->disconnectFromServer();
    });
  }
};

TWindowEndpoint::TWindowEndpoint(const std::string& ClassName, std::function<void()> OnClose,
                                 std::function<void()> OnForeground)
    : FImpl(std::make_unique<TImpl>()) {
  FImpl->OnClose = std::move(OnClose);
  FImpl->OnForeground = std::move(OnForeground);
  const std::string path = SocketPath(ClassName);
  if (path.empty()) return;
  FImpl->Server.setSocketOptions(QLocalServer::UserAccessOption);
  // A socket file left by a process that has gone is replaced.
  QLocalServer::removeServer(QString::fromStdString(path));
  QObject::connect(&FImpl->Server, &QLocalServer::newConnection, &FImpl->Server, [impl = FImpl.get()] {
    while (QLocalSocket* socket = impl->Server.nextPendingConnection()) impl->Serve(socket);
  });
  FImpl->Server.listen(QString::fromStdString(path));
}

TWindowEndpoint::~TWindowEndpoint() = default;

bool TWindowEndpoint::Listening() const { return FImpl->Server.isListening(); }

bool FindWindow(const std::string& ClassName) { return Request(ClassName, "ping", 3000); }

bool SendCloseMessage(const std::string& ClassName) { return Request(ClassName, "close", 30000); }

bool SetForegroundWindow(const std::string& ClassName) { return Request(ClassName, "front", 3000); }
