#include "ZipFile.h"

#include "Deflate64.h"
#include "ZipLayout.h"
#include "ZipNames.h"

#include <zip.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint16_t kMethodDeflate64 = 9;
constexpr size_t kChunk = 1 << 16;

// One entry as the viewer sees it.
struct TEntry {
  std::string Name;  // decoded
  zip_uint64_t Index;
};

// The parts of a name: refused when it would lead outside the target folder.
std::vector<std::string> SafeParts(const std::string& name) {
  if (name.empty() || name[0] == '/') throw EZipException("TZipFile.Extract: Unsafe entry name: " + name);
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= name.size()) {
    const size_t end = std::min(name.find('/', start), name.size());
    const std::string part = name.substr(start, end - start);
    if (part == "..") throw EZipException("TZipFile.Extract: Unsafe entry name: " + name);
    if (!part.empty() && part != ".") parts.push_back(part);
    start = end + 1;
  }
  return parts;
}

bool IsLink(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

// Creates folder/part1/part2... one by one, refusing to pass through a symbolic link.
std::string MakeFolders(const std::string& folder, const std::vector<std::string>& parts, size_t count,
                        const std::string& name) {
  std::string path = folder;
  std::error_code error;
  std::filesystem::create_directories(path, error);
  if (error) throw EZipException("TZipFile.Extract: Cannot create the folder " + path + ": " + error.message());
  for (size_t i = 0; i < count; ++i) {
    path += "/" + parts[i];
    if (IsLink(path)) throw EZipException("TZipFile.Extract: Unsafe entry name (through a link): " + name);
    if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST)
      throw EZipException("TZipFile.Extract: Cannot create the folder " + path + ": " + std::strerror(errno));
  }
  return path;
}

// A file being written under a temporary name beside its target; gone again unless committed.
class TPartialFile {
public:
  explicit TPartialFile(const std::string& target) : FTarget(target), FTemporary(target + ".partial-XXXXXX") {
    FDescriptor = ::mkstemp(FTemporary.data());
    if (FDescriptor < 0) throw EZipException("TZipFile.Extract: Cannot create " + target + ": " + std::strerror(errno));
  }
  ~TPartialFile() {
    if (FDescriptor >= 0) ::close(FDescriptor);
    if (!FCommitted) ::unlink(FTemporary.c_str());
  }
  void Write(const uint8_t* data, size_t size) {
    while (size) {
      const ssize_t written = ::write(FDescriptor, data, size);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) throw EZipException("TZipFile.Extract: Cannot write " + FTarget + ": " + std::strerror(errno));
      data += written;
      size -= static_cast<size_t>(written);
    }
  }
  void Commit() {
    ::fchmod(FDescriptor, 0644);
    const int result = ::close(FDescriptor);
    FDescriptor = -1;
    if (result != 0 || ::rename(FTemporary.c_str(), FTarget.c_str()) != 0)
      throw EZipException("TZipFile.Extract: Cannot write " + FTarget + ": " + std::strerror(errno));
    FCommitted = true;
  }

private:
  std::string FTarget;
  std::string FTemporary;
  int FDescriptor = -1;
  bool FCommitted = false;
};

struct TZipFileCloser {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
};

}  // namespace

struct TZipFile::TImpl {
  zip_t* Archive = nullptr;
  std::string FileName;
  std::vector<TEntry> Entries;
};

TZipFile::TZipFile() : FImpl(std::make_unique<TImpl>()) {}

TZipFile::~TZipFile() { Close(); }

