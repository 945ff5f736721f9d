#include "ModuleSource.h"

#include "CheckedSize.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tvplugin {

namespace {

// The descriptor is closed on every path.
class TFileDescriptor {
public:
  explicit TFileDescriptor(int fd) : FFd(fd) {}
  ~TFileDescriptor() {
    if (FFd >= 0) close(FFd);
  }
  TFileDescriptor(const TFileDescriptor&) = delete;
  TFileDescriptor& operator=(const TFileDescriptor&) = delete;
  int Get() const { return FFd; }

private:
  int FFd;
};

constexpr uint32_t kSourceMask = 7;

}  // namespace

TModuleSource::TModuleSource(const char* Buf, int32_t Len, uint32_t Flag) {
  switch (Flag & kSourceMask) {
    case SPI_SOURCE_MEMORY:
      if (Len < 0 || (Buf == nullptr && Len > 0)) Fail(SPI_MEMORY_ERROR);
      FBytes = {reinterpret_cast<const uint8_t*>(Buf), static_cast<size_t>(Len)};
      return;
    case SPI_SOURCE_FILE: {
      if (Buf == nullptr || Len < 0) Fail(SPI_FILE_READ_ERROR);
      const TFileDescriptor file(open(Buf, O_RDONLY | O_CLOEXEC));
      struct stat status {};
      if (file.Get() < 0 || fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode)) Fail(SPI_FILE_READ_ERROR);
      const auto fileSize = static_cast<uint64_t>(status.st_size);
      if (static_cast<uint64_t>(Len) > fileSize) Fail(SPI_FILE_READ_ERROR);
      const size_t size = static_cast<size_t>(fileSize - static_cast<uint64_t>(Len));
      FOwned = std::make_unique_for_overwrite<uint8_t[]>(CheckedAdd(size, 1));
      size_t done = 0;
      while (done < size) {
        const ssize_t got = pread(file.Get(), FOwned.get() + done, size - done, static_cast<off_t>(Len + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) Fail(SPI_FILE_READ_ERROR);
        done += static_cast<size_t>(got);
      }
      FBytes = {FOwned.get(), size};
      return;
    }
    default:
      Fail(SPI_NOT_IMPLEMENTED);
  }
}

}  // namespace tvplugin
