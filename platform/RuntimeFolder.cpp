#include "RuntimeFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

bool IsPrivateFolder(const std::string& folder) {
  struct stat info {};
  return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid() &&
         (info.st_mode & 077) == 0;
}

}  // namespace

std::string RuntimeFolder() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/' && IsPrivateFolder(runtime))
    return runtime;
  const std::string folder = "/tmp/tovasel-" + std::to_string(::getuid());
  ::mkdir(folder.c_str(), 0700);
  return IsPrivateFolder(folder) ? folder : "";
}

std::string RuntimeFileName(const std::string& Name) {
  std::string safe;
  for (const char c : Name) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') || byte == '.' ||
        byte == '_' || byte == '-') {
      safe += c;
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof(escaped), "%%%02X", byte);
      safe += escaped;
    }
  }
  // "." and ".." name folders, not files.
  if (safe.empty() || safe == "." || safe == "..") safe = "%" + safe;
  return safe;
}
