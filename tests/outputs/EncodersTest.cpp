// The encoders' files read back by Debian's own decoders (libpng, libjpeg, giflib, libwebp;
// stb_image for bitmaps and PNG) and compared with the source pixels.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <webp/decode.h>
#include <webp/encode.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_ONLY_PNG
#include <stb/stb_image.h>

#include "fixtures/TestImage.h"
#include "outputs/Encoders.h"

namespace {

using TBytes = std::vector<uint8_t>;

// Decoded pixels as 0x00RRGGBB, row by row.
struct TDecoded {
  int Width = 0, Height = 0;
  std::vector<uint32_t> Rgb;
  uint32_t At(int x, int y) const { return Rgb[static_cast<size_t>(y) * Width + x]; }
};

TDecoded FromRgbBytes(const uint8_t* p, int w, int h) {
  TDecoded d{w, h, std::vector<uint32_t>(static_cast<size_t>(w) * h)};
  for (size_t i = 0; i < d.Rgb.size(); ++i) d.Rgb[i] = (uint32_t(p[i * 3]) << 16) | (uint32_t(p[i * 3 + 1]) << 8) | p[i * 3 + 2];
  return d;
}

TDecoded DecodePng(const TBytes& file) {
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  EXPECT_TRUE(png_image_begin_read_from_memory(&img, file.data(), file.size())) << img.message;
  img.format = PNG_FORMAT_RGB;
  TBytes rgb(PNG_IMAGE_SIZE(img));
  EXPECT_TRUE(png_image_finish_read(&img, nullptr, rgb.data(), 0, nullptr)) << img.message;
  return FromRgbBytes(rgb.data(), static_cast<int>(img.width), static_cast<int>(img.height));
}

// stb_image's reading of any file it knows, as 0x00RRGGBB.
TDecoded DecodeStb(const TBytes& file) {
  int w = 0, h = 0, n = 0;
  unsigned char* rgb = stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &w, &h, &n, 3);
  EXPECT_NE(rgb, nullptr) << stbi_failure_reason();
  if (!rgb) return {};
  TDecoded d = FromRgbBytes(rgb, w, h);
  stbi_image_free(rgb);
  return d;
}

struct TJpegInfo {
  TDecoded Pixels;
  int Components = 0;
  bool Progressive = false;
  bool Jfif = false;
};

TJpegInfo DecodeJpeg(const TBytes& file) {
  jpeg_decompress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_decompress(&c);
  jpeg_mem_src(&c, file.data(), static_cast<unsigned long>(file.size()));
  jpeg_read_header(&c, TRUE);
  TJpegInfo info;
  info.Components = c.num_components;
  info.Progressive = c.progressive_mode;
  info.Jfif = c.saw_JFIF_marker;
  c.out_color_space = JCS_RGB;
  jpeg_start_decompress(&c);
  TBytes rgb(static_cast<size_t>(c.output_width) * c.output_height * 3);
  while (c.output_scanline < c.output_height) {
    JSAMPROW row = rgb.data() + static_cast<size_t>(c.output_scanline) * c.output_width * 3;
    jpeg_read_scanlines(&c, &row, 1);
  }
  jpeg_finish_decompress(&c);
  info.Pixels = FromRgbBytes(rgb.data(), static_cast<int>(c.output_width), static_cast<int>(c.output_height));
  jpeg_destroy_decompress(&c);
  return info;
}

struct TGifInfo {
  TDecoded Pixels;
  int PaletteEntries = 0;
  int Images = 0;
  int Extensions = 0;
  int Error = 0;
};

