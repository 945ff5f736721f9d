// The ZIP facility at the viewer's pace. Three commands, timed here and compared with their peers by
// bench/run-zip-bench.sh in the same run:
//   zip_bench list ARCHIVE FOLDER   extracts every entry into FOLDER and deletes it again, one after
//                                   another, as the viewer's listing does; prints milliseconds
//   zip_bench show ARCHIVE FOLDER [INDEX]  the ZIP part of showing one entry, as the viewer's step
//                                   does it: the archive opened anew, the entry extracted into FOLDER,
//                                   deleted again; entry INDEX once, or 50 entries spread over the
//                                   archive; prints the milliseconds (their median)
//   zip_bench decode D64.zip DEFL.zip  decodes the first entry of each in memory, the deflate64 one
//                                   with our decoder and the deflate one with zlib; prints MB/s

#include "platform/Deflate64.h"
#include "platform/ZipFile.h"

#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

double MillisecondsSince(TClock::time_point start) {
  return std::chrono::duration<double, std::milli>(TClock::now() - start).count();
}

int List(const std::string& archive, const std::string& folder) {
  const auto start = TClock::now();
  TZipFile zip;
  zip.Open(archive, zmRead);
  for (int i = 0; i < zip.FileCount(); ++i) {
    const std::string name = zip.FileName(i);
    zip.Extract(name, folder, true);
    const std::string path = folder + "/" + name;
    std::error_code error;
    std::filesystem::remove(path, error);
    std::filesystem::remove(std::filesystem::path(path).parent_path(), error);  // only when empty
  }
  zip.Close();
  std::printf("%.0f\n", MillisecondsSince(start));
  return 0;
}

// One entry extracted and deleted again, the archive opened for it alone.
void ShowEntry(const std::string& archive, const std::string& folder, int index) {
  TZipFile zip;
  zip.Open(archive, zmRead);
  const std::string name = zip.FileName(index);
  zip.Extract(name, folder, true);
  zip.Close();
  std::error_code error;
  std::filesystem::remove(folder + "/" + name, error);
  std::filesystem::remove(folder, error);  // only when empty
}

int Show(const std::string& archive, const std::string& folder, int index) {
  if (index >= 0) {
    const auto start = TClock::now();
    ShowEntry(archive, folder, index);
    std::printf("%.1f\n", MillisecondsSince(start));
    return 0;
  }
  TZipFile zip;
  zip.Open(archive, zmRead);
  const int count = zip.FileCount();
  zip.Close();
  constexpr int kShown = 50;
  std::vector<double> times;
  for (int i = 0; i < kShown; ++i) {
    const auto start = TClock::now();
    ShowEntry(archive, folder, static_cast<int>(static_cast<int64_t>(i) * count / kShown));
    times.push_back(MillisecondsSince(start));
  }
  std::sort(times.begin(), times.end());
  std::printf("%.1f\n", (times[kShown / 2 - 1] + times[kShown / 2]) / 2);
  return 0;
}

struct TRawEntry {
  std::vector<uint8_t> Compressed;
  uint64_t Size = 0;
};

TRawEntry ReadRawEntry(const std::string& archive) {
  int code = 0;
  zip_t* zip = zip_open(archive.c_str(), ZIP_RDONLY, &code);
  if (!zip) throw std::runtime_error("cannot open " + archive);
  zip_stat_t stat;
  zip_stat_index(zip, 0, 0, &stat);
  TRawEntry entry;
  entry.Size = stat.size;
  entry.Compressed.resize(stat.comp_size);
  zip_file_t* file = zip_fopen_index(zip, 0, ZIP_FL_COMPRESSED);
  if (!file || zip_fread(file, entry.Compressed.data(), stat.comp_size) != static_cast<zip_int64_t>(stat.comp_size))
    throw std::runtime_error("cannot read " + archive);
  zip_fclose(file);
  zip_discard(zip);
  return entry;
}

// Best of five runs, in MB of decoded data per second.
template <typename TDecode>
double BestRate(uint64_t size, TDecode decode) {
  double best = 1e30;
  for (int run = 0; run < 5; ++run) {
    const auto start = TClock::now();
    decode();
    best = std::min(best, MillisecondsSince(start));
  }
  return static_cast<double>(size) / 1e6 / (best / 1000);
}

int Decode(const std::string& deflate64Archive, const std::string& deflateArchive) {
  const TRawEntry d64 = ReadRawEntry(deflate64Archive);
  const TRawEntry deflated = ReadRawEntry(deflateArchive);
  const double ours = BestRate(d64.Size, [&] {
    size_t at = 0;
    const uint64_t produced = Deflate64Decode(
        [&](uint8_t* buffer, size_t capacity) {
          const size_t n = std::min(capacity, d64.Compressed.size() - at);
          std::memcpy(buffer, d64.Compressed.data() + at, n);
          at += n;
          return n;
        },
        [](const uint8_t*, size_t) {}, d64.Size);
    if (produced != d64.Size) throw std::runtime_error("deflate64 size differs");
  });
  // zlib the way an extractor uses it: 256 KiB of output at a time.
  std::vector<uint8_t> out(256 * 1024);
  const double zlib = BestRate(deflated.Size, [&] {
    z_stream stream{};
    inflateInit2(&stream, -15);
    stream.next_in = const_cast<Bytef*>(deflated.Compressed.data());
    stream.avail_in = static_cast<uInt>(deflated.Compressed.size());
    uint64_t produced = 0;
    int result = Z_OK;
    while (result == Z_OK) {
      stream.next_out = out.data();
      stream.avail_out = static_cast<uInt>(out.size());
      result = inflate(&stream, Z_NO_FLUSH);
      produced += out.size() - stream.avail_out;
    }
    inflateEnd(&stream);
    if (result != Z_STREAM_END || produced != deflated.Size) throw std::runtime_error("inflate failed");
  });
  std::printf("deflate64 (ours)   %8.1f MB/s  (%llu bytes from %zu)\n", ours,
              static_cast<unsigned long long>(d64.Size), d64.Compressed.size());
  std::printf("deflate (zlib %s) %8.1f MB/s  (%llu bytes from %zu)\n", zlibVersion(), zlib,
              static_cast<unsigned long long>(deflated.Size), deflated.Compressed.size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc == 4 && std::string(argv[1]) == "list") return List(argv[2], argv[3]);
    if ((argc == 4 || argc == 5) && std::string(argv[1]) == "show") return Show(argv[2], argv[3], argc == 5 ? std::atoi(argv[4]) : -1);
    if (argc == 4 && std::string(argv[1]) == "decode") return Decode(argv[2], argv[3]);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "zip_bench: %s\n", error.what());
    return 1;
  }
  std::fprintf(stderr,
               "usage: zip_bench list ARCHIVE FOLDER | zip_bench show ARCHIVE FOLDER [INDEX] |"
               " zip_bench decode DEFLATE64.zip DEFLATE.zip\n");
  return 2;
}
