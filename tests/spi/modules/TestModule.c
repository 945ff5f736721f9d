/* A decoder module for the host's tests. It reads the "TVPX" picture format of the tests (below)
   and is built in variants that each behave in one way a module may (see CMakeLists.txt): another
   API version, missing exports, a short filter list, another magic, a failing GetPictureInfo, rows
   top-down, a header that disagrees with its pixel block.

   Format, little-endian: "TVPX" (or "TVMB"), width uint32, height uint32, bit count uint16 (1, 4,
   8, 24 or 32), colour count uint16 (1 to 2^bits for 1, 4 and 8 bits, else 0), the colours as blue,
   green, red, 0, then the rows from the top, each (width * bits + 7) / 8 bytes, packed as in a DIB.

   When TVTEST_SPI_LOG names a file, every call is appended to it as "MODULE CALL DETAILS". */
#include "spi/SusieAbi.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* The variants. MODULE_FILTERS lists the filter and type name pairs of info numbers 2, 3, 4 ... */
#if defined(VARIANT_PLAIN)
#define MODULE_NAME "plain"
#define MODULE_WIDE
#define MODULE_FILTERS "*.tvp;*.tvpx", "Tovasel test picture", "*.tvq", "Tovasel test picture Q"
#elif defined(VARIANT_LOWER)
#define MODULE_NAME "lower"
#define MODULE_VERSION "00in"
#define MODULE_FILTERS "*.tvl", "Tovasel test picture, lower-case version"
#elif defined(VARIANT_NOPICTURE)
#define MODULE_NAME "nopicture"
#define MODULE_NO_GET_PICTURE
#define MODULE_FILTERS "*.tvn", "Tovasel test picture without GetPicture"
#elif defined(VARIANT_NOPREVIEW)
#define MODULE_NAME "nopreview"
#define MODULE_NO_GET_PREVIEW
#define MODULE_FILTERS "*.tvp", "Tovasel test picture without preview"
#elif defined(VARIANT_PARTWIDE)
#define MODULE_NAME "partwide"
#define MODULE_PART_WIDE
#define MODULE_FILTERS "*.tvw", "Tovasel test picture, partly wide"
#elif defined(VARIANT_NOTYPE)
#define MODULE_NAME "notype"
#define MODULE_FILTERS "*.tv1", "Tovasel test picture 1", "*.tv2"
#elif defined(VARIANT_MACBIN)
#define MODULE_NAME "macbin"
#define MODULE_MAGIC "TVMB"
#define MODULE_FILTERS "*.tvm", "Tovasel test picture behind a MacBinary header"
#elif defined(VARIANT_INFOFAIL)
#define MODULE_NAME "infofail"
#define MODULE_INFO_FAILS
#define MODULE_FILTERS "*.tvi", "Tovasel test picture without information"
#elif defined(VARIANT_TOPDOWN)
#define MODULE_NAME "topdown"
#define MODULE_TOP_DOWN
#define MODULE_FILTERS "*.tvd;", "Tovasel test picture, rows from the top"
#elif defined(VARIANT_BADSIZES)
#define MODULE_NAME "badsizes"
#define MODULE_BAD_SIZES
#define MODULE_FILTERS "*.tvb", "Tovasel test picture with a lying header"
#elif defined(VARIANT_NOINFO)
#define MODULE_NAME "noinfo"
#define MODULE_NO_PLUGIN_INFO
#define MODULE_FILTERS "*.tvx", "never read"
#elif defined(VARIANT_ARCHIVE)
#define MODULE_NAME "archive"
#define MODULE_VERSION "00AM"
#define MODULE_ARCHIVE
#define MODULE_NO_GET_PICTURE
#define MODULE_NO_GET_PREVIEW
#define MODULE_FILTERS "*.tva", "Tovasel test archive"
#elif defined(VARIANT_EXPORT)
#define MODULE_NAME "export"
#define MODULE_VERSION "00XN"
#define MODULE_FILTERS "*.tve", "Tovasel test export"
#else
#error a VARIANT_ macro names the variant
#endif

#ifndef MODULE_VERSION
#define MODULE_VERSION "00IN"
#endif
#ifndef MODULE_MAGIC
#define MODULE_MAGIC "TVPX"
#endif

