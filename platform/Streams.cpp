#include "Streams.h"

#include "Exceptions.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

int64_t TStream::GetSize() {
  const int64_t here = Seek(0, TSeekOrigin::soCurrent);
  const int64_t end = Seek(0, TSeekOrigin::soEnd);
  Seek(here, TSeekOrigin::soBeginning);
  return end;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count < 0 || (count != 0 && Read(buffer, count) != count)) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count < 0 || (count != 0 && Write(buffer, count) != count)) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min<int64_t>(count, 1 << 20)));
  int64_t left = count;
  while (left > 0) {
    const int64_t n = std::min<int64_t>(left, static_cast<int64_t>(buffer.size()));
    source.ReadBuffer(buffer.data(), n);
    WriteBuffer(buffer.data(), n);
    left -= n;
  }
  return count;
}

namespace {

int64_t SeekTarget(int64_t position, int64_t size, int64_t offset, TSeekOrigin origin) {
  int64_t base = 0;
  switch (origin) {
    case TSeekOrigin::soBeginning: base = 0; break;
    case TSeekOrigin::soCurrent: base = position; break;
    case TSeekOrigin::soEnd: base = size; break;
  }
  // Positions before the start clamp to it; past the end is allowed, as on files.
  if (offset < 0 && base < -offset) return 0;
  if (offset > 0 && base > INT64_MAX - offset) return INT64_MAX;
  return base + offset;
}

}  // namespace

int64_t TReadOnlyMemoryStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || FPosition >= FSize) return 0;
  const int64_t n = std::min(count, FSize - FPosition);
  std::memcpy(buffer, FData + FPosition, static_cast<size_t>(n));
  FPosition += n;
  return n;
}

int64_t TReadOnlyMemoryStream::Write(const void*, int64_t) { return 0; }

int64_t TReadOnlyMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  FPosition = SeekTarget(FPosition, FSize, offset, origin);
  return FPosition;
}

void TReadOnlyMemoryStream::SetSize(int64_t) { throw EWriteError("Stream write error"); }

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  const int64_t size = GetSize();
  if (count <= 0 || FPosition >= size) return 0;
  const int64_t n = std::min(count, size - FPosition);
  std::memcpy(buffer, FData.data() + FPosition, static_cast<size_t>(n));
  FPosition += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  const int64_t end = FPosition + count;
  if (end > GetSize()) {
    if (end > static_cast<int64_t>(FData.max_size())) throw EOutOfMemory("Out of memory while expanding memory stream");
    if (static_cast<size_t>(end) > FData.capacity()) FData.reserve(std::max<size_t>(static_cast<size_t>(end), FData.capacity() * 2));
    FData.resize(static_cast<size_t>(end));
  }
  std::memcpy(FData.data() + FPosition, buffer, static_cast<size_t>(count));
  FPosition = end;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  FPosition = SeekTarget(FPosition, GetSize(), offset, origin);
  return FPosition;
}

void TMemoryStream::SetSize(int64_t size) {
  FData.resize(static_cast<size_t>(std::max<int64_t>(size, 0)));
  FPosition = std::min(FPosition, GetSize());
}

void TMemoryStream::Clear() {
  FData.clear();
  FPosition = 0;
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
  TFileStream file(fileName, fmOpenRead);
  const int64_t size = file.Size();
  FData.resize(static_cast<size_t>(size));
  file.ReadBuffer(FData.data(), size);
  FPosition = 0;
}

void TMemoryStream::SaveToFile(const std::string& fileName) {
  TFileStream file(fileName, fmCreate);
  file.WriteBuffer(FData.data(), GetSize());
}

std::vector<uint8_t> TMemoryStream::TakeBytes() {
  std::vector<uint8_t> bytes;
  bytes.swap(FData);
  FPosition = 0;
  return bytes;
}

TFileStream::TFileStream(const std::string& fileName, int mode) : FFileName(fileName) {
  int flags = O_CLOEXEC;
  if (mode == fmCreate) flags |= O_RDWR | O_CREAT | O_TRUNC;
  else if ((mode & 3) == fmOpenWrite) flags |= O_WRONLY;
  else if ((mode & 3) == fmOpenReadWrite) flags |= O_RDWR;
  else flags |= O_RDONLY;
  FHandle = ::open(fileName.c_str(), flags, 0666);
  if (FHandle < 0) {
    const std::string reason = std::strerror(errno);
    if (mode == fmCreate) throw EFCreateError("Cannot create file \"" + fileName + "\". " + reason);
    throw EFOpenError("Cannot open file \"" + fileName + "\". " + reason);
  }
}

TFileStream::~TFileStream() {
  if (FHandle >= 0) ::close(FHandle);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  int64_t done = 0;
  auto* out = static_cast<uint8_t*>(buffer);
  while (done < count) {
    const ssize_t n = ::read(FHandle, out + done, static_cast<size_t>(std::min<int64_t>(count - done, 1 << 30)));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  int64_t done = 0;
  const auto* in = static_cast<const uint8_t*>(buffer);
  while (done < count) {
    const ssize_t n = ::write(FHandle, in + done, static_cast<size_t>(std::min<int64_t>(count - done, 1 << 30)));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET : origin == TSeekOrigin::soCurrent ? SEEK_CUR : SEEK_END;
  const off_t result = ::lseek(FHandle, offset, whence);
  if (result < 0) {
    if (offset < 0) return ::lseek(FHandle, 0, SEEK_SET);
    throw EStreamError("Stream seek error: " + std::string(std::strerror(errno)));
  }
  return result;
}

void TFileStream::SetSize(int64_t size) {
  if (::ftruncate(FHandle, size) != 0) throw EWriteError("Stream write error");
  if (Position() > size) Seek(size, TSeekOrigin::soBeginning);
}
