// TEMPORARY: see EncodeShim.h. Plain, unoptimised encoders (GIF without a quantiser).
#include "outputs/EncodeShim.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <zlib.h>

#include "app/AutoStart.h"
#include "app/Errors.h"
#include "ui/Bitmap.h"
#include "ui/Handles.h"

namespace {

void Put32BE(std::vector<uint8_t>& out, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
}
void Put16LE(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32LE(std::vector<uint8_t>& out, uint32_t v) {
  Put16LE(out, v & 0xFFFF);
  Put16LE(out, v >> 16);
}

void PngChunk(std::vector<uint8_t>& out, const char* type, const uint8_t* data, size_t size) {
  Put32BE(out, static_cast<uint32_t>(size));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  if (size) out.insert(out.end(), data, data + size);
  Put32BE(out, static_cast<uint32_t>(crc32(0, out.data() + start, static_cast<uInt>(out.size() - start))));
}

void WriteBytes(const std::wstring& path, const std::vector<uint8_t>& data) {
  TFileHandle f(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) throw EError(L"Cannot create file \"" + path + L"\". Error " + std::to_wstring(GetLastError()));
  DWORD written = 0;
  if (!data.empty() &&
      (!WriteFile(f.Get(), data.data(), static_cast<DWORD>(data.size()), &written, nullptr) || written != data.size()))
    throw EError(L"Cannot write file \"" + path + L"\". Error " + std::to_wstring(GetLastError()));
}

}  // namespace

std::vector<uint8_t> EncodePng(const TPixelView& p) {
  const int bpp = p.BytesPerPixel();
  std::vector<uint8_t> raw;
  raw.reserve(static_cast<size_t>(p.Height) * (p.Width * 3 + 1));
  for (int y = 0; y < p.Height; ++y) {
    const uint8_t* row = p.Row(y);
    raw.push_back(1);  // Sub
    uint8_t prev[3] = {0, 0, 0};
    for (int x = 0; x < p.Width; ++x) {
      const uint8_t rgb[3] = {row[x * bpp + 2], row[x * bpp + 1], row[x * bpp]};
      for (int c = 0; c < 3; ++c) raw.push_back(static_cast<uint8_t>(rgb[c] - prev[c]));
      std::memcpy(prev, rgb, 3);
    }
  }
  uLongf zsize = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> z(zsize);
  if (compress2(z.data(), &zsize, raw.data(), static_cast<uLong>(raw.size()), 7) != Z_OK)
    throw EError(L"PNG compression failed");
  z.resize(zsize);

  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> ihdr;
  Put32BE(ihdr, static_cast<uint32_t>(p.Width));
  Put32BE(ihdr, static_cast<uint32_t>(p.Height));
  ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
  PngChunk(out, "IHDR", ihdr.data(), ihdr.size());
  for (size_t at = 0; at < z.size(); at += 65535)
    PngChunk(out, "IDAT", z.data() + at, std::min<size_t>(65535, z.size() - at));
  PngChunk(out, "IEND", nullptr, 0);
  return out;
}

void SavePNG(const TBitmap& picture, const std::wstring& path) { WriteBytes(path, EncodePng(picture.View())); }

void SaveBMP(const TBitmap& picture, const std::wstring& path) {
  const TPixelView p = picture.View();
  const uint32_t image = static_cast<uint32_t>(p.Stride * p.Height);
  std::vector<uint8_t> out = {'B', 'M'};
  Put32LE(out, 54 + image);
  Put32LE(out, 0);
  Put32LE(out, 54);
  Put32LE(out, 40);
  Put32LE(out, static_cast<uint32_t>(p.Width));
  Put32LE(out, static_cast<uint32_t>(-p.Height));  // top-down rows
  Put16LE(out, 1);
  Put16LE(out, static_cast<uint32_t>(p.BitsPerPixel));
  for (uint32_t v : {0u, image, 3780u, 3780u, 0u, 0u}) Put32LE(out, v);
  for (int y = 0; y < p.Height; ++y) out.insert(out.end(), p.Row(y), p.Row(y) + p.Stride);
  WriteBytes(path, out);
}

void SaveGIF(const TBitmap& picture, const std::wstring& path) {
  // 3-3-2 palette; LZW codes stay 9 bits wide because a clear code follows every 254 codes.
  const TPixelView p = picture.View();
  const int bpp = p.BytesPerPixel();
  std::vector<uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
  Put16LE(out, static_cast<uint32_t>(p.Width));
  Put16LE(out, static_cast<uint32_t>(p.Height));
  out.insert(out.end(), {0xF7, 0, 0});
  for (int i = 0; i < 256; ++i)
    out.insert(out.end(), {static_cast<uint8_t>((i >> 5) * 255 / 7), static_cast<uint8_t>(((i >> 2) & 7) * 255 / 7),
                           static_cast<uint8_t>((i & 3) * 255 / 3)});
  out.push_back(',');
  Put16LE(out, 0);
  Put16LE(out, 0);
  Put16LE(out, static_cast<uint32_t>(p.Width));
  Put16LE(out, static_cast<uint32_t>(p.Height));
  out.push_back(0);
  out.push_back(8);
  std::vector<uint8_t> data;
  uint32_t bits = 0;
  int nbits = 0;
  auto emit = [&](uint32_t code) {
    bits |= code << nbits;
    nbits += 9;
    while (nbits >= 8) {
      data.push_back(static_cast<uint8_t>(bits));
      bits >>= 8;
      nbits -= 8;
    }
  };
  int run = 0;
  emit(256);
  for (int y = 0; y < p.Height; ++y)
    for (int x = 0; x < p.Width; ++x) {
      const uint8_t* px = p.Row(y) + x * bpp;
      if (run == 254) emit(256), run = 0;
      emit(static_cast<uint32_t>((px[2] & 0xE0) | ((px[1] >> 3) & 0x1C) | (px[0] >> 6)));
      ++run;
    }
  emit(257);
  if (nbits) data.push_back(static_cast<uint8_t>(bits));
  for (size_t at = 0; at < data.size(); at += 255) {
    const size_t n = std::min<size_t>(255, data.size() - at);
    out.push_back(static_cast<uint8_t>(n));
    out.insert(out.end(), data.begin() + static_cast<ptrdiff_t>(at), data.begin() + static_cast<ptrdiff_t>(at + n));
  }
  out.insert(out.end(), {0, ';'});
  WriteBytes(path, out);
}

void SaveJPG(const TBitmap& picture, const std::wstring& path, uint8_t quality) {
  const TPixelView p = picture.View();
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* mem = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &mem, &size);
  cinfo.image_width = static_cast<JDIMENSION>(p.Width);
  cinfo.image_height = static_cast<JDIMENSION>(p.Height);
  cinfo.input_components = p.BytesPerPixel();
  cinfo.in_color_space = p.BitsPerPixel == 32 ? JCS_EXT_BGRX : JCS_EXT_BGR;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(p.Row(static_cast<int>(cinfo.next_scanline)));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::vector<uint8_t> out(mem, mem + size);
  jpeg_destroy_compress(&cinfo);
  free(mem);
  WriteBytes(path, out);
}

