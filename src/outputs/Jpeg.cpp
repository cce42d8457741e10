// JPEG through libjpeg. Its errors leave by longjmp, so everything it can jump over is
// trivially destructible and lives in plain structures.
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include <jpeglib.h>

#include "outputs/Encoders.h"

namespace {

struct TJpegError {
  jpeg_error_mgr Pub;
  jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<TJpegError*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->Message);
  longjmp(err->Jump, 1);
}

void Silent(j_common_ptr, int) {}

// Compressed bytes collect in a fixed buffer and move to the vector when it is full.
struct TDest {
  jpeg_destination_mgr Pub;
  std::vector<uint8_t>* Out;
  bool OutOfMemory;
  JOCTET Buffer[65536];
};

void InitDest(j_compress_ptr cinfo) {
  auto* d = reinterpret_cast<TDest*>(cinfo->dest);
  d->Pub.next_output_byte = d->Buffer;
  d->Pub.free_in_buffer = sizeof d->Buffer;
}

bool Append(TDest* d, size_t n) {
  try {
    d->Out->insert(d->Out->end(), d->Buffer, d->Buffer + n);
    return true;
  } catch (const std::bad_alloc&) {
    d->OutOfMemory = true;
    return false;
  }
}

boolean EmptyDest(j_compress_ptr cinfo) {
  auto* d = reinterpret_cast<TDest*>(cinfo->dest);
  if (!Append(d, sizeof d->Buffer)) {
    std::strcpy(reinterpret_cast<TJpegError*>(cinfo->err)->Message, "out of memory");
    longjmp(reinterpret_cast<TJpegError*>(cinfo->err)->Jump, 1);
  }
  d->Pub.next_output_byte = d->Buffer;
  d->Pub.free_in_buffer = sizeof d->Buffer;
  return TRUE;
}

void TermDest(j_compress_ptr cinfo) {
  auto* d = reinterpret_cast<TDest*>(cinfo->dest);
  if (!Append(d, sizeof d->Buffer - d->Pub.free_in_buffer)) {
    std::strcpy(reinterpret_cast<TJpegError*>(cinfo->err)->Message, "out of memory");
    longjmp(reinterpret_cast<TJpegError*>(cinfo->err)->Jump, 1);
  }
}

// The part that libjpeg may jump out of. `rgb` is a row buffer for libraries without the
// BGR input extensions.
bool Compress(jpeg_compress_struct* cinfo, TJpegError* err, TDest* dest, const TPixelView* image, int quality,
              JSAMPLE* rgb) {
  if (setjmp(err->Jump)) return false;
  jpeg_create_compress(cinfo);
  cinfo->dest = &dest->Pub;
  cinfo->image_width = static_cast<JDIMENSION>(image->Width);
  cinfo->image_height = static_cast<JDIMENSION>(image->Height);
#ifdef JCS_EXTENSIONS
  cinfo->input_components = image->BytesPerPixel();
  cinfo->in_color_space = image->BitsPerPixel == 32 ? JCS_EXT_BGRX : JCS_EXT_BGR;
#else
  cinfo->input_components = 3;
  cinfo->in_color_space = JCS_RGB;
#endif
  jpeg_set_defaults(cinfo);
  jpeg_set_quality(cinfo, quality, TRUE);
  jpeg_start_compress(cinfo, TRUE);
  const int bpp = image->BytesPerPixel();
  while (cinfo->next_scanline < cinfo->image_height) {
    const uint8_t* src = image->Row(static_cast<int>(cinfo->next_scanline));
    JSAMPROW row = const_cast<JSAMPROW>(src);
    if (rgb) {
      for (int x = 0; x < image->Width; ++x) {
        rgb[x * 3] = src[x * bpp + 2];
        rgb[x * 3 + 1] = src[x * bpp + 1];
        rgb[x * 3 + 2] = src[x * bpp];
      }
      row = rgb;
    }
    jpeg_write_scanlines(cinfo, &row, 1);
  }
  jpeg_finish_compress(cinfo);
  return true;
}

}  // namespace

std::vector<uint8_t> EncodeJpeg(const TPixelView& image, int quality) {
  CheckPicture(image);
  if (image.Width > JPEG_MAX_DIMENSION || image.Height > JPEG_MAX_DIMENSION)
    throw EEncoderError(L"The picture is too large for a JPEG file.");
  std::vector<uint8_t> out;
#ifdef JCS_EXTENSIONS
  std::vector<JSAMPLE> rgb;
#else
  std::vector<JSAMPLE> rgb(static_cast<size_t>(image.Width) * 3);
#endif
  auto dest = std::make_unique<TDest>();
  dest->Pub.init_destination = InitDest;
  dest->Pub.empty_output_buffer = EmptyDest;
  dest->Pub.term_destination = TermDest;
  dest->Out = &out;
  dest->OutOfMemory = false;
  jpeg_compress_struct cinfo{};
  TJpegError err{};
  cinfo.err = jpeg_std_error(&err.Pub);
  err.Pub.error_exit = ErrorExit;
  err.Pub.emit_message = Silent;
  const bool ok = Compress(&cinfo, &err, dest.get(), &image, quality, rgb.empty() ? nullptr : rgb.data());
  jpeg_destroy_compress(&cinfo);
  if (!ok) {
    std::wstring what = L"JPEG encoder: ";
    for (const char* p = err.Message; *p; ++p) what += static_cast<wchar_t>(static_cast<unsigned char>(*p));
    throw EEncoderError(what);
  }
  return out;
}