TGifInfo DecodeGif(const TBytes& file) {
  struct TReader {
    const TBytes* Data;
    size_t At = 0;
  } reader{&file};
  auto read = [](GifFileType* gif, GifByteType* buf, int n) -> int {
    auto* r = static_cast<TReader*>(gif->UserData);
    const size_t take = std::min(static_cast<size_t>(n), r->Data->size() - r->At);
    std::memcpy(buf, r->Data->data() + r->At, take);
    r->At += take;
    return static_cast<int>(take);
  };
  TGifInfo info;
  int err = 0;
  GifFileType* gif = DGifOpen(&reader, read, &err);
  if (!gif) {
    info.Error = err;
    return info;
  }
  if (DGifSlurp(gif) != GIF_OK) {
    info.Error = gif->Error;
    DGifCloseFile(gif, &err);
    return info;
  }
  info.Images = gif->ImageCount;
  info.Extensions = gif->ExtensionBlockCount;
  const ColorMapObject* map = gif->SColorMap;
  info.PaletteEntries = map ? map->ColorCount : 0;
  if (gif->ImageCount > 0 && map) {
    const SavedImage& im = gif->SavedImages[0];
    info.Extensions += im.ExtensionBlockCount;
    const int w = im.ImageDesc.Width, h = im.ImageDesc.Height;
    info.Pixels = TDecoded{w, h, std::vector<uint32_t>(static_cast<size_t>(w) * h)};
    for (size_t i = 0; i < info.Pixels.Rgb.size(); ++i) {
      const GifColorType c = map->Colors[im.RasterBits[i]];
      info.Pixels.Rgb[i] = (uint32_t(c.Red) << 16) | (uint32_t(c.Green) << 8) | c.Blue;
    }
  }
  DGifCloseFile(gif, &err);
  return info;
}

TDecoded DecodeWebP(const TBytes& file) {
  int w = 0, h = 0;
  uint8_t* rgb = WebPDecodeRGB(file.data(), file.size(), &w, &h);
  if (!rgb) return {};
  TDecoded d = FromRgbBytes(rgb, w, h);
  WebPFree(rgb);
  return d;
}

int Channel(uint32_t c, int shift) { return static_cast<int>((c >> shift) & 0xFF); }

// Mean absolute difference per channel between the source and the decoded pixels.
double MeanError(const TTestImage& src, const TDecoded& d) {
  double sum = 0;
  for (int y = 0; y < src.Height; ++y)
    for (int x = 0; x < src.Width; ++x)
      for (int s : {0, 8, 16}) sum += std::abs(Channel(src.Rgb(x, y), s) - Channel(d.At(x, y), s));
  return sum / (3.0 * src.Width * src.Height);
}

void ExpectSamePixels(const TTestImage& src, const TDecoded& d) {
  ASSERT_EQ(d.Width, src.Width);
  ASSERT_EQ(d.Height, src.Height);
  int wrong = 0;
  for (int y = 0; y < src.Height; ++y)
    for (int x = 0; x < src.Width; ++x)
      if (d.At(x, y) != src.Rgb(x, y) && ++wrong <= 3)
        ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << d.At(x, y) << " != " << src.Rgb(x, y);
  EXPECT_EQ(wrong, 0);
}

TTestImage Photo(int w, int h, int bpp, int extraStride = 0) {
  TTestImage img(w, h, bpp, extraStride);
  TLcg noise(99);
  img.Fill([&](int x, int y) { return PhotoColor(x, y, noise); });
  return img;
}

TTestImage Noise(int w, int h, int bpp, uint32_t seed = 5) {
  TTestImage img(w, h, bpp);
  TLcg rnd(seed);
  img.Fill([&](int, int) { return rnd.Next() & 0xFFFFFF; });
  return img;
}

uint32_t BigEndian32(const uint8_t* p) { return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]; }

struct TChunk {
  std::string Type;
  TBytes Data;
  bool CrcOk = false;
};

std::vector<TChunk> PngChunks(const TBytes& file) {
  std::vector<TChunk> chunks;
  size_t at = 8;
  while (at + 12 <= file.size()) {
    const uint32_t len = BigEndian32(&file[at]);
    if (at + 12 + len > file.size()) break;
    TChunk c;
    c.Type.assign(reinterpret_cast<const char*>(&file[at + 4]), 4);
    c.Data.assign(file.begin() + static_cast<ptrdiff_t>(at + 8), file.begin() + static_cast<ptrdiff_t>(at + 8 + len));
    c.CrcOk = crc32(0, &file[at + 4], len + 4) == BigEndian32(&file[at + 8 + len]);
    chunks.push_back(std::move(c));
    at += 12 + len;
  }
  EXPECT_EQ(at, file.size()) << "bytes after the last chunk";
  return chunks;
}

// ---- PNG

