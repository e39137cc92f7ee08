// JPEG pictures decoded with libjpeg into device-independent bitmaps.
#pragma once

#include <windows.h>

#include <cstddef>

namespace palisor::win32 {

// Pictures larger than this on either side are refused (a damaged header must not make the
// program allocate gigabytes).
inline constexpr unsigned kMaxJpegSide = 4096;

// Decodes a JPEG image into a top-down 32-bit DIB section that the caller owns. Returns nullptr
// for data that is not a JPEG libjpeg can decode, and for pictures above kMaxJpegSide. A stream
// that ends early decodes as far as it goes (libjpeg fills the rest).
HBITMAP DecodeJpeg(const void* data, std::size_t size);

// Decodes the JPEG stored as an RCDATA resource of the program; nullptr when it is missing.
HBITMAP LoadJpegResource(int resourceId);

// Width and height of a bitmap ({0, 0} for nullptr).
SIZE BitmapSize(HBITMAP bitmap);

}  // namespace palisor::win32
