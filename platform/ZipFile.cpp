#include "ZipFile.h"

#include "Deflate64.h"
#include "ZipLayout.h"
#include "ZipNames.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <zip.h>
#include <zlib.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

constexpr uint16_t kStored = 0;
constexpr uint16_t kDeflated = 8;
constexpr uint16_t kDeflate64 = 9;
constexpr size_t kChunk = 256 * 1024;

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string LibzipMessage(int code) {
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  std::string message = zip_error_strerror(&error);
  zip_error_fini(&error);
  return message;
}

// A descriptor closed on every path.
class TDescriptor {
public:
  explicit TDescriptor(int fd = -1) : FFd(fd) {}
  ~TDescriptor() {
    if (FFd >= 0) close(FFd);
  }
  TDescriptor(const TDescriptor&) = delete;
  TDescriptor& operator=(const TDescriptor&) = delete;
  TDescriptor(TDescriptor&& other) noexcept : FFd(std::exchange(other.FFd, -1)) {}
  TDescriptor& operator=(TDescriptor&& other) noexcept {
    std::swap(FFd, other.FFd);
    return *this;
  }
  int Get() const { return FFd; }
  int Release() { return std::exchange(FFd, -1); }

private:
  int FFd;
};

// The parts of an entry name that name folders and the file below the target folder.
struct TEntryPath {
  std::vector<std::string> Folders;
  std::string File;  // empty for a folder entry
};

std::string JoinPath(const std::string& base, const std::vector<std::string>& parts, size_t count) {
  std::string path = base;
  for (size_t i = 0; i < count; ++i) path += "/" + parts[i];
  return path;
}

}  // namespace

struct TZipFile::TImpl {
  zip_t* Archive = nullptr;
  std::string ArchiveName;
  std::vector<std::string> Names;
  std::unordered_map<std::string, zip_uint64_t> FirstByName;
  TZipLayout Layout;

  ~TImpl() { Close(); }

  void Close() {
    if (Archive) zip_discard(Archive);  // read-only: nothing to write back
    Archive = nullptr;
    Names.clear();
    FirstByName.clear();
    Layout = {};
  }

  [[noreturn]] void FailOpen(const std::string& what) const {
    throw EZipException("TZipFile.Open: " + Quoted(ArchiveName) + " " + what);
  }

  void Open(const std::string& fileName) {
    ArchiveName = fileName;
    TDescriptor file(open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.Get() < 0) FailOpen(std::string("cannot be opened: ") + std::strerror(errno));
    int code = 0;
    Archive = zip_open(fileName.c_str(), ZIP_RDONLY, &code);
    if (!Archive) FailOpen("cannot be read as a ZIP file: " + LibzipMessage(code));
    try {
      ReadEntries(file.Get());
    } catch (...) {
      Close();
      throw;
    }
  }

  void ReadEntries(int fd) {
    const zip_int64_t count = zip_get_num_entries(Archive, 0);
    std::optional<TZipLayout> layout = ReadZipLayout(fd);
    if (!layout || layout->Entries.size() != static_cast<uint64_t>(count))
      FailOpen("is damaged: its central directory cannot be read");
    Layout = std::move(*layout);
    TZipNameDecoder decoder;
    Names.reserve(static_cast<size_t>(count));
    for (zip_int64_t i = 0; i < count; ++i) {
      const auto index = static_cast<zip_uint64_t>(i);
      const char* raw = zip_get_name(Archive, index, ZIP_FL_ENC_RAW);
      zip_stat_t stat;
      const TZipEntryLayout& entry = Layout.Entries[index];
      // libzip and our reading of the directory must see the same entries, or the overlap check
      // below would be about some other archive.
      if (!raw || zip_stat_index(Archive, index, 0, &stat) != 0 || stat.comp_size != entry.CompressedSize ||
          stat.size != entry.Size || stat.crc != entry.Crc || stat.comp_method != entry.Method)
        FailOpen("is damaged: its central directory is inconsistent");
      Names.push_back(decoder.Decode(raw));
      FirstByName.emplace(Names.back(), index);  // the first entry of a name wins
    }
    const TZipOverlapReport overlap = FindZipOverlap(Layout);
    if (overlap.Kind == TZipOverlap::zoEntries)
      FailOpen("is refused: its entries " + Quoted(Names[overlap.First]) + " and " + Quoted(Names[overlap.Second]) +
               " overlap (a zip bomb)");
    if (overlap.Kind == TZipOverlap::zoDirectory)
      FailOpen("is damaged: the data of entry " + Quoted(Names[overlap.First]) + " runs into its central directory");
  }
};

namespace {

// One extraction: the entry, where it goes, and the checks on the way.
class TExtraction {
public:
  TExtraction(zip_t* archive, zip_uint64_t index, const std::string& name, const std::string& archiveName,
              const std::string& path)
      : FArchive(archive), FIndex(index), FName(name), FArchiveName(archiveName), FPath(path) {}