TEST(Png, DecodesToTheSourcePixelsAtBothPixelFormats) {
  for (int bpp : {24, 32}) {
    for (auto [w, h] : {std::pair{1, 1}, {3, 2}, {101, 37}, {640, 400}}) {
      SCOPED_TRACE(std::to_string(bpp) + " bpp " + std::to_string(w) + "x" + std::to_string(h));
      const TTestImage img = Noise(w, h, bpp);
      ExpectSamePixels(img, DecodePng(EncodePng(img.View())));
    }
  }
  // Rows wider than the DIB stride: only the stride tells where the next row starts.
  const TTestImage padded = Photo(77, 45, 32, 12);
  ExpectSamePixels(padded, DecodePng(EncodePng(padded.View())));
}

// The file holds the signature, IHDR, IDAT chunks of 1 to 65,535 bytes and IEND, all with
// good CRCs; the IDAT data is one zlib stream (header of level 7 to 9, checked Adler-32)
// of Sub-filtered rows of `img`. Returns the zlib stream's size.
size_t ExpectPngLayout(const TTestImage& img, const TBytes& file) {
  const uint8_t sig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  EXPECT_GE(file.size(), 8u);
  if (file.size() < 8) return 0;
  EXPECT_EQ(std::memcmp(file.data(), sig, 8), 0);

  const std::vector<TChunk> chunks = PngChunks(file);
  EXPECT_GE(chunks.size(), 3u);
  if (chunks.size() < 3) return 0;
  EXPECT_EQ(chunks.front().Type, "IHDR");
  EXPECT_EQ(chunks.back().Type, "IEND");
  EXPECT_TRUE(chunks.back().Data.empty());
  const TBytes& ihdr = chunks.front().Data;
  EXPECT_EQ(ihdr.size(), 13u);
  if (ihdr.size() != 13) return 0;
  EXPECT_EQ(BigEndian32(&ihdr[0]), static_cast<uint32_t>(img.Width));
  EXPECT_EQ(BigEndian32(&ihdr[4]), static_cast<uint32_t>(img.Height));
  EXPECT_EQ(ihdr[8], 8);   // bit depth
  EXPECT_EQ(ihdr[9], 2);   // truecolour
  EXPECT_EQ(ihdr[10], 0);  // compression
  EXPECT_EQ(ihdr[11], 0);  // filter method
  EXPECT_EQ(ihdr[12], 0);  // no interlace
  TBytes zdata;
  for (size_t i = 1; i + 1 < chunks.size(); ++i) {
    EXPECT_EQ(chunks[i].Type, "IDAT") << "chunk " << i;
    EXPECT_LE(chunks[i].Data.size(), 65535u);
    EXPECT_FALSE(chunks[i].Data.empty());
    zdata.insert(zdata.end(), chunks[i].Data.begin(), chunks[i].Data.end());
  }
  for (const TChunk& c : chunks) EXPECT_TRUE(c.CrcOk) << c.Type;

  // A zlib stream whose header tells a level above the default (7 to 9); uncompress
  // checks the header and the Adler-32 at its end.
  EXPECT_GE(zdata.size(), 2u);
  if (zdata.size() < 2) return 0;
  EXPECT_EQ(zdata[0] & 0x0F, 8);
  EXPECT_EQ(zdata[1] >> 6, 3);
  const size_t rowBytes = 1 + static_cast<size_t>(img.Width) * 3;
  TBytes raw(rowBytes * img.Height + 1);
  uLongf rawSize = static_cast<uLongf>(raw.size());
  EXPECT_EQ(uncompress(raw.data(), &rawSize, zdata.data(), static_cast<uLong>(zdata.size())), Z_OK);
  EXPECT_EQ(rawSize, rowBytes * img.Height);
  if (rawSize != rowBytes * img.Height) return 0;
  for (int y = 0; y < img.Height; ++y) {
    const uint8_t* row = raw.data() + rowBytes * y;
    EXPECT_EQ(row[0], 1) << "row " << y << " is not Sub-filtered";
    uint32_t left = 0;
    for (int x = 0; x < img.Width; ++x) {
      const uint32_t c = img.Rgb(x, y);
      for (int k = 0; k < 3; ++k) {
        const int shift = 16 - 8 * k;
        const uint8_t want = static_cast<uint8_t>(Channel(c, shift) - Channel(left, shift));
        if (row[1 + x * 3 + k] != want) {
          ADD_FAILURE() << "row " << y << " pixel " << x << " channel " << k;
          return 0;
        }
      }
      left = c;
    }
  }
  return zdata.size();
}

