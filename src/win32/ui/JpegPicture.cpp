#include "win32/ui/JpegPicture.h"

#include "win32/ui/Resources.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace palisor::win32 {

namespace {

// libjpeg reports fatal errors through error_exit, which must not return: it jumps back into
// DecodeJpeg. No object with a destructor lives between the setjmp and the longjmp.
struct JumpingErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf escape;
};

[[noreturn]] void JumpOut(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JumpingErrorManager*>(info->err)->escape, 1);
}

void Silent(j_common_ptr) {}

HBITMAP CreateTopDownBitmap(unsigned width, unsigned height, unsigned char** bits) {
  BITMAPINFO description{};
  description.bmiHeader.biSize = sizeof description.bmiHeader;
  description.bmiHeader.biWidth = static_cast<LONG>(width);
  description.bmiHeader.biHeight = -static_cast<LONG>(height);
  description.bmiHeader.biPlanes = 1;
  description.bmiHeader.biBitCount = 32;
  description.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &description, DIB_RGB_COLORS, &pixels, nullptr, 0);
  *bits = static_cast<unsigned char*>(pixels);
  return bitmap;
}

}  // namespace

HBITMAP DecodeJpeg(const void* data, std::size_t size) {
  if (data == nullptr || size == 0 || size > 0x7FFFFFFF) return nullptr;
  jpeg_decompress_struct info{};
  JumpingErrorManager errors{};
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = JumpOut;
  errors.base.output_message = Silent;
  HBITMAP volatile bitmap = nullptr;
  if (setjmp(errors.escape)) {
    jpeg_destroy_decompress(&info);
    if (bitmap) DeleteObject(bitmap);
    return nullptr;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, static_cast<const unsigned char*>(data), static_cast<unsigned long>(size));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_EXT_BGRX;
  jpeg_start_decompress(&info);
  if (info.output_width > kMaxJpegSide || info.output_height > kMaxJpegSide || info.output_components != 4) {
    jpeg_destroy_decompress(&info);
    return nullptr;
  }
  unsigned char* bits = nullptr;
  bitmap = CreateTopDownBitmap(info.output_width, info.output_height, &bits);
  if (bitmap == nullptr) {
    jpeg_destroy_decompress(&info);
    return nullptr;
  }
  const std::size_t stride = static_cast<std::size_t>(info.output_width) * 4;
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = bits + stride * info.output_scanline;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return bitmap;
}

HBITMAP LoadJpegResource(int resourceId) {
  const std::string_view bytes = RcDataResource(resourceId);
  if (bytes.empty()) return nullptr;
  return DecodeJpeg(bytes.data(), bytes.size());
}

SIZE BitmapSize(HBITMAP bitmap) {
  BITMAP description{};
  if (!bitmap || !GetObjectA(bitmap, sizeof description, &description)) return {0, 0};
  return {description.bmWidth, description.bmHeight};
}

}  // namespace palisor::win32
