// The requesting side of the protocol, on plain POSIX sockets: the second instance asks before it has
// an event loop, and a peer that hangs costs it a time-out, never its life.

#include "SingleInstance.h"
#include "WindowProtocol.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

using namespace window_protocol;

namespace {

using TClock = std::chrono::steady_clock;
constexpr auto kConnectTimeout = std::chrono::seconds(3);
constexpr auto kAnswerTimeout = std::chrono::seconds(3);
// Closing writes the settings and may show a message first.
constexpr auto kCloseAnswerTimeout = std::chrono::seconds(30);

enum class TOutcome { NoWindow, Answered, ConnectionEnded, TimedOut };

struct TReply {
  TOutcome Outcome = TOutcome::NoWindow;
  std::string Line;
};

class TDescriptor {
public:
  explicit TDescriptor(int fd) : FFd(fd) {}
  ~TDescriptor() {
    if (FFd >= 0) ::close(FFd);
  }
  TDescriptor(const TDescriptor&) = delete;
  TDescriptor& operator=(const TDescriptor&) = delete;
  int Get() const { return FFd; }

private:
  int FFd;
};

int MillisecondsUntil(TClock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for Events on fd until Deadline; false on time-out or error.
bool WaitFor(int fd, short events, TClock::time_point deadline) {
  for (;;) {
    pollfd waiting{fd, events, 0};
    const int ready = ::poll(&waiting, 1, MillisecondsUntil(deadline));
    if (ready > 0) return true;
    if (ready == 0 || errno != EINTR) return false;
  }
}

bool Connect(int fd, const sockaddr_un& address) {
  const auto deadline = TClock::now() + kConnectTimeout;
  for (;;) {
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0) return true;
    if (errno == EINTR) continue;
    // A full backlog: the window is busy; try again for a while.
    if (errno == EAGAIN && TClock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    return false;
  }
}

TReply Request(const std::string& className, const char* request, TClock::duration answerTimeout) {
  TReply reply;
  const std::string path = SocketPath(className);
  sockaddr_un address{};
  if (path.empty() || path.size() >= sizeof(address.sun_path)) return reply;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const TDescriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (socket.Get() < 0 || !Connect(socket.Get(), address)) return reply;

  reply.Outcome = TOutcome::TimedOut;
  const std::string line = std::string(request) + "\n";
  const auto sendDeadline = TClock::now() + kAnswerTimeout;
  for (size_t sent = 0; sent < line.size();) {
    if (!WaitFor(socket.Get(), POLLOUT, sendDeadline)) return reply;
    const ssize_t n = ::send(socket.Get(), line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) return {TOutcome::ConnectionEnded, ""};
    sent += static_cast<size_t>(n);
  }

  const auto deadline = TClock::now() + answerTimeout;
  std::string received;
  while (received.find('\n') == std::string::npos && received.size() <= kMaxLine) {
    if (!WaitFor(socket.Get(), POLLIN, deadline)) return reply;
    char buffer[kMaxLine];
    const ssize_t n = ::recv(socket.Get(), buffer, sizeof(buffer), 0);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) return {TOutcome::ConnectionEnded, ""};
    received.append(buffer, static_cast<size_t>(n));
  }
  const size_t end = received.find('\n');
  if (end == std::string::npos) return {TOutcome::ConnectionEnded, ""};
  return {TOutcome::Answered, received.substr(0, end)};
}

}  // namespace

bool FindWindow(const std::string& ClassName) {
  const TReply reply = Request(ClassName, kFind, kAnswerTimeout);
  return reply.Outcome == TOutcome::Answered && reply.Line == kFound;
}

bool SendCloseMessage(const std::string& ClassName) {
  const TReply reply = Request(ClassName, kClose, kCloseAnswerTimeout);
  // A window that went while handling the request has handled it.
  return (reply.Outcome == TOutcome::Answered && reply.Line == kClosed) || reply.Outcome == TOutcome::ConnectionEnded;
}

bool SetForegroundWindow(const std::string& ClassName) {
  const TReply reply = Request(ClassName, kForeground, kAnswerTimeout);
  return reply.Outcome == TOutcome::Answered && reply.Line == kBroughtToFront;
}
