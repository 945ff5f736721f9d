#include "TiffSession.h"

#include "ModuleError.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

namespace tvplugin {

namespace {

// No single block of the library's beyond what the host can take as a picture.
constexpr tmsize_t kLargestAllocation = tmsize_t{1} << 31;

int Quiet(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TOptionsDeleter {
  void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

}  // namespace

TTiffSession::TTiffSession(std::span<const uint8_t> Image) : FImage(Image) {
  const std::unique_ptr<TIFFOpenOptions, TOptionsDeleter> options(TIFFOpenOptionsAlloc());
  if (!options) Fail(SPI_NO_MEMORY);
  TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kLargestAllocation);
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), Quiet, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), Quiet, nullptr);
  FTiff = TIFFClientOpenExt("memory", "r", this, Read, Write, Seek, Close, Size, Map, Unmap, options.get());
  if (FTiff == nullptr) Fail(SPI_BROKEN_DATA);
}

TTiffSession::~TTiffSession() { TIFFClose(FTiff); }

tmsize_t TTiffSession::Read(thandle_t self, void* data, tmsize_t size) {
  auto* session = static_cast<TTiffSession*>(self);
  if (size <= 0 || session->FPosition >= session->FImage.size()) return 0;
  const size_t count = std::min<uint64_t>(static_cast<uint64_t>(size), session->FImage.size() - session->FPosition);
  std::memcpy(data, session->FImage.data() + session->FPosition, count);
  session->FPosition += count;
  return static_cast<tmsize_t>(count);
}

tmsize_t TTiffSession::Write(thandle_t, void*, tmsize_t) { return 0; }

toff_t TTiffSession::Seek(thandle_t self, toff_t offset, int whence) {
  auto* session = static_cast<TTiffSession*>(self);
  uint64_t base = 0;
  if (whence == SEEK_CUR) base = session->FPosition;
  else if (whence == SEEK_END) base = session->FImage.size();
  else if (whence != SEEK_SET) return static_cast<toff_t>(-1);
  uint64_t target;
  if (__builtin_add_overflow(base, offset, &target)) return static_cast<toff_t>(-1);
  session->FPosition = target;
  return target;
}

int TTiffSession::Close(thandle_t) { return 0; }

toff_t TTiffSession::Size(thandle_t self) { return static_cast<TTiffSession*>(self)->FImage.size(); }

// The data is in memory already: the library reads strips from it in place.
int TTiffSession::Map(thandle_t self, void** base, toff_t* size) {
  auto* session = static_cast<TTiffSession*>(self);
  *base = const_cast<uint8_t*>(session->FImage.data());
  *size = session->FImage.size();
  return 1;
}

void TTiffSession::Unmap(thandle_t, void*, toff_t) {}

}  // namespace tvplugin