TEST(Png, HoldsOnlyHeaderDataAndEndChunksWithSubFilteredRows) {
  const TTestImage img = Noise(300, 200, 32);  // noise: several IDAT chunks
  const TBytes file = EncodePng(img.View());
  ExpectPngLayout(img, file);
  EXPECT_GT(PngChunks(file).size(), 4u) << "noise of this size needs more than one IDAT chunk";
}

TPngSettings Blocks(size_t blockBytes, unsigned threads) {
  TPngSettings s;
  s.BlockBytes = blockBytes;
  s.Threads = threads;
  return s;
}

// Rows deflated in blocks on several threads: every split and thread count must give the
// same file, which libpng and stb_image read back as the source pixels.
void ExpectBlocksDecode(const TTestImage& img, size_t blockBytes, std::initializer_list<unsigned> threads) {
  const TBytes one = EncodePng(img.View(), Blocks(blockBytes, 1));
  ExpectPngLayout(img, one);
  ExpectSamePixels(img, DecodePng(one));
  ExpectSamePixels(img, DecodeStb(one));
  for (unsigned t : threads) EXPECT_TRUE(EncodePng(img.View(), Blocks(blockBytes, t)) == one) << t << " threads";
}

TEST(Png, BlocksOnAnyNumberOfThreadsGiveOneFileThatDecodesToTheSource) {
  struct TCase {
    const char* What;
    int W, H, Bpp;
    size_t BlockBytes;
  };
  const TCase cases[] = {
      {"one row, wider than a block", 20000, 1, 32, 1000},
      {"one column, dictionary over many blocks", 1, 20000, 24, 1000},
      {"rows not divisible into blocks", 101, 37, 32, 5 * 304},
      {"a block per row, more threads than rows", 50, 3, 24, 1},
      {"blocks smaller than a row", 333, 70, 32, 500},
      {"dictionary shorter than the window", 640, 60, 32, 9000},
      {"blocks larger than the window", 700, 300, 24, 100000},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    ExpectBlocksDecode(Noise(c.W, c.H, c.Bpp), c.BlockBytes, {2, 3, 16});
  }
  // Long matches across block boundaries: each block must see the rows above it.
  TTestImage stripes(400, 300, 32);
  stripes.Fill([](int x, int y) { return static_cast<uint32_t>((x / 7 + y / 3) % 5) * 0x334455u; });
  ExpectBlocksDecode(stripes, 12000, {2, 5});
}

TEST(Png, RandomGeometriesSplitsAndThreads) {
  TLcg rnd(2024);
  for (int i = 0; i < 40; ++i) {
    const int w = 1 + static_cast<int>(rnd.Next() % 200), h = 1 + static_cast<int>(rnd.Next() % 200);
    const int bpp = rnd.Next() % 2 ? 24 : 32;
    const size_t blockBytes = 1 + rnd.Next() % 40000;
    const unsigned threads = 2 + rnd.Next() % 7;
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " " + std::to_string(bpp) + " bpp, blocks of " +
                 std::to_string(blockBytes) + ", " + std::to_string(threads) + " threads");
    const TTestImage img = i % 2 ? Noise(w, h, bpp, static_cast<uint32_t>(i)) : Photo(w, h, bpp);
    const TBytes file = EncodePng(img.View(), Blocks(blockBytes, threads));
    ExpectSamePixels(img, DecodePng(file));
    EXPECT_TRUE(file == EncodePng(img.View(), Blocks(blockBytes, 1)));
  }
}

TEST(Png, BlocksOnEveryCoreCostLessThanOnePercentOverOneStream) {
  // A desktop in blocks of 64 KB: 24 blocks, as many as a full-HD picture has at the
  // encoder's usual block size.
  const TTestImage img = MakeScreenshot(960, 540);
  const TBytes single = EncodePng(img.View(), Blocks(SIZE_MAX, 1));
  const TBytes parallel = EncodePng(img.View(), Blocks(64 * 1024, 0));
  ExpectPngLayout(img, parallel);
  ExpectSamePixels(img, DecodeStb(parallel));
  // Blocks end in flushes and start afresh with Huffman codes of their own: never more
  // than 1% larger (on screen pictures often a little smaller).
  EXPECT_LT(static_cast<double>(parallel.size()), 1.01 * static_cast<double>(single.size()));
  // The usual block size gives the same file as one stream for a picture of one block.
  const TTestImage small = MakeScreenshot(160, 100);
  EXPECT_TRUE(EncodePng(small.View()) == EncodePng(small.View(), Blocks(SIZE_MAX, 1)));
}