/* Helpers that an archive variant does not call. */
#define HELPER static __attribute__((unused))

enum { kHeaderBytes = 16, kProgressSteps = 16 };

#pragma pack(push, 1)
typedef struct {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
} TInfoHeader;
#pragma pack(pop)

typedef struct {
  uint32_t Width;
  uint32_t Height;
  uint32_t BitCount;
  uint32_t Colors;
  uint64_t PackedRow;
  uint64_t Stride;
} TPicture;

/* Where the picture comes from: a file from an offset, or a block of memory. */
typedef struct {
  FILE* File;
  const uint8_t* Memory;
  uint64_t Size;
  uint64_t Position;
} TSource;

static void LogCall(const char* call, const char* details) {
  const char* path = getenv("TVTEST_SPI_LOG");
  if (!path || !*path) return;
  FILE* log = fopen(path, "a");
  if (!log) return;
  fprintf(log, "%s %s %s\n", MODULE_NAME, call, details);
  fclose(log);
}

HELPER void LogSource(const char* call, int32_t len, uint32_t flag) {
  char details[64];
  snprintf(details, sizeof details, "flag=%u len=%d", (unsigned)flag, (int)len);
  LogCall(call, details);
}

static uint32_t Read32(const uint8_t* p) { return p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24; }
static uint32_t Read16(const uint8_t* p) { return p[0] | (uint32_t)p[1] << 8; }

/* The header's values, checked: every size computed from them fits. */
static int ParseHeader(const uint8_t* head, TPicture* picture) {
  if (memcmp(head, MODULE_MAGIC, 4) != 0) return 0;
  picture->Width = Read32(head + 4);
  picture->Height = Read32(head + 8);
  picture->BitCount = Read16(head + 12);
  picture->Colors = Read16(head + 14);
  if (picture->Width == 0 || picture->Height == 0 || picture->Width > 1u << 16 || picture->Height > 1u << 16) return 0;
  switch (picture->BitCount) {
    case 1: case 4: case 8:
      if (picture->Colors == 0 || picture->Colors > 1u << picture->BitCount) return 0;
      break;
    case 24: case 32:
      if (picture->Colors != 0) return 0;
      break;
    default: return 0;
  }
  picture->PackedRow = ((uint64_t)picture->Width * picture->BitCount + 7) / 8;
  picture->Stride = ((uint64_t)picture->Width * picture->BitCount + 31) / 32 * 4;
  return picture->Stride * picture->Height <= 0x7FFFFFFFu - 2048;
}

static int ReadSource(TSource* source, void* buffer, uint64_t bytes) {
  if (source->File) return fread(buffer, 1, bytes, source->File) == bytes;
  if (source->Position > source->Size || bytes > source->Size - source->Position) return 0;
  memcpy(buffer, source->Memory + source->Position, bytes);
  source->Position += bytes;
  return 1;
}

#ifdef MODULE_WIDE
/* UTF-16 to UTF-8, for opening files named in the wide forms; NULL when it does not convert. */
static char* Utf8Of(const char16_t* text) {
  size_t length = 0;
  while (text[length]) ++length;
  char* out = malloc(length * 3 + 1);
  if (!out) return NULL;
  size_t n = 0;
  for (size_t i = 0; i < length; ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    if (c < 0x80) out[n++] = (char)c;
    else if (c < 0x800) { out[n++] = (char)(0xC0 | c >> 6); out[n++] = (char)(0x80 | (c & 0x3F)); }
    else if (c < 0x10000) { out[n++] = (char)(0xE0 | c >> 12); out[n++] = (char)(0x80 | (c >> 6 & 0x3F)); out[n++] = (char)(0x80 | (c & 0x3F)); }
    else { out[n++] = (char)(0xF0 | c >> 18); out[n++] = (char)(0x80 | (c >> 12 & 0x3F)); out[n++] = (char)(0x80 | (c >> 6 & 0x3F)); out[n++] = (char)(0x80 | (c & 0x3F)); }
  }
  out[n] = 0;
  return out;
}
#endif

