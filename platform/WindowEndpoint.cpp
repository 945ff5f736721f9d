// The running window's side of the protocol, on Qt's local server. The endpoint owns its socket file
// while it holds the owner lock, so a file found at start belongs to a process that has ended and is
// replaced, and the file removed at the end is never another window's.

#include "SingleInstance.h"
#include "WindowProtocol.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <vector>

using namespace window_protocol;

struct TWindowEndpoint::TImpl {
  QLocalServer Server;
  int OwnerLock = -1;
  std::function<void()> OnClose;
  std::function<void()> OnForeground;
  bool Closing = false;
  bool Closed = false;
  std::vector<QPointer<QLocalSocket>> WaitingForClose;
  // Cleared when the endpoint goes, which OnClose may bring about.
  std::shared_ptr<bool> Alive = std::make_shared<bool>(true);

  ~TImpl() {
    *Alive = false;
    StopListening();
  }

  void StopListening() {
    Server.close();
    if (OwnerLock >= 0) ::close(OwnerLock);
    OwnerLock = -1;
  }

  static void Answer(const QPointer<QLocalSocket>& socket, const char* answer) {
    if (!socket) return;
    socket->write(QByteArray(answer) + '\n');
    socket->waitForBytesWritten(1000);
    socket->disconnectFromServer();
  }

  void Accept(QLocalSocket* socket) {
    QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
      if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > static_cast<qint64>(kMaxLine)) socket->abort();
        return;
      }
      const QByteArray request = socket->readLine(kMaxLine + 1).trimmed();
      QObject::disconnect(socket, &QLocalSocket::readyRead, nullptr, nullptr);
      // Handled from the event loop, not inside the socket's own signal: OnClose may run a dialog of
      // its own, during which this socket can go.
      QMetaObject::invokeMethod(
          &Server, [this, request, peer = QPointer<QLocalSocket>(socket)] { Handle(request, peer); }, Qt::QueuedConnection);
    });
  }

  void Handle(const QByteArray& request, const QPointer<QLocalSocket>& peer) {
    if (request == kFind) {
      Answer(peer, kFound);
    } else if (request == kForeground) {
      const std::shared_ptr<bool> alive = Alive;
      if (const std::function<void()> handler = OnForeground) handler();
      if (*alive) Answer(peer, kBroughtToFront);
    } else if (request == kClose) {
      HandleClose(peer);
    } else if (peer) {
      peer->abort();
    }
  }

  void HandleClose(const QPointer<QLocalSocket>& peer) {
    if (Closed) return Answer(peer, kClosed);
    WaitingForClose.push_back(peer);
    // A second request during the first one's handling is answered with it.
    if (Closing) return;
    Closing = true;
    const std::shared_ptr<bool> alive = Alive;
    if (const std::function<void()> handler = OnClose) handler();
    if (!*alive) return;  // the window went with its endpoint: the requesters see the connection end
    Closing = false;
    Closed = true;
    // The window is on its way out: the next window of its class may take the name at once.
    StopListening();
    for (const QPointer<QLocalSocket>& waiting : std::exchange(WaitingForClose, {})) Answer(waiting, kClosed);
  }
};

TWindowEndpoint::TWindowEndpoint(const std::string& ClassName, std::function<void()> OnClose,
                                 std::function<void()> OnForeground)
    : FImpl(std::make_unique<TImpl>()) {
  FImpl->OnClose = std::move(OnClose);
  FImpl->OnForeground = std::move(OnForeground);
  const std::string socketPath = SocketPath(ClassName);
  if (socketPath.empty()) return;
  FImpl->OwnerLock = ::open(OwnerLockPath(ClassName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (FImpl->OwnerLock < 0) return;
  if (::flock(FImpl->OwnerLock, LOCK_EX | LOCK_NB) != 0) {
    // A live window of this class owns the name.
    FImpl->StopListening();
    return;
  }
  QObject::connect(&FImpl->Server, &QLocalServer::newConnection, &FImpl->Server, [impl = FImpl.get()] {
    while (QLocalSocket* socket = impl->Server.nextPendingConnection()) impl->Accept(socket);
  });
  FImpl->Server.setSocketOptions(QLocalServer::UserAccessOption);
  const QString name = QString::fromStdString(socketPath);
  QLocalServer::removeServer(name);
  if (!FImpl->Server.listen(name)) FImpl->StopListening();
}

TWindowEndpoint::~TWindowEndpoint() = default;

bool TWindowEndpoint::Listening() const { return FImpl->Server.isListening(); }
