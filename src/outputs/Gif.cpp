// GIF writer: an octree palette, Floyd-Steinberg error diffusion (on every core for large
// pictures), LZW with 12-bit codes.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

#include "base/Workers.h"
#include "outputs/Encoders.h"

namespace {

constexpr int kDepth = 6;                       // bits per channel that tell colours apart
constexpr int kBins = 1 << (3 * kDepth);        // 262,144 leaf positions
constexpr int kMaxColors = 256;

inline int BinOf(int r, int g, int b) { return ((r >> 2) << 12) | ((g >> 2) << 6) | (b >> 2); }

struct TNode {
  uint64_t R = 0, G = 0, B = 0, Count = 0;  // sums over the node's whole subtree
  int32_t Child[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
  int32_t Parent = -1;
  int32_t Leaves = 0;  // leaves in the subtree
  uint32_t Key = 0;    // the path: `Level` bits per channel
  uint8_t Level = 0;
  bool Leaf = false;
};

struct TPalette {
  int Size = 0;
  uint8_t Rgb[kMaxColors][3] = {};
};

// Builds the octree from the colour histogram, merges the leaves with the fewest pixels
// (deepest level first) until at most 256 remain, and fills `lut` with the palette index
// of every 6-bit colour the tree covers (-1 for colours of no branch).
// Pixel count and channel sums of every 6-bit colour cell. 32-bit sums hold up to
// 16,843,009 pixels of value 255; larger pictures take 64-bit ones.
template <typename TSum>
struct TBin {
  TSum R, G, B, Count;
};

template <typename TSum>
std::unique_ptr<TBin<TSum>[]> Histogram(const TPixelView& image) {
  std::unique_ptr<TBin<TSum>[]> bins(new TBin<TSum>[kBins]());
  const int bpp = image.BytesPerPixel();
  for (int y = 0; y < image.Height; ++y) {
    const uint8_t* p = image.Row(y);
    for (int x = 0; x < image.Width; ++x, p += bpp) {
      TBin<TSum>& bin = bins[BinOf(p[2], p[1], p[0])];
      bin.R += p[2];
      bin.G += p[1];
      bin.B += p[0];
      ++bin.Count;
    }
  }
  return bins;
}

template <typename TSum>
TPalette Quantize(const TPixelView& image, int16_t* lut) {
  const std::unique_ptr<TBin<TSum>[]> bins = Histogram<TSum>(image);
  std::vector<TNode> nodes(1);
  nodes.reserve(4096);
  std::vector<int32_t> byLevel[kDepth];
  byLevel[0].push_back(0);
  int leaves = 0;
  for (int key = 0; key < kBins; ++key) {
    const TBin<TSum>& bin = bins[key];
    if (!bin.Count) continue;
    const int r = key >> 12, g = (key >> 6) & 63, b = key & 63;
    int32_t at = 0;
    for (int level = 0;; ++level) {
      TNode& n = nodes[at];
      n.R += bin.R, n.G += bin.G, n.B += bin.B, n.Count += bin.Count;
      ++n.Leaves;
      if (level == kDepth) {
        n.Leaf = true;
        break;
      }
      const int shift = kDepth - 1 - level;
      const int i = (((r >> shift) & 1) << 2) | (((g >> shift) & 1) << 1) | ((b >> shift) & 1);
      if (nodes[at].Child[i] < 0) {
        TNode child;
        child.Parent = at;
        child.Level = static_cast<uint8_t>(level + 1);
        const int lvl = level + 1, down = kDepth - lvl;
        child.Key = (static_cast<uint32_t>(r >> down) << (2 * lvl)) | (static_cast<uint32_t>(g >> down) << lvl) |
                    static_cast<uint32_t>(b >> down);
        nodes.push_back(child);
        const int32_t id = static_cast<int32_t>(nodes.size() - 1);
        nodes[at].Child[i] = id;
        if (level + 1 < kDepth) byLevel[level + 1].push_back(id);
      }
      at = nodes[at].Child[i];
    }
    ++leaves;
  }

  // Merging a node turns its subtree into one leaf holding the subtree's sums.
  for (int level = kDepth - 1; level >= 0 && leaves > kMaxColors; --level) {
    std::vector<int32_t>& list = byLevel[level];
    std::stable_sort(list.begin(), list.end(),
                     [&](int32_t a, int32_t b) { return nodes[a].Count < nodes[b].Count; });
    for (int32_t id : list) {
      if (leaves <= kMaxColors) break;
      TNode& n = nodes[id];
      if (n.Leaf || n.Leaves < 2) continue;
      const int32_t gone = n.Leaves - 1;
      leaves -= gone;
      n.Leaf = true;
      n.Leaves = 1;
      for (int32_t up = n.Parent; up >= 0; up = nodes[up].Parent) nodes[up].Leaves -= gone;
    }
  }

  // Palette in tree order; each leaf's sub-cube of 6-bit colours maps to it.
  TPalette pal;
  std::fill(lut, lut + kBins, static_cast<int16_t>(-1));
  std::vector<int32_t> stack{0};
  while (!stack.empty()) {
    const int32_t id = stack.back();
    stack.pop_back();
    const TNode& n = nodes[id];
    if (!n.Leaf) {
      for (int i = 7; i >= 0; --i)
        if (n.Child[i] >= 0) stack.push_back(n.Child[i]);
      continue;
    }
    const int index = pal.Size++;
    const uint64_t half = n.Count / 2;
    pal.Rgb[index][0] = static_cast<uint8_t>((n.R + half) / n.Count);
    pal.Rgb[index][1] = static_cast<uint8_t>((n.G + half) / n.Count);
    pal.Rgb[index][2] = static_cast<uint8_t>((n.B + half) / n.Count);
    const int level = n.Level, span = 1 << (kDepth - level);
    const uint32_t mask = (1u << level) - 1;
    const int r0 = static_cast<int>((n.Key >> (2 * level)) & mask) * span;
    const int g0 = static_cast<int>((n.Key >> level) & mask) * span;
    const int b0 = static_cast<int>(n.Key & mask) * span;
    for (int r = r0; r < r0 + span; ++r)
      for (int g = g0; g < g0 + span; ++g)
        for (int b = b0; b < b0 + span; ++b) lut[(r << 12) | (g << 6) | b] = static_cast<int16_t>(index);
  }
  return pal;
}

// Nearest palette colour: the entries sorted by red are searched outward from `r`, and
// the search stops on each side once the red difference alone exceeds the best distance.
class TNearest {
 public:
  explicit TNearest(const TPalette& pal) : FPal(pal) {
    for (int i = 0; i < pal.Size; ++i) FOrder[i] = static_cast<uint8_t>(i);
    std::stable_sort(FOrder, FOrder + pal.Size, [&](uint8_t a, uint8_t b) { return pal.Rgb[a][0] < pal.Rgb[b][0]; });
  }
  int Find(int r, int g, int b) const {
    const int n = FPal.Size;
    int hi = static_cast<int>(std::lower_bound(FOrder, FOrder + n, r, [&](uint8_t i, int v) { return FPal.Rgb[i][0] < v; }) - FOrder);
    int lo = hi - 1, best = FOrder[hi < n ? hi : n - 1], bestDist = 1 << 30;
    while (lo >= 0 || hi < n) {
      if (hi < n) {
        const uint8_t* c = FPal.Rgb[FOrder[hi]];
        const int dr = c[0] - r;
        if (dr * dr >= bestDist) hi = n;
        else {
          const int d = dr * dr + (c[1] - g) * (c[1] - g) + (c[2] - b) * (c[2] - b);
          if (d < bestDist) bestDist = d, best = FOrder[hi];
          ++hi;
        }
      }
      if (lo >= 0) {
        const uint8_t* c = FPal.Rgb[FOrder[lo]];
        const int dr = c[0] - r;
        if (dr * dr >= bestDist) lo = -1;
        else {
          const int d = dr * dr + (c[1] - g) * (c[1] - g) + (c[2] - b) * (c[2] - b);
          if (d < bestDist) bestDist = d, best = FOrder[lo];
          --lo;
        }
      }
    }
    return best;
  }