  [[noreturn]] void Fail(const std::string& what) const {
    throw EZipException("TZipFile.Extract: entry " + Quoted(FName) + " of " + Quoted(FArchiveName) + ": " + what);
  }

  TEntryPath SplitName(bool createSubdirs) const {
    if (FName.empty()) Fail("the name is empty");
    if (FName.front() == '/') Fail("the name is absolute; nothing is written outside " + Quoted(FPath));
    TEntryPath result;
    std::vector<std::string> parts;
    for (size_t start = 0; start <= FName.size();) {
      const size_t slash = std::min(FName.find('/', start), FName.size());
      const std::string part = FName.substr(start, slash - start);
      if (part == "..") Fail("the name leads out of its folder (\"..\"); nothing is written outside " + Quoted(FPath));
      if (!part.empty() && part != ".") parts.push_back(part);
      start = slash + 1;
    }
    const bool folderEntry = FName.back() == '/';
    if (!folderEntry) {
      if (parts.empty()) Fail("the name has no file name");
      result.File = parts.back();
      parts.pop_back();
    }
    if (createSubdirs) result.Folders = std::move(parts);
    return result;
  }

  // Opens the target folder and the entry's folders below it, creating what is missing. No folder
  // below the target may be a symbolic link: the entry would land wherever it points.
  TDescriptor OpenFolder(const TEntryPath& entryPath) const {
    std::error_code error;
    std::filesystem::create_directories(FPath, error);
    TDescriptor folder(open(FPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Get() < 0) Fail("cannot open the folder " + Quoted(FPath) + ": " + std::strerror(errno));
    for (size_t i = 0; i < entryPath.Folders.size(); ++i) {
      const std::string& part = entryPath.Folders[i];
      if (mkdirat(folder.Get(), part.c_str(), 0777) != 0 && errno != EEXIST)
        Fail("cannot create the folder " + Quoted(JoinPath(FPath, entryPath.Folders, i + 1)) + ": " +
             std::strerror(errno));
      TDescriptor next(openat(folder.Get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
      if (next.Get() < 0) {
        const int openError = errno;
        struct stat info;
        if (fstatat(folder.Get(), part.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode))
          Fail(Quoted(JoinPath(FPath, entryPath.Folders, i + 1)) +
               " is a symbolic link; nothing is written through it");
        Fail("cannot open the folder " + Quoted(JoinPath(FPath, entryPath.Folders, i + 1)) + ": " +
             std::strerror(openError));
      }
      folder = std::move(next);
    }
    return folder;
  }

  void CheckFreeSpace(int folder, uint64_t size) const {
    struct statvfs disk;
    if (fstatvfs(folder, &disk) != 0) return;  // nothing known to refuse with; writing will tell
    const uint64_t available = static_cast<uint64_t>(disk.f_bavail) * disk.f_frsize;
    if (size > available)
      Fail("it needs " + std::to_string(size) + " bytes, but the disk of " + Quoted(FPath) + " has only " +
           std::to_string(available) + " bytes free");
  }

  // Writes the entry's data to a new file in folder under a temporary name and returns that name;
  // the caller renames it into place once everything checked out.
  void WriteData(int out, uint64_t size, uint32_t crc, uint16_t method) {
    FOut = out;
    FLimit = size;
    if (method == kDeflate64)
      DecodeDeflate64();
    else
      CopyThroughLibzip();
    if (FWritten != size)
      Fail("the data is shorter than its declared size of " + std::to_string(size) + " bytes (damaged data)");
    if (FCrc != crc) Fail("CRC mismatch (damaged data)");
  }

  const std::string& Path() const { return FPath; }

private:
  void Write(const uint8_t* data, size_t size) {
    if (size > FLimit - FWritten)
      Fail("the data is longer than its declared size of " + std::to_string(FLimit) + " bytes (damaged data)");
    FCrc = static_cast<uint32_t>(crc32_z(FCrc, data, size));
    while (size) {
      const ssize_t n = write(FOut, data, size);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) Fail("cannot write to " + Quoted(FPath) + ": " + std::strerror(errno));
      data += n;
      size -= static_cast<size_t>(n);
      FWritten += static_cast<uint64_t>(n);
    }
  }

  struct TZipFileCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
  };
  using TEntryReader = std::unique_ptr<zip_file_t, TZipFileCloser>;

  TEntryReader OpenEntry(zip_flags_t flags) const {
    TEntryReader reader(zip_fopen_index(FArchive, FIndex, flags));
    if (!reader) Fail("cannot be read: " + std::string(zip_strerror(FArchive)));
    return reader;
  }

  void CopyThroughLibzip() {
    const TEntryReader reader = OpenEntry(0);
    std::vector<uint8_t> buffer(kChunk);
    for (;;) {
      const zip_int64_t n = zip_fread(reader.get(), buffer.data(), buffer.size());
      if (n < 0) Fail("the data is damaged (" + std::string(zip_file_strerror(reader.get())) + ")");
      if (n == 0) break;
      Write(buffer.data(), static_cast<size_t>(n));
    }
  }

  void DecodeDeflate64() {
    const TEntryReader reader = OpenEntry(ZIP_FL_COMPRESSED);
    const TDeflate64Source source = [&](uint8_t* buffer, size_t size) -> size_t {
      const zip_int64_t n = zip_fread(reader.get(), buffer, size);
      if (n < 0) Fail("the data cannot be read (" + std::string(zip_file_strerror(reader.get())) + ")");
      return static_cast<size_t>(n);
    };
    const TDeflate64Sink sink = [&](const uint8_t* data, size_t size) { Write(data, size); };
    try {
      Deflate64Decode(source, sink, FLimit);
    } catch (const EDeflate64Error& error) {
      // The decoder stops before passing the limit; say so in the words of the other methods.
      if (std::strstr(error.what(), "more data than declared"))
        Fail("the data is longer than its declared size of " + std::to_string(FLimit) + " bytes (damaged data)");
      Fail("the data is damaged (" + error.Message() + ")");
    }
  }

  zip_t* FArchive;
  zip_uint64_t FIndex;
  const std::string& FName;
  const std::string& FArchiveName;
  const std::string& FPath;
  int FOut = -1;
  uint64_t FLimit = 0;
  uint64_t FWritten = 0;
  uint32_t FCrc = 0;
};

// A fresh name in folder that no entry is likely to have; O_EXCL settles any clash.
TDescriptor CreateTemporary(int folder, std::string& name) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = ".tovasel-extract-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
    TDescriptor file(openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (file.Get() >= 0 || errno != EEXIST) return file;
  }
  errno = EEXIST;
  return TDescriptor();
}

}  // namespace

