#include "FileMapping.h"

#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// munmap wants the length; a view is known by its address alone.
std::mutex& ViewsMutex() {
  static std::mutex mutex;
  return mutex;
}

std::map<void*, size_t>& Views() {
  static std::map<void*, size_t> views;
  return views;
}

size_t MappedLength(size_t size) { return size ? size : 1; }

}  // namespace

HANDLE CreateFileMapping(size_t size) {
  int fd = ::memfd_create("tovasel-mapping", MFD_CLOEXEC);
  if (fd < 0) return 0;
  if (fd == 0) {  // descriptor 0 would read as "no mapping"
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 1);
    ::close(fd);
    if (moved < 0) return 0;
    fd = moved;
  }
  if (::ftruncate(fd, static_cast<off_t>(MappedLength(size))) != 0) {
    ::close(fd);
    return 0;
  }
  return static_cast<HANDLE>(fd);
}

void* MapViewOfFile(HANDLE mapping, size_t size) {
  if (mapping == 0) return nullptr;
  void* view = ::mmap(nullptr, MappedLength(size), PROT_READ | PROT_WRITE, MAP_SHARED, static_cast<int>(mapping), 0);
  if (view == MAP_FAILED) return nullptr;
  std::lock_guard lock(ViewsMutex());
  Views()[view] = MappedLength(size);
  return view;
}

bool UnmapViewOfFile(void* view) {
  size_t length;
  {
    std::lock_guard lock(ViewsMutex());
    auto it = Views().find(view);
    if (it == Views().end()) return false;
    length = it->second;
    Views().erase(it);
  }
  return ::munmap(view, length) == 0;
}

bool CloseHandle(HANDLE mapping) { return mapping != 0 && ::close(static_cast<int>(mapping)) == 0; }

size_t LiveFileMappingViews() {
  std::lock_guard lock(ViewsMutex());
  return Views().size();
}