 private:
  const TPalette& FPal;
  uint8_t FOrder[kMaxColors];
};

inline int Clamp255(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

// Floyd-Steinberg: 7/16 to the right, 3/16, 5/16, 1/16 to the row below. Errors are kept
// in sixteenths. Colours outside every branch of the tree take the palette colour nearest
// to their 6-bit cell's centre, found once per cell.
//
// Rows are dithered on every core at once, each a little behind the row above it: a pixel
// is taken only once the row above has passed the pixel below-right of it, so that all the
// error it receives from there is in. Every thread count gives the same indices.
class TDitherer {
 public:
  TDitherer(const TPixelView& image, const TPalette& pal, int16_t* lut, unsigned threads)
      : FImage(image), FPal(pal), FLut(lut), FNearest(pal), FThreads(threads),
        FIndices(static_cast<size_t>(image.Width) * image.Height),
        FErrors(static_cast<size_t>(threads + 1) * (image.Width + 2) * 3),
        FDone(static_cast<size_t>(image.Height)) {}

  std::vector<uint8_t> Run() {
    // Rows are taken in order, so the row above is always in someone's hands; a thread that
    // cannot be started leaves the rows to the others.
    auto work = [this] {
      for (int y; (y = FNextRow.fetch_add(1)) < FImage.Height;) Row(y);
    };
    RunOnWorkers(FThreads, [&](unsigned) { work(); });
    return std::move(FIndices);
  }

 private:
  static constexpr int kStep = 64;  // pixels between two reports of a row's progress

  // Error rows in a ring: row y receives in slot y and passes down into slot y + 1. With
  // n threads a row starts only after every row n or more above it has ended, so n + 1
  // slots never serve two unfinished rows.
  int32_t* Errors(int y) {
    return FErrors.data() + static_cast<size_t>(y % static_cast<int>(FThreads + 1)) * (FImage.Width + 2) * 3;
  }

  // Until the row above has finished its first `pixels` pixels.
  void WaitAbove(int y, int pixels) {
    if (y == 0 || FThreads == 1) return;
    for (int spins = 0; FDone[static_cast<size_t>(y - 1)].load(std::memory_order_acquire) < pixels; ++spins)
      if (spins > 64) std::this_thread::yield();
  }

  int Index(int r, int g, int b) {
    const int bin = BinOf(r, g, b);
    // Cells are filled in as pixels reach them, by whichever thread comes first; every
    // thread finds the same colour for a cell.
    std::atomic_ref<int16_t> cell(FLut[bin]);
    int index = cell.load(std::memory_order_relaxed);
    if (index < 0) {
      index = FNearest.Find(((r >> 2) << 2) + 2, ((g >> 2) << 2) + 2, ((b >> 2) << 2) + 2);
      cell.store(static_cast<int16_t>(index), std::memory_order_relaxed);
    }
    return index;
  }

  void Row(int y) {
    const int w = FImage.Width, bpp = FImage.BytesPerPixel();
    int32_t* cur = Errors(y);
    int32_t* next = Errors(y + 1);
    std::fill(next, next + (w + 2) * 3, 0);
    const uint8_t* p = FImage.Row(y);
    uint8_t* out = FIndices.data() + static_cast<size_t>(y) * w;
    std::atomic<int>& done = FDone[static_cast<size_t>(y)];
    // Flat areas of a colour the palette holds exactly carry no error: such a run repeats
    // its index without any lookup.
    uint32_t lastColor = 0xFFFFFFFFu;
    int lastIndex = 0;
    for (int x = 0; x < w; ++x, p += bpp) {
      if (x % kStep == 0) {
        done.store(x, std::memory_order_release);
        // The row above writes this row's errors up to one pixel left of where it is.
        WaitAbove(y, std::min(w, x + kStep + 2));
      }
      int32_t* e = cur + (x + 1) * 3;
      const uint32_t color = (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
      if ((e[0] | e[1] | e[2]) == 0 && color == lastColor) {
        out[x] = static_cast<uint8_t>(lastIndex);
        continue;
      }
      lastColor = 0xFFFFFFFFu;
      const int r = Clamp255(p[2] + ((e[0] + 8) >> 4));
      const int g = Clamp255(p[1] + ((e[1] + 8) >> 4));
      const int b = Clamp255(p[0] + ((e[2] + 8) >> 4));
      const int index = Index(r, g, b);
      out[x] = static_cast<uint8_t>(index);
      const int er = r - FPal.Rgb[index][0], eg = g - FPal.Rgb[index][1], eb = b - FPal.Rgb[index][2];
      if ((er | eg | eb) == 0) {
        if ((e[0] | e[1] | e[2]) == 0) lastColor = color, lastIndex = index;
        continue;
      }
      int32_t* right = e + 3;
      int32_t* below = next + (x + 1) * 3;
      right[0] += er * 7, right[1] += eg * 7, right[2] += eb * 7;
      below[-3] += er * 3, below[-2] += eg * 3, below[-1] += eb * 3;
      below[0] += er * 5, below[1] += eg * 5, below[2] += eb * 5;
      below[3] += er, below[4] += eg, below[5] += eb;
    }
    done.store(w, std::memory_order_release);
  }

  const TPixelView& FImage;
  const TPalette& FPal;
  int16_t* FLut;
  const TNearest FNearest;
  unsigned FThreads;
  std::vector<uint8_t> FIndices;
  std::vector<int32_t> FErrors;
  std::vector<std::atomic<int>> FDone;  // pixels each row has finished
  std::atomic<int> FNextRow{0};
};

// LZW codes, least significant bit first, in data sub-blocks of at most 255 bytes.
class TLzwWriter {
 public:
  explicit TLzwWriter(std::vector<uint8_t>& out) : FOut(out) {}
  void Put(int code, int bits) {
    FAcc |= static_cast<uint32_t>(code) << FBits;
    FBits += bits;
    while (FBits >= 8) {
      Byte(static_cast<uint8_t>(FAcc));
      FAcc >>= 8;
      FBits -= 8;
    }
  }
  void Finish() {
    if (FBits > 0) Byte(static_cast<uint8_t>(FAcc));
    FAcc = 0, FBits = 0;
    if (FBlockLen) Flush();
    FOut.push_back(0);  // block terminator
  }

 private:
  void Byte(uint8_t b) {
    FBlock[FBlockLen++] = b;
    if (FBlockLen == 255) Flush();
  }
  void Flush() {
    FOut.push_back(static_cast<uint8_t>(FBlockLen));
    FOut.insert(FOut.end(), FBlock, FBlock + FBlockLen);
    FBlockLen = 0;
  }
  std::vector<uint8_t>& FOut;
  uint32_t FAcc = 0;
  int FBits = 0;
  uint8_t FBlock[255];
  int FBlockLen = 0;
};

void CompressLzw(const std::vector<uint8_t>& indices, int minCodeSize, std::vector<uint8_t>& out) {
  constexpr int kMaxCode = 4096;
  constexpr int kHashSize = 8192;  // power of two, under half full at most
  std::vector<int32_t> keys(kHashSize);
  std::vector<uint16_t> codes(kHashSize);
  const int clear = 1 << minCodeSize, eoi = clear + 1;
  int next = 0, codeSize = 0;
  auto reset = [&] {
    std::fill(keys.begin(), keys.end(), -1);
    next = clear + 2;
    codeSize = minCodeSize + 1;
  };
  // The decoder widens its codes once the code it would assign next reaches 2^size; the
  // encoder does the same after each code it writes, the last one included.
  auto widen = [&] {
    if (next == (1 << codeSize) && codeSize < 12) ++codeSize;
  };
  TLzwWriter writer(out);
  out.push_back(static_cast<uint8_t>(minCodeSize));
  reset();
  writer.Put(clear, codeSize);
  int prefix = indices[0];
  for (size_t i = 1; i < indices.size(); ++i) {
    const int k = indices[i];
    const int32_t key = (prefix << 8) | k;
    uint32_t h = (static_cast<uint32_t>(key) * 2654435761u) >> (32 - 13);
    while (keys[h] >= 0 && keys[h] != key) h = (h + 1) & (kHashSize - 1);
    if (keys[h] == key) {
      prefix = codes[h];
      continue;
    }
    writer.Put(prefix, codeSize);
    keys[h] = key;
    codes[h] = static_cast<uint16_t>(next);
    widen();
    if (++next == kMaxCode) {
      writer.Put(clear, codeSize);
      reset();
    }
    prefix = k;
  }
  writer.Put(prefix, codeSize);
  widen();
  writer.Put(eoi, codeSize);
  writer.Finish();
}

void PutU16(std::vector<uint8_t>& out, int v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

}  // namespace

std::vector<uint8_t> EncodeGif(const TPixelView& image, unsigned threads) {
  CheckPicture(image);
  if (image.Width > 65535 || image.Height > 65535) throw EEncoderError(L"The picture is too large for a GIF file.");
  std::unique_ptr<int16_t[]> lut(new int16_t[kBins]);
  const bool small = static_cast<uint64_t>(image.Width) * static_cast<uint64_t>(image.Height) <= 16843009u;
  const TPalette pal = small ? Quantize<uint32_t>(image, lut.get()) : Quantize<uint64_t>(image, lut.get());
  // By default threads only for pictures large enough to pay for them (tens of ms of work).
  const uint64_t pixels = static_cast<uint64_t>(image.Width) * static_cast<uint64_t>(image.Height);
  if (!threads) threads = pixels < 512 * 1024 ? 1u : std::max(1u, std::thread::hardware_concurrency());
  threads = std::min<unsigned>(threads, static_cast<unsigned>(image.Height));
  const std::vector<uint8_t> indices = TDitherer(image, pal, lut.get(), threads).Run();

  int bits = 1;
  while ((1 << bits) < pal.Size) ++bits;
  std::vector<uint8_t> out;
  out.reserve(indices.size() / 2 + 1024);
  static const char kHeader[] = "GIF89a";
  out.insert(out.end(), kHeader, kHeader + 6);
  PutU16(out, image.Width);
  PutU16(out, image.Height);
  out.push_back(static_cast<uint8_t>(0x80 | 0x70 | (bits - 1)));  // global table, 8-bit colour resolution
  out.push_back(0);  // background colour index
  out.push_back(0);  // no aspect ratio
  for (int i = 0; i < (1 << bits); ++i)
    for (int c = 0; c < 3; ++c) out.push_back(i < pal.Size ? pal.Rgb[i][c] : 0);
  out.push_back(0x2C);  // image descriptor: the whole canvas, no local table, not interlaced
  PutU16(out, 0);
  PutU16(out, 0);
  PutU16(out, image.Width);
  PutU16(out, image.Height);
  out.push_back(0);
  CompressLzw(indices, std::max(2, bits), out);
  out.push_back(0x3B);
  return out;
}