TZipFile::TZipFile() : FImpl(std::make_unique<TImpl>()) {}
TZipFile::~TZipFile() = default;

void TZipFile::Open(const std::string& FileName, TZipMode Mode) {
  (void)Mode;  // reading is the only mode
  Close();
  FImpl->Open(FileName);
}

void TZipFile::Close() { FImpl->Close(); }

int TZipFile::FileCount() const { return static_cast<int>(FImpl->Names.size()); }

std::string TZipFile::FileName(int Index) const {
  if (Index < 0 || static_cast<size_t>(Index) >= FImpl->Names.size())
    throw EZipException("TZipFile.FileName: index " + std::to_string(Index) + " is out of range");
  return FImpl->Names[static_cast<size_t>(Index)];
}

void TZipFile::Extract(const std::string& FileName, const std::string& Path, bool CreateSubdirs) {
  if (!FImpl->Archive) throw EZipException("TZipFile.Extract: no ZIP file is open");
  const auto found = FImpl->FirstByName.find(FileName);
  if (found == FImpl->FirstByName.end())
    throw EZipException("TZipFile.Extract: there is no entry " + Quoted(FileName) + " in " +
                        Quoted(FImpl->ArchiveName));
  const zip_uint64_t index = found->second;
  const TZipEntryLayout& entry = FImpl->Layout.Entries[index];
  TExtraction extraction(FImpl->Archive, index, FileName, FImpl->ArchiveName, Path);
  const TEntryPath entryPath = extraction.SplitName(CreateSubdirs);
  if (entryPath.File.empty()) {
    extraction.OpenFolder(entryPath);
    return;
  }
  if (entry.Method != kStored && entry.Method != kDeflated && entry.Method != kDeflate64)
    extraction.Fail("compression method " + std::to_string(entry.Method) +
                    " is not supported (only stored, deflate and deflate64)");
  zip_stat_t stat;
  if (zip_stat_index(FImpl->Archive, index, 0, &stat) == 0 && (stat.valid & ZIP_STAT_ENCRYPTION_METHOD) &&
      stat.encryption_method != ZIP_EM_NONE)
    extraction.Fail("encrypted entries are not supported");

  const TDescriptor folder = extraction.OpenFolder(entryPath);
  extraction.CheckFreeSpace(folder.Get(), entry.Size);
  std::string temporary;
  TDescriptor out = CreateTemporary(folder.Get(), temporary);
  const std::string target = JoinPath(Path, entryPath.Folders, entryPath.Folders.size()) + "/" + entryPath.File;
  if (out.Get() < 0) extraction.Fail("cannot create a file in the folder of " + Quoted(target) + ": " + std::strerror(errno));
  try {
    extraction.WriteData(out.Get(), entry.Size, entry.Crc, entry.Method);
    if (close(out.Release()) != 0) extraction.Fail("cannot write to " + Quoted(target) + ": " + std::strerror(errno));
    // Replaces an old file or a symbolic link of that name itself, never what a link points to.
    if (renameat(folder.Get(), temporary.c_str(), folder.Get(), entryPath.File.c_str()) != 0)
      extraction.Fail("cannot create " + Quoted(target) + ": " + std::strerror(errno));
  } catch (...) {
    unlinkat(folder.Get(), temporary.c_str(), 0);
    throw;
  }
}