// The picture is copied in bands while the encoder runs: its workers must read no row
// before it is published (unpublished rows hold other bytes), and a copy that stops must not
// leave them waiting.
TEST(Png, APictureFilledWhileItIsEncodedGivesTheFileOfTheWholePicture) {
  const TTestImage source = MakeScreenshot(500, 400);
  const TBytes expected = EncodePng(source.View(), Blocks(30000, 1));
  for (int band : {1, 7, 64, 400}) {
    SCOPED_TRACE("bands of " + std::to_string(band) + " rows");
    TTestImage target(source.Width, source.Height, source.Bpp);  // every byte 0xCD until copied
    TRowGate gate;
    TPngSettings s = Blocks(30000, 4);
    s.Rows = &gate;
    std::thread filler([&] {
      for (int y = 0; y < source.Height; y += band) {
        const int rows = std::min(band, source.Height - y);
        std::this_thread::sleep_for(std::chrono::microseconds(300));
        std::memcpy(target.Px(0, y), source.Px(0, y), static_cast<size_t>(source.Stride) * rows);
        gate.Publish(y + rows);
      }
    });
    const TBytes file = EncodePng(target.View(), s);
    filler.join();
    EXPECT_TRUE(file == expected);
  }

  TTestImage half(300, 200, 32);
  TRowGate gate;
  TPngSettings s = Blocks(10000, 3);
  s.Rows = &gate;
  std::thread filler([&] {
    gate.Publish(100);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    gate.Abandon();
  });
  EXPECT_THROW(EncodePng(half.View(), s), EEncoderError);
  filler.join();
}

// ---- JPEG

TEST(Jpeg, BaselineColourFileCloseToTheSource) {
  for (int bpp : {24, 32}) {
    SCOPED_TRACE(std::to_string(bpp) + " bpp");
    const TTestImage img = Photo(200, 120, bpp);
    const TBytes file = EncodeJpeg(img.View(), 90);
    const TJpegInfo info = DecodeJpeg(file);
    EXPECT_EQ(info.Components, 3);
    EXPECT_FALSE(info.Progressive);
    EXPECT_TRUE(info.Jfif);
    // The frame is baseline (SOF0) and nothing else.
    bool sof0 = false, otherSof = false;
    for (size_t i = 2; i + 1 < file.size(); ++i) {
      if (file[i] != 0xFF) continue;
      const uint8_t m = file[i + 1];
      if (m == 0xC0) sof0 = true;
      if (m >= 0xC1 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC) otherSof = true;
      if (m == 0xDA) break;  // start of scan: entropy-coded data follows
    }
    EXPECT_TRUE(sof0);
    EXPECT_FALSE(otherSof);
    ASSERT_EQ(info.Pixels.Width, 200);
    ASSERT_EQ(info.Pixels.Height, 120);
    EXPECT_LT(MeanError(img, info.Pixels), 3.0);
  }
}

TEST(Jpeg, QualityOrdersSizeAndErrorAndHundredIsStillLossy) {
  const TTestImage img = Photo(160, 160, 32);
  const TBytes q60 = EncodeJpeg(img.View(), 60), q100 = EncodeJpeg(img.View(), 100);
  EXPECT_GT(q100.size(), q60.size());
  const double e60 = MeanError(img, DecodeJpeg(q60).Pixels), e100 = MeanError(img, DecodeJpeg(q100).Pixels);
  EXPECT_LT(e100, e60);
  EXPECT_GT(e100, 0.0);
}

// ---- GIF

