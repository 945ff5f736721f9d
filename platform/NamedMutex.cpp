// The named mutex as a lock file: every instance holds a shared lock on it while it runs, so "another
// process holds it" is the moment's truth, also after the first instance has ended. The check and the
// taking of the lock happen under an exclusive gate lock, so two instances that start together cannot
// both find it free.

#include "RuntimeFolder.h"
#include "SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace {

int OpenLockFile(const std::string& path) {
  return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
}

// The gate is held only for a moment by each instance; one that is stopped while holding it must not
// stop the others for ever, so waiting ends after a few seconds.
bool LockGate(int gate) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (::flock(gate, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) return false;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace

TNamedMutex::TNamedMutex(const std::string& Name) {
  const std::string folder = RuntimeFolder();
  if (folder.empty()) return;
  const std::string base = folder + "/" + RuntimeFileName(Name);
  const int gate = OpenLockFile(base + ".gate");
  if (gate < 0) return;
  if (LockGate(gate)) {
    const int descriptor = OpenLockFile(base + ".lock");
    if (descriptor >= 0) {
      // An exclusive lock is granted only when nobody holds a shared one.
      FAlreadyExisted = ::flock(descriptor, LOCK_EX | LOCK_NB) != 0;
      if (::flock(descriptor, LOCK_SH) == 0) FDescriptor = descriptor;
      else ::close(descriptor);
    }
  }
  ::close(gate);
  if (FDescriptor < 0) FAlreadyExisted = false;
}

TNamedMutex::~TNamedMutex() {
  if (FDescriptor >= 0) ::close(FDescriptor);
}
