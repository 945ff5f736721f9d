/* The interface between Tovasel and its decoder modules (*.spi), as C. A module is an ELF shared
   object that exports the functions below with C linkage and default visibility; any of them may be
   missing. This is the only header a module includes: it brings the local-memory functions with it.

   - Results and numeric parameters are int32_t, flags uint32_t; handles are 32-bit local-memory
     handles (HLOCAL) that the module allocates with LocalAlloc and the host frees after a success.
     After a failure the host takes nothing: a module frees what it allocated before it fails.
   - Single-byte strings are UTF-8, wide strings UTF-16 (char16_t).
   - Flag 0: Buf is the file's name and Len the offset at which the image starts (0, or 128 past a
     MacBinary header). Flag 1: Buf points to the image in memory and Len is its length.
   - IsSupported's DW points into the host's copy of the source's first bytes: at least 2048 bytes
     follow it, zero past the end of the source. It is never a file handle.
   - Nothing crosses this interface but its C types: a module catches everything at its edge. */
#ifndef TOVASEL_SUSIE_ABI_H
#define TOVASEL_SUSIE_ABI_H

#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#include "platform/kernel/LocalMemory.h"

#ifdef __cplusplus
#define SPI_STATIC_ASSERT(condition, message) static_assert(condition, message)
#define SPI_EXPORT extern "C" __attribute__((visibility("default")))
extern "C" {
#else
#define SPI_STATIC_ASSERT(condition, message) _Static_assert(condition, message)
#define SPI_EXPORT __attribute__((visibility("default")))
#endif

/* Export names, as the host looks them up. */
#define SPI_NAME_GetPluginInfo "GetPluginInfo"
#define SPI_NAME_GetPluginInfoW "GetPluginInfoW"
#define SPI_NAME_IsSupported "IsSupported"
#define SPI_NAME_IsSupportedW "IsSupportedW"
#define SPI_NAME_GetPictureInfo "GetPictureInfo"
#define SPI_NAME_GetPictureInfoW "GetPictureInfoW"
#define SPI_NAME_GetPicture "GetPicture"
#define SPI_NAME_GetPictureW "GetPictureW"
#define SPI_NAME_GetPreview "GetPreview"
#define SPI_NAME_GetPreviewW "GetPreviewW"
#define SPI_NAME_ConfigurationDlg "ConfigurationDlg"
#define SPI_NAME_GetArchiveInfo "GetArchiveInfo"
#define SPI_NAME_GetArchiveInfoW "GetArchiveInfoW"
#define SPI_NAME_GetFileInfo "GetFileInfo"
#define SPI_NAME_GetFileInfoW "GetFileInfoW"
#define SPI_NAME_GetFile "GetFile"
#define SPI_NAME_GetFileW "GetFileW"

/* Info number 0: the API version a module implements. */
#define SPI_VERSION_INPUT "00IN"
#define SPI_VERSION_ARCHIVE "00AM"
#define SPI_VERSION_EXPORT "00XN"

/* Sizes of the host's buffers. */
#define SPI_INFO_BUFFER_BYTES 256  /* GetPluginInfo: BufLen 255 */
#define SPI_INFO_BUFFER_WCHARS 512 /* GetPluginInfoW: BufLen 511 */
#define SPI_HEAD_BYTES 2048        /* readable from IsSupported's DW */

/* Flags of the source. */
#define SPI_SOURCE_FILE 0u
#define SPI_SOURCE_MEMORY 1u

/* Result codes of the picture functions. */
#define SPI_SUCCESS 0
#define SPI_NOT_IMPLEMENTED (-1)
#define SPI_ABORTED 1
#define SPI_UNKNOWN_FORMAT 2
#define SPI_BROKEN_DATA 3
#define SPI_NO_MEMORY 4
#define SPI_MEMORY_ERROR 5
#define SPI_FILE_READ_ERROR 6
#define SPI_INTERNAL_ERROR 8

#pragma pack(push, 1)

typedef struct TPictureInfo {
  int32_t Left;
  int32_t Top;
  int32_t Width;
  int32_t Height;
  uint16_t XDensity;
  uint16_t YDensity;
  int16_t ColorDepth;
  HLOCAL HInfo; /* a text block, or 0 */
} TPictureInfo;

typedef struct TFileInfo {
  unsigned char Method[8];
  uint32_t Position;
  uint32_t CompSize;
  uint32_t FileSize;
  uint32_t TimeStamp;
  char Path[200];
  char FileName[200];
  int32_t CRC;
} TFileInfo;

typedef struct TFileInfoW {
  unsigned char Method[8];
  uint32_t Position;
  uint32_t CompSize;
  uint32_t FileSize;
  uint32_t TimeStamp;
  char16_t Path[200];
  char16_t FileName[200];
  int32_t CRC;
} TFileInfoW;

#pragma pack(pop)

SPI_STATIC_ASSERT(sizeof(TPictureInfo) == 26, "TPictureInfo is 26 bytes");
SPI_STATIC_ASSERT(sizeof(TFileInfo) == 428, "TFileInfo is 428 bytes");
SPI_STATIC_ASSERT(sizeof(TFileInfoW) == 828, "TFileInfoW is 828 bytes");
SPI_STATIC_ASSERT(sizeof(char16_t) == 2, "wide strings are UTF-16");

/* The module reports Num of Done units and passes back the Data it was given; the host answers 0 to
   go on and 1 to stop, and a module that is told to stop fails with SPI_ABORTED. */
typedef int32_t (*TProgressCallback)(int32_t Num, int32_t Done, intptr_t Data);

typedef int32_t (*TGetPluginInfo)(int32_t InfoNo, char* Buf, int32_t BufLen);
typedef int32_t (*TGetPluginInfoW)(int32_t InfoNo, char16_t* Buf, int32_t BufLen);
typedef int32_t (*TIsSupported)(const char* FileName, const void* DW);
typedef int32_t (*TIsSupportedW)(const char16_t* FileName, const void* DW);
typedef int32_t (*TGetPictureInfo)(const char* Buf, int32_t Len, uint32_t Flag, TPictureInfo* Info);
typedef int32_t (*TGetPictureInfoW)(const char16_t* Buf, int32_t Len, uint32_t Flag, TPictureInfo* Info);
typedef int32_t (*TGetPicture)(const char* Buf, int32_t Len, uint32_t Flag, HLOCAL* HBMInfo, HLOCAL* HBM,
                               TProgressCallback ProgressCallback, intptr_t Data);
typedef int32_t (*TGetPictureW)(const char16_t* Buf, int32_t Len, uint32_t Flag, HLOCAL* HBMInfo, HLOCAL* HBM,
                                TProgressCallback ProgressCallback, intptr_t Data);
typedef TGetPicture TGetPreview;
typedef TGetPictureW TGetPreviewW;
typedef int32_t (*TConfigurationDlg)(void* Parent, int32_t Fnc);
typedef int32_t (*TGetArchiveInfo)(const char* Buf, int32_t Len, uint32_t Flag, HLOCAL* FileInfoHandle);
typedef int32_t (*TGetArchiveInfoW)(const char16_t* Buf, int32_t Len, uint32_t Flag, HLOCAL* FileInfoHandle);
typedef int32_t (*TGetFileInfo)(const char* Buf, int32_t Len, const char* FileName, uint32_t Flag, TFileInfo* FileInfo);
typedef int32_t (*TGetFileInfoW)(const char16_t* Buf, int32_t Len, const char16_t* FileName, uint32_t Flag,
                                 TFileInfoW* FileInfo);
typedef int32_t (*TGetFile)(const char* Src, int32_t Len, void* Dest, uint32_t Flag, TProgressCallback ProgressCallback,
                            intptr_t Data);
typedef int32_t (*TGetFileW)(const char16_t* Src, int32_t Len, void* Dest, uint32_t Flag,
                             TProgressCallback ProgressCallback, intptr_t Data);

#ifdef __cplusplus
}
#endif

#endif