TEST(Gif, FewColoursAreKeptExactlyForEveryCodeWidth) {
  // Random pixels from palettes of these sizes exercise the LZW code widths, the table
  // resets and the smallest code size.
  for (int colours : {1, 2, 3, 5, 17, 64, 200, 256}) {
    SCOPED_TRACE(std::to_string(colours) + " colours");
    std::vector<uint32_t> palette;
    TLcg rnd(static_cast<uint32_t>(colours));
    for (int i = 0; i < colours; ++i) palette.push_back(rnd.Next() & 0xFCFCFC);  // distinct in the top 6 bits
    std::sort(palette.begin(), palette.end());
    palette.erase(std::unique(palette.begin(), palette.end()), palette.end());
    TTestImage img(257, 181, colours % 2 ? 24 : 32);
    img.Fill([&](int, int) { return palette[rnd.Next() % palette.size()]; });
    const TGifInfo gif = DecodeGif(EncodeGif(img.View()));
    ASSERT_EQ(gif.Error, 0);
    EXPECT_EQ(gif.Images, 1);
    EXPECT_EQ(gif.Extensions, 0);  // no transparency, no animation
    EXPECT_LE(gif.PaletteEntries, 256);
    ExpectSamePixels(img, gif.Pixels);
  }
}

TEST(Gif, ScreenshotUsesAtMost256ColoursCloseToTheSource) {
  const TTestImage img = MakeScreenshot(640, 400);
  const TGifInfo gif = DecodeGif(EncodeGif(img.View()));
  ASSERT_EQ(gif.Error, 0);
  EXPECT_LE(gif.PaletteEntries, 256);
  ASSERT_EQ(gif.Pixels.Width, 640);
  EXPECT_LT(MeanError(img, gif.Pixels), 4.0);
}

TEST(Gif, ErrorDiffusionKeepsTheAverageOfAGreyRamp) {
  // A grey ramp above a band of random colours: the palette can only give the ramp coarse
  // steps. Mapping each pixel to its nearest palette colour shifts every column by up to
  // half a step; error diffusion mixes neighbouring steps so each column keeps its grey.
  TTestImage img(256, 80, 32);
  TLcg rnd(3);
  img.Fill([&](int x, int y) { return y < 64 ? PackRgb(x, x, x) : rnd.Next() & 0xFFFFFF; });
  const TBytes file = EncodeGif(img.View());
  const TGifInfo gif = DecodeGif(file);
  ASSERT_EQ(gif.Pixels.Width, 256);
  ASSERT_EQ(gif.PaletteEntries, 256);
  double dithered = 0, nearest = 0;
  for (int x = 8; x < 248; ++x) {
    double sum = 0;
    for (int y = 0; y < 64; ++y) sum += Channel(gif.Pixels.At(x, y), 16);
    dithered += std::abs(sum / 64 - x);
    int bestRed = 0;  // the red of the palette colour nearest to this grey
    for (int i = 0, bd = 1 << 30; i < 256; ++i) {
      const uint8_t* c = &file[13 + 3 * i];
      const int d = (c[0] - x) * (c[0] - x) + (c[1] - x) * (c[1] - x) + (c[2] - x) * (c[2] - x);
      if (d < bd) bd = d, bestRed = c[0];
    }
    nearest += std::abs(bestRed - x);
  }
  dithered /= 240, nearest /= 240;
  EXPECT_LT(dithered, 2.5);
  EXPECT_LT(dithered * 3, nearest);
}

TEST(Gif, RowsDitheredOnSeveralThreadsGiveTheSameFile) {
  // Photographs carry error into every pixel and reach cells outside the palette's tree;
  // widths around the step at which rows report their progress.
  for (auto [w, h] : {std::pair{1, 40}, {63, 50}, {64, 31}, {65, 47}, {130, 90}, {700, 120}}) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    const TTestImage img = Photo(w, h, w % 2 ? 24 : 32);
    const TBytes one = EncodeGif(img.View(), 1);
    EXPECT_LT(MeanError(img, DecodeGif(one).Pixels), 6.0);
    for (unsigned threads : {2u, 3u, 8u}) EXPECT_TRUE(EncodeGif(img.View(), threads) == one) << threads << " threads";
  }
}

TEST(Gif, ColoursOfOneCellBecomeTheirMean) {
  // 100 and 103 share their top six bits: one palette colour, their rounded mean.
  TTestImage img(4, 1, 32);
  img.Fill([](int x, int) { return x % 2 ? 0x646464u : 0x676767u; });
  const TGifInfo gif = DecodeGif(EncodeGif(img.View()));
  ASSERT_EQ(gif.Pixels.Width, 4);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(gif.Pixels.At(x, 0), 0x666666u) << x;
}

// ---- BMP

