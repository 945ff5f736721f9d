#pragma once
// The EXIF orientation of a JPEG picture (tag 0x0112 of IFD0 in the APP1 "Exif" segment): 1 to 8,
// 1 (as stored) when absent or unreadable.

#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE
#include <span>

#include <jpeglib.h>

namespace tvplugin {

// Data of one APP1 segment, starting at "Exif\0\0".
int ExifOrientation(std::span<const uint8_t> App1);
// The first orientation among the saved markers.
int ExifOrientation(const jpeg_saved_marker_ptr Markers);

}  // namespace tvplugin