/* Opens the source the host names; 0 when it cannot be read. */
HELPER int OpenSource(const char* fileName, const void* memory, int32_t len, uint32_t flag, TSource* source) {
  memset(source, 0, sizeof *source);
  if ((flag & 7) == SPI_SOURCE_MEMORY) {
    if (len < 0) return 0;
    source->Memory = memory;
    source->Size = (uint64_t)len;
    return 1;
  }
  if (len < 0 || !fileName) return 0;
  source->File = fopen(fileName, "rb");
  if (!source->File) return 0;
  if (fseek(source->File, len, SEEK_SET) != 0) {
    fclose(source->File);
    return 0;
  }
  return 1;
}

HELPER void CloseSource(TSource* source) {
  if (source->File) fclose(source->File);
}

static void FreeBlock(HLOCAL* block) {
  if (*block) {
    LocalUnlock(*block);
    LocalFree(*block);
  }
  *block = 0;
}

/* Decodes the whole picture, or (preview) a 1 x 1 picture of colour 0x563412. */
HELPER int32_t Decode(TSource* source, HLOCAL* hbmInfo, HLOCAL* hbm, TProgressCallback progress, intptr_t data,
                      int preview) {
  uint8_t head[kHeaderBytes];
  TPicture picture;
  if (!ReadSource(source, head, sizeof head)) return SPI_FILE_READ_ERROR;
  if (!ParseHeader(head, &picture)) return SPI_UNKNOWN_FORMAT;
  if (preview) {
    picture.Width = picture.Height = 1;
    picture.BitCount = 24;
    picture.Colors = 0;
    picture.Stride = 4;
  }
  HLOCAL info = LocalAlloc(LHND, 40 + 4 * picture.Colors);
  HLOCAL bits = LocalAlloc(LMEM_MOVEABLE, picture.Stride * picture.Height);
  uint8_t* infoBytes = LocalLock(info);
  uint8_t* rows = LocalLock(bits);
  int32_t result = SPI_SUCCESS;
  if (!infoBytes || !rows) {
    result = SPI_NO_MEMORY;
    goto failed;
  }
  TInfoHeader header = {40, (int32_t)picture.Width, (int32_t)picture.Height, 1, (uint16_t)picture.BitCount, 0, 0, 0, 0,
                        picture.Colors, 0};
#ifdef MODULE_TOP_DOWN
  header.biHeight = -header.biHeight;
#endif
#ifdef MODULE_BAD_SIZES
  header.biWidth *= 2;
  header.biHeight *= 2;
#endif
  memcpy(infoBytes, &header, sizeof header);
  if (preview) {
    const uint8_t marker[4] = {0x12, 0x34, 0x56, 0};
    memcpy(rows, marker, 4);
  } else {
    if (!ReadSource(source, infoBytes + 40, 4 * picture.Colors)) {
      result = SPI_BROKEN_DATA;
      goto failed;
    }
    const uint32_t step = picture.Height / kProgressSteps ? picture.Height / kProgressSteps : 1;
    for (uint32_t y = 0; y < picture.Height; ++y) {
      if (progress && y % step == 0 && progress((int32_t)y, (int32_t)picture.Height, data) != 0) {
        result = SPI_ABORTED;
        goto failed;
      }
#ifdef MODULE_TOP_DOWN
      uint8_t* row = rows + picture.Stride * y;
#else
      uint8_t* row = rows + picture.Stride * (picture.Height - 1 - y);
#endif
      if (!ReadSource(source, row, picture.PackedRow)) {
        result = SPI_BROKEN_DATA;
        goto failed;
      }
      memset(row + picture.PackedRow, 0, picture.Stride - picture.PackedRow);
    }
  }
  if (progress && progress((int32_t)picture.Height, (int32_t)picture.Height, data) != 0) {
    result = SPI_ABORTED;
    goto failed;
  }
  LocalUnlock(info);
  LocalUnlock(bits);
  *hbmInfo = info;
  *hbm = bits;
  return SPI_SUCCESS;

failed:
  FreeBlock(&info);
  FreeBlock(&bits);
  return result;
}