void SaveWebP(TBitmap& picture, const std::wstring& path, int quality) {
  const std::wstring dll = ProgramDir() + L"libwebp.dll";
  if (!FileExists(dll)) return;
  TModule lib(LoadLibraryW(dll.c_str()));
  if (!lib) return;
  picture.SetPixelFormat(32);
  using TEncode = size_t(__cdecl*)(const uint8_t*, int, int, int, float, uint8_t**);
  using TFree = void(__cdecl*)(void*);
  auto encode = reinterpret_cast<TEncode>(reinterpret_cast<void*>(GetProcAddress(lib.Get(), "WebPEncodeBGRA")));
  auto release = reinterpret_cast<TFree>(reinterpret_cast<void*>(GetProcAddress(lib.Get(), "WebPFree")));
  if (!encode || !release) return;
  const TPixelView p = picture.View();
  std::vector<uint8_t> bgra(static_cast<size_t>(p.Width) * 4 * p.Height);
  for (int y = 0; y < p.Height; ++y)
    for (int x = 0; x < p.Width; ++x) {
      std::memcpy(&bgra[(static_cast<size_t>(y) * p.Width + x) * 4], p.Row(y) + x * 4, 3);
      bgra[(static_cast<size_t>(y) * p.Width + x) * 4 + 3] = 255;
    }
  uint8_t* encoded = nullptr;
  const size_t n = encode(bgra.data(), p.Width, p.Height, p.Width * 4, static_cast<float>(quality), &encoded);
  std::vector<uint8_t> out(encoded, encoded + n);
  if (encoded) release(encoded);
  WriteBytes(path, out);
}