void TZipFile::Open(const std::string& FileName, TZipMode) {
  Close();
  // The layout first: an archive whose entries share their data is refused before anything is read.
  const int fd = ::open(FileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw EZipException("TZipFile.Open: Cannot open " + FileName + ": " + std::strerror(errno));
  const std::optional<TZipLayout> layout = ReadZipLayout(fd);
  ::close(fd);
  if (!layout) throw EZipException("TZipFile.Open: Not a ZIP file: " + FileName);
  const TZipOverlapReport overlap = FindZipOverlap(*layout);
  if (overlap.Kind != TZipOverlap::zoNone)
    throw EZipException("TZipFile.Open: The entries of " + FileName + " overlap one another; it is refused");

  int error = 0;
  zip_t* archive = zip_open(FileName.c_str(), ZIP_RDONLY, &error);
  if (!archive) {
    zip_error_t details;
    zip_error_init_with_code(&details, error);
    const std::string text = zip_error_strerror(&details);
    zip_error_fini(&details);
    throw EZipException("TZipFile.Open: Cannot open " + FileName + ": " + text);
  }
  FImpl->Archive = archive;
  FImpl->FileName = FileName;
  TZipNameDecoder decoder;
  const zip_int64_t count = zip_get_num_entries(archive, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    const char* raw = zip_get_name(archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
    FImpl->Entries.push_back(TEntry{raw ? decoder.Decode(raw) : std::string(), static_cast<zip_uint64_t>(i)});
  }
}

void TZipFile::Close() {
  if (FImpl->Archive) zip_discard(FImpl->Archive);
  FImpl->Archive = nullptr;
  FImpl->Entries.clear();
}

int TZipFile::FileCount() const { return static_cast<int>(FImpl->Entries.size()); }

std::string TZipFile::FileName(int Index) const {
  if (Index < 0 || Index >= FileCount()) throw EZipException("TZipFile.FileName: Index out of range");
  return FImpl->Entries[static_cast<size_t>(Index)].Name;
}

void TZipFile::Extract(const std::string& FileName, const std::string& Path, bool CreateSubdirs) {
  if (!FImpl->Archive) throw EZipException("TZipFile.Extract: No archive is open");
  const TEntry* entry = nullptr;
  for (const TEntry& e : FImpl->Entries)
    if (e.Name == FileName) {
      entry = &e;
      break;
    }
  if (!entry) throw EZipException("TZipFile.Extract: No entry named " + FileName + " in " + FImpl->FileName);

  const std::vector<std::string> parts = SafeParts(FileName);
  const bool isFolder = FileName.back() == '/';
  if (isFolder) {
    if (CreateSubdirs) MakeFolders(Path, parts, parts.size(), FileName);
    return;
  }
  if (parts.empty()) throw EZipException("TZipFile.Extract: Unsafe entry name: " + FileName);
  const std::string folder = CreateSubdirs ? MakeFolders(Path, parts, parts.size() - 1, FileName) : MakeFolders(Path, parts, 0, FileName);
  const std::string target = folder + "/" + parts.back();
  if (IsLink(target)) throw EZipException("TZipFile.Extract: Unsafe entry name (through a link): " + FileName);

  zip_stat_t stat;
  zip_stat_init(&stat);
  if (zip_stat_index(FImpl->Archive, entry->Index, 0, &stat) != 0)
    throw EZipException("TZipFile.Extract: Cannot read the entry " + FileName);
  const uint64_t size = stat.size;
  struct statvfs disk {};
  if (::statvfs(folder.c_str(), &disk) == 0 && size > static_cast<uint64_t>(disk.f_bavail) * disk.f_frsize)
    throw EZipException("TZipFile.Extract: Not enough free space for " + FileName + " (" + std::to_string(size) + " bytes)");

  const bool deflate64 = stat.comp_method == kMethodDeflate64;
  if (!deflate64 && stat.comp_method != ZIP_CM_STORE && stat.comp_method != ZIP_CM_DEFLATE)
    throw EZipException("TZipFile.Extract: Unsupported compression method " + std::to_string(stat.comp_method) +
                        " of " + FileName);
  std::unique_ptr<zip_file_t, TZipFileCloser> file(
      zip_fopen_index(FImpl->Archive, entry->Index, deflate64 ? ZIP_FL_COMPRESSED : 0));
  if (!file) throw EZipException("TZipFile.Extract: Cannot read the entry " + FileName + ": " + zip_strerror(FImpl->Archive));

  TPartialFile out(target);
  const auto damaged = [&FileName] { return EZipException("TZipFile.Extract: Damaged data in " + FileName); };
  uLong crc = crc32(0, nullptr, 0);
  uint64_t produced = 0;
  const auto take = [&](const uint8_t* data, size_t count) {
    if (count > size - produced) throw damaged();  // never more than the entry says it holds
    produced += count;
    crc = crc32(crc, data, static_cast<uInt>(count));
    out.Write(data, count);
  };
  if (deflate64) {
    try {
      Deflate64Decode(
          [&](uint8_t* buffer, size_t capacity) {
            const zip_int64_t got = zip_fread(file.get(), buffer, capacity);
            if (got < 0) throw damaged();
            return static_cast<size_t>(got);
          },
          take, size);
    } catch (const EDeflate64Error&) {
      throw damaged();
    }
  } else {
    std::vector<uint8_t> buffer(kChunk);
    for (;;) {
      const zip_int64_t got = zip_fread(file.get(), buffer.data(), buffer.size());
      if (got < 0) throw EZipException("TZipFile.Extract: Damaged data in " + FileName + ": " + zip_file_strerror(file.get()));
      if (got == 0) break;
      take(buffer.data(), static_cast<size_t>(got));
    }
  }
  if (produced != size || ((stat.valid & ZIP_STAT_CRC) && crc != stat.crc))
    throw EZipException("TZipFile.Extract: Damaged data in " + FileName + " (CRC or size differs)");
  out.Commit();
}
