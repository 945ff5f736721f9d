#pragma once
// Anonymous file-mapping objects: memory that more than one view (a pixel block and a DIB section
// drawn into) can share. The handle is a file descriptor and is never 0, so 0 can mean "none".

#include <cstddef>
#include <cstdint>

using HANDLE = uint32_t;

// 0 on failure. The object is zero-filled.
HANDLE CreateFileMapping(size_t size);
// A writable view of the first size bytes, or nullptr.
void* MapViewOfFile(HANDLE mapping, size_t size);
bool UnmapViewOfFile(void* view);
bool CloseHandle(HANDLE mapping);
size_t LiveFileMappingViews();