TEST(Bmp, KeepsThePixelFormatAndEveryByte) {
  for (int bpp : {24, 32}) {
    SCOPED_TRACE(std::to_string(bpp) + " bpp");
    TTestImage img = Noise(37, 23, bpp);
    if (bpp == 32)
      for (int y = 0; y < img.Height; ++y)
        for (int x = 0; x < img.Width; ++x) img.Px(x, y)[3] = static_cast<uint8_t>(x + y);  // kept as it is
    const TBytes file = EncodeBmp(img.View());
    ASSERT_GE(file.size(), 54u);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    auto le = [&](size_t at, int n) {
      uint32_t v = 0;
      for (int i = n - 1; i >= 0; --i) v = (v << 8) | file[at + i];
      return v;
    };
    EXPECT_EQ(le(2, 4), file.size());
    EXPECT_EQ(le(14, 4), 40u);
    EXPECT_EQ(le(28, 2), static_cast<uint32_t>(bpp));
    EXPECT_EQ(le(30, 4), 0u);  // uncompressed
    const uint32_t offset = le(10, 4);
    const size_t stride = (37 * bpp / 8 + 3) / 4 * 4;
    ASSERT_EQ(file.size(), offset + stride * 23);
    for (int y = 0; y < 23; ++y)  // bottom-up rows
      EXPECT_EQ(std::memcmp(&file[offset + stride * (22 - y)], img.Px(0, y), 37 * bpp / 8), 0) << "row " << y;

    ExpectSamePixels(img, DecodeStb(file));
  }
}

// ---- WebP

TEST(WebP, LossyOpaqueFileCloseToTheSourceEvenAtQualityHundred) {
  TTestImage opaque = Photo(120, 90, 32, 8);
  for (int y = 0; y < opaque.Height; ++y)
    for (int x = 0; x < opaque.Width; ++x) opaque.Px(x, y)[3] = 255;
  // A capture's fourth byte is 0; the file must still be opaque.
  const TTestImage capture = Photo(120, 90, 32);
  for (auto [q, source] : {std::pair{60, &capture}, {100, &capture}, {90, &opaque}}) {
    const TTestImage& img = *source;
    SCOPED_TRACE("quality " + std::to_string(q));
    const TBytes file = EncodeWebP(img.View(), q, WebPEncodeBGRA, WebPFree);
    ASSERT_GE(file.size(), 16u);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(file.begin() + 8, file.begin() + 12), "WEBP");
    // A simple lossy file: one "VP8 " chunk, no alpha or lossless chunk.
    EXPECT_EQ(std::string(file.begin() + 12, file.begin() + 16), "VP8 ");
    WebPBitstreamFeatures features{};
    ASSERT_EQ(WebPGetFeatures(file.data(), file.size(), &features), VP8_STATUS_OK);
    EXPECT_FALSE(features.has_alpha);
    EXPECT_EQ(features.format, 1);  // lossy
    const TDecoded d = DecodeWebP(file);
    ASSERT_EQ(d.Width, 120);
    ASSERT_EQ(d.Height, 90);
    EXPECT_LT(MeanError(img, d), q == 100 ? 2.0 : 5.0);
  }
}

TEST(WebP, AnEncoderThatGivesNothingIsAFailure) {
  const TTestImage img = Photo(8, 8, 32);
  auto none = [](const uint8_t*, int, int, int, float, uint8_t** out) -> size_t {
    *out = nullptr;
    return 0;
  };
  EXPECT_THROW(EncodeWebP(img.View(), 90, none, WebPFree), EEncoderError);
  const TTestImage rgb24 = Photo(8, 8, 24);
  EXPECT_THROW(EncodeWebP(rgb24.View(), 90, WebPEncodeBGRA, WebPFree), EEncoderError);
}

// ---- every encoder

TEST(Encoders, RefuseAnEmptyPicture) {
  TPixelView empty;
  TTestImage img(4, 4, 32);
  TPixelView noRows = img.View();
  noRows.Height = 0;
  for (const TPixelView& v : {empty, noRows}) {
    EXPECT_THROW(EncodePng(v), EEncoderError);
    EXPECT_THROW(EncodeJpeg(v, 90), EEncoderError);
    EXPECT_THROW(EncodeGif(v), EEncoderError);
    EXPECT_THROW(EncodeBmp(v), EEncoderError);
    EXPECT_THROW(EncodeWebP(v, 90, WebPEncodeBGRA, WebPFree), EEncoderError);
  }
}

}  // namespace
