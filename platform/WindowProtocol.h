#pragma once
// The line protocol between a running window's endpoint and the processes that look for it: one
// request line per connection, one answer line after the request was handled.

#include "RuntimeFolder.h"

#include <string>

namespace window_protocol {

inline constexpr const char* kFind = "find";
inline constexpr const char* kFound = "found";
inline constexpr const char* kClose = "close";
inline constexpr const char* kClosed = "closed";
inline constexpr const char* kForeground = "foreground";
inline constexpr const char* kBroughtToFront = "front";
// Longer lines are no requests of ours.
inline constexpr size_t kMaxLine = 64;

// The socket a window of ClassName listens on, and the lock its endpoint holds while it owns that
// socket; "" when there is no runtime folder.
inline std::string SocketPath(const std::string& ClassName) {
  const std::string folder = RuntimeFolder();
  return folder.empty() ? "" : folder + "/" + RuntimeFileName(ClassName) + ".window";
}
inline std::string OwnerLockPath(const std::string& ClassName) {
  const std::string socket = SocketPath(ClassName);
  return socket.empty() ? "" : socket + ".lock";
}

}  // namespace window_protocol