HELPER int32_t PictureInfoOf(TSource* source, TPictureInfo* info) {
  uint8_t head[kHeaderBytes];
  TPicture picture;
  if (!ReadSource(source, head, sizeof head)) return SPI_FILE_READ_ERROR;
  if (!ParseHeader(head, &picture)) return SPI_UNKNOWN_FORMAT;
#ifdef MODULE_INFO_FAILS
  (void)info;
  return SPI_INTERNAL_ERROR;
#else
  static const char text[] = "Tovasel test picture";
  memset(info, 0, sizeof *info);
  info->Width = (int32_t)picture.Width;
  info->Height = (int32_t)picture.Height;
  info->ColorDepth = (int16_t)picture.BitCount;
  info->HInfo = LocalAlloc(LHND, sizeof text);
  char* textBytes = LocalLock(info->HInfo);
  if (textBytes) {
    memcpy(textBytes, text, sizeof text);
    LocalUnlock(info->HInfo);
  }
  return SPI_SUCCESS;
#endif
}

/* The texts of GetPluginInfo: version, description, then filter and type name pairs. */
static const char* const kInfo[] = {MODULE_VERSION, "Tovasel test module " MODULE_NAME, MODULE_FILTERS};

__attribute__((unused)) static const char* InfoText(int32_t infoNo) {
  if (infoNo < 0 || (size_t)infoNo >= sizeof kInfo / sizeof kInfo[0]) return NULL;
  return kInfo[infoNo];
}

#ifndef MODULE_NO_PLUGIN_INFO
SPI_EXPORT int32_t GetPluginInfo(int32_t infoNo, char* buf, int32_t bufLen) {
  const char* text = InfoText(infoNo);
  if (!text || bufLen <= 0) return 0;
  const size_t length = strlen(text) < (size_t)bufLen - 1 ? strlen(text) : (size_t)bufLen - 1;
  memcpy(buf, text, length);
  buf[length] = 0;
  return (int32_t)length;
}
#endif

#if defined(MODULE_WIDE) || defined(MODULE_PART_WIDE)
/* The wide texts say so, so that tests can tell which forms were read. */
SPI_EXPORT int32_t GetPluginInfoW(int32_t infoNo, char16_t* buf, int32_t bufLen) {
  const char* text = InfoText(infoNo);
  if (!text || bufLen <= 0) return 0;
  char wide[300];
  snprintf(wide, sizeof wide, "%s%s", text, infoNo == 1 ? " (wide)" : "");
  size_t length = strlen(wide) < (size_t)bufLen - 1 ? strlen(wide) : (size_t)bufLen - 1;
  for (size_t i = 0; i < length; ++i) buf[i] = (char16_t)(unsigned char)wide[i];
  buf[length] = 0;
  return (int32_t)length;
}
#endif

/* The whole head is read, so that a host handing over less than it promises is caught. */
static int32_t Supported(const void* dw) {
  const uint8_t* head = dw;
  unsigned sum = 0;
  for (int i = 0; i < SPI_HEAD_BYTES; ++i) sum += head[i];
  TPicture picture;
  return ParseHeader(head, &picture) && sum > 0;
}

SPI_EXPORT int32_t IsSupported(const char* fileName, const void* dw) {
  (void)fileName;
  const int32_t answer = Supported(dw);
  LogCall("IsSupported", answer ? "yes" : "no");
  return answer;
}

#ifdef MODULE_WIDE
SPI_EXPORT int32_t IsSupportedW(const char16_t* fileName, const void* dw) {
  (void)fileName;
  const int32_t answer = Supported(dw);
  LogCall("IsSupportedW", answer ? "yes" : "no");
  return answer;
}
#endif

#ifndef MODULE_ARCHIVE
SPI_EXPORT int32_t GetPictureInfo(const char* buf, int32_t len, uint32_t flag, TPictureInfo* info) {
  LogSource("GetPictureInfo", len, flag);
  TSource source;
  if (!OpenSource(buf, buf, len, flag, &source)) return SPI_FILE_READ_ERROR;
  const int32_t result = PictureInfoOf(&source, info);
  CloseSource(&source);
  return result;
}

static int32_t Picture(const char* call, const char* fileName, const void* memory, int32_t len, uint32_t flag,
                       HLOCAL* hbmInfo, HLOCAL* hbm, TProgressCallback progress, intptr_t data, int preview) {
  LogSource(call, len, flag);
  TSource source;
  if (!OpenSource(fileName, memory, len, flag, &source)) return SPI_FILE_READ_ERROR;
  const int32_t result = Decode(&source, hbmInfo, hbm, progress, data, preview);
  CloseSource(&source);
  return result;
}
#endif

#ifndef MODULE_NO_GET_PICTURE
SPI_EXPORT int32_t GetPicture(const char* buf, int32_t len, uint32_t flag, HLOCAL* hbmInfo, HLOCAL* hbm,
                              TProgressCallback progress, intptr_t data) {
  return Picture("GetPicture", buf, buf, len, flag, hbmInfo, hbm, progress, data, 0);
}
#endif

#ifndef MODULE_NO_GET_PREVIEW
SPI_EXPORT int32_t GetPreview(const char* buf, int32_t len, uint32_t flag, HLOCAL* hbmInfo, HLOCAL* hbm,
                              TProgressCallback progress, intptr_t data) {
  return Picture("GetPreview", buf, buf, len, flag, hbmInfo, hbm, progress, data, 1);
}
#endif

#ifdef MODULE_WIDE
SPI_EXPORT int32_t GetPictureInfoW(const char16_t* buf, int32_t len, uint32_t flag, TPictureInfo* info) {
  LogSource("GetPictureInfoW", len, flag);
  char* name = (flag & 7) == SPI_SOURCE_FILE ? Utf8Of(buf) : NULL;
  TSource source;
  int32_t result = SPI_FILE_READ_ERROR;
  if (OpenSource(name, buf, len, flag, &source)) {
    result = PictureInfoOf(&source, info);
    CloseSource(&source);
  }
  free(name);
  return result;
}

static int32_t PictureW(const char* call, const char16_t* buf, int32_t len, uint32_t flag, HLOCAL* hbmInfo, HLOCAL* hbm,
                        TProgressCallback progress, intptr_t data, int preview) {
  char* name = (flag & 7) == SPI_SOURCE_FILE ? Utf8Of(buf) : NULL;
  const int32_t result = Picture(call, name, buf, len, flag, hbmInfo, hbm, progress, data, preview);
  free(name);
  return result;
}

SPI_EXPORT int32_t GetPictureW(const char16_t* buf, int32_t len, uint32_t flag, HLOCAL* hbmInfo, HLOCAL* hbm,
                               TProgressCallback progress, intptr_t data) {
  return PictureW("GetPictureW", buf, len, flag, hbmInfo, hbm, progress, data, 0);
}

SPI_EXPORT int32_t GetPreviewW(const char16_t* buf, int32_t len, uint32_t flag, HLOCAL* hbmInfo, HLOCAL* hbm,
                               TProgressCallback progress, intptr_t data) {
  return PictureW("GetPreviewW", buf, len, flag, hbmInfo, hbm, progress, data, 1);
}
#endif

#ifdef MODULE_ARCHIVE
/* An archive module that knows no archive: enough to be described, listed and called. */
SPI_EXPORT int32_t GetArchiveInfo(const char* buf, int32_t len, uint32_t flag, HLOCAL* fileInfo) {
  (void)buf; (void)len; (void)flag;
  *fileInfo = 0;
  return SPI_UNKNOWN_FORMAT;
}

SPI_EXPORT int32_t GetFileInfo(const char* buf, int32_t len, const char* fileName, uint32_t flag, TFileInfo* info) {
  (void)buf; (void)len; (void)fileName; (void)flag; (void)info;
  return SPI_UNKNOWN_FORMAT;
}

SPI_EXPORT int32_t GetFile(const char* src, int32_t len, void* dest, uint32_t flag, TProgressCallback progress,
                           intptr_t data) {
  (void)src; (void)len; (void)dest; (void)flag; (void)progress; (void)data;
  return SPI_UNKNOWN_FORMAT;
}
#endif

SPI_EXPORT int32_t ConfigurationDlg(void* parent, int32_t fnc) {
  (void)parent;
  return fnc == 1 ? SPI_SUCCESS : SPI_NOT_IMPLEMENTED;
}
