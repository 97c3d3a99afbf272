// Draws the application icons procedurally and writes them as Windows .ico files.
//
//   g++ -O2 -std=c++17 resources/icons/draw_icons.cpp -o /tmp/draw_icons
//   /tmp/draw_icons resources/icons
//
// Everything (shapes, PNG, deflate, checksums) is done here with the standard library only,
// so the icons can be regenerated on any host. The output is byte-identical on every run:
// no clocks, no randomness, no hash-order dependence.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// ---------------------------------------------------------------------------------------------
// Byte helpers

void put8(Bytes& out, uint32_t v) { out.push_back(static_cast<uint8_t>(v)); }

void put16le(Bytes& out, uint32_t v) {
  put8(out, v);
  put8(out, v >> 8);
}

void put32le(Bytes& out, uint32_t v) {
  put16le(out, v);
  put16le(out, v >> 16);
}

void put32be(Bytes& out, uint32_t v) {
  put8(out, v >> 24);
  put8(out, v >> 16);
  put8(out, v >> 8);
  put8(out, v);
}

void append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

// ---------------------------------------------------------------------------------------------
// Checksums

uint32_t crc32(const uint8_t* data, size_t size) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

uint32_t adler32(const Bytes& data) {
  uint32_t a = 1, b = 0;
  for (uint8_t byte : data) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

// ---------------------------------------------------------------------------------------------
// Deflate: LZ77 with hash chains, emitted as a single block of fixed Huffman codes.
// Fixed codes avoid writing code tables; for these small, smooth images that costs little.

class BitWriter {
 public:
  // Deflate packs ordinary values least-significant bit first.
  void bits(uint32_t value, int count) {
    for (int i = 0; i < count; ++i) pushBit((value >> i) & 1);
  }
  // Huffman codes, however, are packed most-significant bit first.
  void code(uint32_t value, int length) {
    for (int i = length - 1; i >= 0; --i) pushBit((value >> i) & 1);
  }
  Bytes finish() {
    if (used_ > 0) out_.push_back(static_cast<uint8_t>(acc_));
    return out_;
  }

 private:
  void pushBit(uint32_t bit) {
    acc_ |= bit << used_;
    if (++used_ == 8) {
      out_.push_back(static_cast<uint8_t>(acc_));
      acc_ = 0;
      used_ = 0;
    }
  }
  Bytes out_;
  uint32_t acc_ = 0;
  int used_ = 0;
};

// Fixed literal/length alphabet (symbols 0..287).
void writeSymbol(BitWriter& w, int sym) {
  if (sym < 144) w.code(0x30 + sym, 8);
  else if (sym < 256) w.code(0x190 + sym - 144, 9);
  else if (sym < 280) w.code(sym - 256, 7);
  else w.code(0xC0 + sym - 280, 8);
}

constexpr int kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                 31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr int kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr int kDistBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,
                               33,  49,  65,  97,  129, 193,  257,  385,  513,  769,
                               1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr int kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

void writeMatch(BitWriter& w, int length, int distance) {
  int li = 28;
  while (kLengthBase[li] > length) --li;
  writeSymbol(w, 257 + li);
  w.bits(length - kLengthBase[li], kLengthExtra[li]);
  int di = 29;
  while (kDistBase[di] > distance) --di;
  w.code(di, 5);  // fixed distance codes are plain 5-bit numbers
  w.bits(distance - kDistBase[di], kDistExtra[di]);
}

constexpr int kWindow = 32768;
constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 258;
constexpr int kMaxChain = 256;  // bounds the search; enough for icon-sized inputs
constexpr int kHashBits = 15;

uint32_t hash3(const Bytes& in, size_t i) {
  uint32_t v = in[i] | (in[i + 1] << 8) | (in[i + 2] << 16);
  return (v * 2654435761u) >> (32 - kHashBits);
}

struct Match {
  int length = 0;
  int distance = 0;
};

// Searches the hash chain of position i for the longest earlier match.
Match longestMatch(const Bytes& in, size_t i, const std::vector<int>& head,
                   const std::vector<int>& prev) {
  Match best;
  const size_t limit = std::min<size_t>(kMaxMatch, in.size() - i);
  int candidate = head[hash3(in, i)];
  for (int chain = 0; candidate >= 0 && chain < kMaxChain; ++chain) {
    const size_t distance = i - candidate;
    if (distance > kWindow) break;
    size_t n = 0;
    while (n < limit && in[candidate + n] == in[i + n]) ++n;
    if (static_cast<int>(n) > best.length) {
      best = {static_cast<int>(n), static_cast<int>(distance)};
      if (n == limit) break;
    }
    candidate = prev[candidate % kWindow];
  }
  return best;
}

Bytes deflateFixed(const Bytes& in) {
  BitWriter w;
  w.bits(1, 1);  // BFINAL: this is the only block
  w.bits(1, 2);  // BTYPE 01: fixed Huffman codes
  std::vector<int> head(1 << kHashBits, -1), prev(kWindow, -1);
  auto insert = [&](size_t pos) {
    if (pos + kMinMatch > in.size()) return;
    const uint32_t h = hash3(in, pos);
    prev[pos % kWindow] = head[h];
    head[h] = static_cast<int>(pos);
  };
  size_t i = 0;
  while (i < in.size()) {
    Match m;
    if (i + kMinMatch <= in.size()) m = longestMatch(in, i, head, prev);
    if (m.length >= kMinMatch) {
      writeMatch(w, m.length, m.distance);
      for (int k = 0; k < m.length; ++k) insert(i + k);
      i += m.length;
    } else {
      writeSymbol(w, in[i]);
      insert(i);
      ++i;
    }
  }
  writeSymbol(w, 256);  // end of block
  return w.finish();
}

Bytes zlibCompress(const Bytes& in) {
  Bytes out = {0x78, 0x01};  // deflate, 32 KiB window; header check bits make it a multiple of 31
  append(out, deflateFixed(in));
  put32be(out, adler32(in));
  return out;
}

// ---------------------------------------------------------------------------------------------
// Images

struct Rgba {
  float r = 0, g = 0, b = 0, a = 0;  // straight (not premultiplied) alpha, 0..1
};

struct Image {
  int size = 0;  // icons are square
  std::vector<Rgba> px;
  explicit Image(int n) : size(n), px(static_cast<size_t>(n) * n) {}
  Rgba& at(int x, int y) { return px[static_cast<size_t>(y) * size + x]; }
  const Rgba& at(int x, int y) const { return px[static_cast<size_t>(y) * size + x]; }
};

uint8_t toByte(float v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255)); }

// Source-over compositing of a colour with extra coverage onto a pixel.
void blend(Rgba& dst, const Rgba& src, float coverage) {
  const float sa = src.a * coverage;
  if (sa <= 0) return;
  const float outA = sa + dst.a * (1 - sa);
  auto mix = [&](float s, float d) { return (s * sa + d * dst.a * (1 - sa)) / outA; };
  dst = {mix(src.r, dst.r), mix(src.g, dst.g), mix(src.b, dst.b), outA};
}

// ---------------------------------------------------------------------------------------------
// PNG (RGBA, 8 bits per channel)

int paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

// Applies PNG filter `type` to one row; `up` is the previous unfiltered row (zeros for the first).
Bytes filterRow(const uint8_t* row, const uint8_t* up, size_t n, int type) {
  Bytes out(n);
  for (size_t i = 0; i < n; ++i) {
    const int a = i >= 4 ? row[i - 4] : 0, b = up[i], c = i >= 4 ? up[i - 4] : 0;
    const int predictor[5] = {0, a, b, (a + b) / 2, paeth(a, b, c)};
    out[i] = static_cast<uint8_t>(row[i] - predictor[type]);
  }
  return out;
}

// Picks, per row, the filter with the smallest sum of absolute residuals (the usual heuristic).
Bytes filterImage(const Bytes& raw, int width, int height) {
  const size_t stride = static_cast<size_t>(width) * 4;
  const Bytes zeros(stride, 0);
  Bytes out;
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = &raw[y * stride];
    const uint8_t* up = y > 0 ? &raw[(y - 1) * stride] : zeros.data();
    Bytes best;
    int bestType = 0;
    long bestCost = -1;
    for (int type = 0; type < 5; ++type) {
      Bytes f = filterRow(row, up, stride, type);
      long cost = 0;
      for (uint8_t v : f) cost += v < 128 ? v : 256 - v;
      if (bestCost < 0 || cost < bestCost) bestCost = cost, bestType = type, best = std::move(f);
    }
    put8(out, bestType);
    append(out, best);
  }
  return out;
}

void putChunk(Bytes& png, const char* type, const Bytes& data) {
  put32be(png, static_cast<uint32_t>(data.size()));
  Bytes body(type, type + 4);
  append(body, data);
  append(png, body);
  put32be(png, crc32(body.data(), body.size()));
}

Bytes encodePng(const Image& img) {
  Bytes raw;
  for (const Rgba& p : img.px) {
    const uint8_t a = toByte(p.a);
    // Fully transparent pixels get a fixed colour: smaller output and nothing left to chance.
    for (float c : {p.r, p.g, p.b}) put8(raw, a ? toByte(c) : 0);
    put8(raw, a);
  }
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes ihdr;
  put32be(ihdr, img.size);
  put32be(ihdr, img.size);
  for (int v : {8, 6, 0, 0, 0}) put8(ihdr, v);  // depth 8, RGBA, deflate, adaptive, no interlace
  putChunk(png, "IHDR", ihdr);
  putChunk(png, "IDAT", zlibCompress(filterImage(raw, img.size, img.size)));
  putChunk(png, "IEND", {});
  return png;
}

// ---------------------------------------------------------------------------------------------
// Palettes and quantisation for the classic low-colour icon images

struct Rgb {
  int r, g, b;
};

// The standard 16-colour palette in the order Windows uses for 4-bpp icons.
std::vector<Rgb> vgaPalette() {
  return {{0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
          {0, 0, 128},   {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
          {128, 128, 128}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
          {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
}

// A 6x6x6 colour cube (index r*36+g*6+b, so index 0 is black) followed by 40 extra greys.
std::vector<Rgb> cubePalette() {
  std::vector<Rgb> pal;
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b) pal.push_back({r * 51, g * 51, b * 51});
  for (int k = 1; k <= 40; ++k) {
    const int v = (k * 255 + 20) / 41;
    pal.push_back({v, v, v});
  }
  return pal;
}

int nearestIndex(const std::vector<Rgb>& pal, int r, int g, int b) {
  int best = 0;
  long bestDist = -1;
  for (size_t i = 0; i < pal.size(); ++i) {
    // Green weighs most and blue least, roughly as the eye does.
    const long dr = r - pal[i].r, dg = g - pal[i].g, db = b - pal[i].b;
    const long dist = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
    if (bestDist < 0 || dist < bestDist) bestDist = dist, best = static_cast<int>(i);
  }
  return best;
}

// Classic icons only know opaque or transparent; half-covered edge pixels go either way.
bool isOpaque(const Rgba& p) { return p.a >= 0.5f; }

// 4 bpp: plain nearest colour; dithering with 16 colours looks noisy at 16 and 32 pixels.
std::vector<int> quantise4(const Image& img) {
  const auto pal = vgaPalette();
  std::vector<int> idx;
  for (const Rgba& p : img.px)
    idx.push_back(isOpaque(p) ? nearestIndex(pal, toByte(p.r), toByte(p.g), toByte(p.b)) : 0);
  return idx;
}

// 8 bpp: nearest colour after a weak ordered (Bayer) offset. A full-strength dither turns these
// gentle gradients into a checkerboard; a quarter step each way only softens the band edges.
// Near-neutral pixels skip the offset so the white glyphs stay clean.
std::vector<int> quantise8(const Image& img) {
  static const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  const auto pal = cubePalette();
  std::vector<int> idx;
  for (int y = 0; y < img.size; ++y) {
    for (int x = 0; x < img.size; ++x) {
      const Rgba& p = img.at(x, y);
      if (!isOpaque(p)) {
        idx.push_back(0);
        continue;
      }
      int r = toByte(p.r), g = toByte(p.g), b = toByte(p.b);
      if (std::max({r, g, b}) - std::min({r, g, b}) >= 12) {
        const int offset = (bayer[y % 4][x % 4] * 2 - 15) * 51 / 64;  // about -12..+12
        r += offset, g += offset, b += offset;
      }
      idx.push_back(nearestIndex(pal, r, g, b));
    }
  }
  return idx;
}

// ---------------------------------------------------------------------------------------------
// BMP-format icon images: BITMAPINFOHEADER (height doubled for the mask), optional palette,
// XOR bitmap bottom-up, then the 1-bpp AND mask bottom-up; all rows padded to 4 bytes.

size_t rowBytes(int width, int bpp) { return ((static_cast<size_t>(width) * bpp + 31) / 32) * 4; }

void putInfoHeader(Bytes& out, int size, int bpp) {
  const size_t imageBytes = (rowBytes(size, bpp) + rowBytes(size, 1)) * size;
  put32le(out, 40);        // biSize
  put32le(out, size);      // biWidth
  put32le(out, size * 2);  // biHeight counts XOR bitmap and AND mask together
  put16le(out, 1);         // biPlanes
  put16le(out, bpp);       // biBitCount
  put32le(out, 0);         // biCompression: BI_RGB
  put32le(out, static_cast<uint32_t>(imageBytes));
  for (int i = 0; i < 4; ++i) put32le(out, 0);  // resolution, colours used/important
}

void putAndMask(Bytes& out, const Image& img) {
  for (int y = img.size - 1; y >= 0; --y) {
    Bytes row(rowBytes(img.size, 1), 0);
    for (int x = 0; x < img.size; ++x)
      if (!isOpaque(img.at(x, y))) row[x / 8] |= 0x80 >> (x % 8);
    append(out, row);
  }
}

Bytes encodeBmpIndexed(const Image& img, int bpp) {
  const auto pal = bpp == 4 ? vgaPalette() : cubePalette();
  const auto idx = bpp == 4 ? quantise4(img) : quantise8(img);
  Bytes out;
  putInfoHeader(out, img.size, bpp);
  for (const Rgb& c : pal) {  // RGBQUAD is blue, green, red, reserved
    put8(out, c.b);
    put8(out, c.g);
    put8(out, c.r);
    put8(out, 0);
  }
  for (int y = img.size - 1; y >= 0; --y) {
    Bytes row(rowBytes(img.size, bpp), 0);
    for (int x = 0; x < img.size; ++x) {
      const int v = idx[static_cast<size_t>(y) * img.size + x];
      if (bpp == 8) row[x] = static_cast<uint8_t>(v);
      else row[x / 2] |= x % 2 ? v : v << 4;  // high nibble is the left pixel
    }
    append(out, row);
  }
  putAndMask(out, img);
  return out;
}

Bytes encodeBmp32(const Image& img) {
  Bytes out;
  putInfoHeader(out, img.size, 32);
  for (int y = img.size - 1; y >= 0; --y) {
    for (int x = 0; x < img.size; ++x) {
      const Rgba& p = img.at(x, y);
      const uint8_t a = toByte(p.a);
      for (float c : {p.b, p.g, p.r}) put8(out, a ? toByte(c) : 0);
      put8(out, a);
    }
  }
  putAndMask(out, img);  // only used by systems that cannot draw alpha
  return out;
}

// ---------------------------------------------------------------------------------------------
// ICO container

struct IconEntry {
  int size;
  int bpp;
  Bytes data;
};

Bytes buildIco(const std::vector<IconEntry>& entries) {
  Bytes out;
  put16le(out, 0);  // reserved
  put16le(out, 1);  // type: icon
  put16le(out, static_cast<uint32_t>(entries.size()));
  size_t offset = 6 + 16 * entries.size();
  for (const IconEntry& e : entries) {
    put8(out, e.size >= 256 ? 0 : e.size);  // 0 stands for 256
    put8(out, e.size >= 256 ? 0 : e.size);
    put8(out, e.bpp == 4 ? 16 : 0);  // colour count only for images with fewer than 256
    put8(out, 0);
    put16le(out, 1);  // planes
    put16le(out, e.bpp);
    put32le(out, static_cast<uint32_t>(e.data.size()));
    put32le(out, static_cast<uint32_t>(offset));
    offset += e.data.size();
  }
  for (const IconEntry& e : entries) append(out, e.data);
  return out;
}

// ---------------------------------------------------------------------------------------------
// Shapes as signed distance functions in unit coordinates (0..1 across the icon, y down).
// Coverage follows from distance and pixel size, which anti-aliases every size consistently.

struct Vec {
  float x, y;
};

Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
Vec operator*(Vec a, float s) { return {a.x * s, a.y * s}; }
float dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y; }
float length(Vec a) { return std::sqrt(dot(a, a)); }

float sdRoundedSquare(Vec p, float inset, float radius) {
  const float half = 0.5f - inset - radius;
  const float qx = std::abs(p.x - 0.5f) - half, qy = std::abs(p.y - 0.5f) - half;
  const float outside = length({std::max(qx, 0.0f), std::max(qy, 0.0f)});
  return outside + std::min(std::max(qx, qy), 0.0f) - radius;
}

float sdSegment(Vec p, Vec a, Vec b) {
  const Vec pa = p - a, ba = b - a;
  const float t = std::clamp(dot(pa, ba) / dot(ba, ba), 0.0f, 1.0f);
  return length(pa - ba * t);
}

float sdCapsule(Vec p, Vec a, Vec b, float halfWidth) { return sdSegment(p, a, b) - halfWidth; }

float sdRing(Vec p, Vec centre, float radius, float halfWidth) {
  return std::abs(length(p - centre) - radius) - halfWidth;
}

// A ring with a gap centred straight up; `sinGap`/`cosGap` describe half the gap's angle.
// Constants instead of trigonometry keep results identical across C libraries.
float sdOpenRing(Vec p, Vec centre, float radius, float halfWidth, float sinGap, float cosGap) {
  const Vec d = p - centre;
  const bool inGap = -d.y > length(d) * cosGap;
  if (!inGap) return std::abs(length(d) - radius) - halfWidth;
  const Vec left = {centre.x - radius * sinGap, centre.y - radius * cosGap};
  const Vec right = {centre.x + radius * sinGap, centre.y - radius * cosGap};
  return std::min(length(p - left), length(p - right)) - halfWidth;
}

// Triangle with corners a, b, c given clockwise on screen, rounded by `round`.
float sdTriangle(Vec p, Vec a, Vec b, Vec c, float round) {
  const float edge = std::min({sdSegment(p, a, b), sdSegment(p, b, c), sdSegment(p, c, a)});
  auto side = [&](Vec u, Vec v) { return (v.x - u.x) * (p.y - u.y) - (v.y - u.y) * (p.x - u.x); };
  const bool inside = side(a, b) >= 0 && side(b, c) >= 0 && side(c, a) >= 0;
  return (inside ? -edge : edge) - round;
}

// ---------------------------------------------------------------------------------------------
// Painting

Rgba rgb(int hex, float alpha = 1) {
  return {((hex >> 16) & 0xFF) / 255.0f, ((hex >> 8) & 0xFF) / 255.0f, (hex & 0xFF) / 255.0f,
          alpha};
}

Rgba lerp(const Rgba& a, const Rgba& b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
          a.a + (b.a - a.a) * t};
}

// Fills the area where sdf < 0 with paint(p); `softness` widens the edge (for shadows).
template <typename Sdf, typename Paint>
void fill(Image& img, Sdf sdf, Paint paint, float softness = 0) {
  const float pixel = 1.0f / img.size;
  const float edge = std::max(pixel, softness);
  for (int y = 0; y < img.size; ++y) {
    for (int x = 0; x < img.size; ++x) {
      const Vec p = {(x + 0.5f) * pixel, (y + 0.5f) * pixel};
      const float coverage = std::clamp(0.5f - sdf(p) / edge, 0.0f, 1.0f);
      if (coverage > 0) blend(img.at(x, y), paint(p), coverage);
    }
  }
}

constexpr float kInset = 1.0f / 16;  // one pixel of margin at 16x16
constexpr float kCorner = 0.19f;

// The rounded tile behind every glyph: a top-to-bottom gradient and a thin darker rim that
// keeps the outline visible on light backgrounds.
void drawTile(Image& img, int topHex, int bottomHex) {
  const Rgba top = rgb(topHex), bottom = rgb(bottomHex);
  auto tile = [](Vec p) { return sdRoundedSquare(p, kInset, kCorner); };
  fill(img, tile, [&](Vec p) {
    const float t = std::clamp((p.y - kInset) / (1 - 2 * kInset) * 0.85f + p.x * 0.15f, 0.0f, 1.0f);
    return lerp(top, bottom, t);
  });
  const float rim = std::max(1.0f / img.size, 0.012f);
  fill(img, [&](Vec p) { return std::abs(tile(p) + rim / 2) - rim / 2; },
       [](Vec) { return rgb(0x000000, 0.28f); });
}

// A white glyph over a soft drop shadow, which lifts it off the tile at larger sizes.
template <typename Sdf>
void drawGlyph(Image& img, Sdf glyph) {
  const float drop = 0.022f;
  fill(img, [&](Vec p) { return glyph({p.x, p.y - drop}); },
       [](Vec) { return rgb(0x000000, 0.22f); }, 0.045f);
  fill(img, glyph, [](Vec p) { return lerp(rgb(0xFFFFFF), rgb(0xE6ECF5), p.y); });
}

// Quorvi: a blue tile with a "Q"-like ring and tail.
Image drawQuorvi(int size) {
  Image img(size);
  drawTile(img, 0x5B8DEF, 0x2F3FB8);
  drawGlyph(img, [](Vec p) {
    const float ring = sdRing(p, {0.5f, 0.47f}, 0.215f, 0.068f);
    const float tail = sdCapsule(p, {0.60f, 0.61f}, {0.73f, 0.75f}, 0.068f);
    return std::min(ring, tail);
  });
  return img;
}

// Quorvi service control: an amber tile with a start/stop (power) glyph.
Image drawServiceControl(int size) {
  Image img(size);
  drawTile(img, 0xFFB648, 0xD9572B);
  drawGlyph(img, [](Vec p) {
    const float arc = sdOpenRing(p, {0.5f, 0.535f}, 0.235f, 0.058f, 0.7431f, 0.6691f);  // 48 deg
    const float bar = sdCapsule(p, {0.5f, 0.225f}, {0.5f, 0.50f}, 0.058f);
    return std::min(arc, bar);
  });
  return img;
}

// The small helper programs: a teal tile with a "start" triangle.
Image drawSmall(int size) {
  Image img(size);
  drawTile(img, 0x009C9C, 0x006262);
  drawGlyph(img, [](Vec p) {
    return sdTriangle(p, {0.40f, 0.30f}, {0.72f, 0.50f}, {0.40f, 0.70f}, 0.035f);
  });
  return img;
}

// ---------------------------------------------------------------------------------------------
// Files

// The 128x128 image is stored as PNG (compact); smaller ones as 32-bpp BMP images, which
// every Windows version and resource tool understands.
std::vector<IconEntry> alphaEntries(Image (*draw)(int)) {
  std::vector<IconEntry> entries;
  for (int size : {128, 48, 32, 24, 16}) {
    const Image img = draw(size);
    entries.push_back({size, 32, size >= 128 ? encodePng(img) : encodeBmp32(img)});
  }
  return entries;
}

std::vector<IconEntry> classicEntries(Image (*draw)(int)) {
  std::vector<IconEntry> entries;
  const std::pair<int, int> layout[] = {{32, 4}, {16, 4}, {48, 8}, {32, 8}, {16, 8}};
  for (auto [size, bpp] : layout)
    entries.push_back({size, bpp, encodeBmpIndexed(draw(size), bpp)});
  return entries;
}

bool writeFile(const std::string& path, const Bytes& data) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  const std::pair<const char*, Bytes> files[] = {
      {"small.ico", buildIco(classicEntries(drawSmall))},
      {"quorvi.ico", buildIco(alphaEntries(drawQuorvi))},
      {"quorviServiceControl.ico", buildIco(alphaEntries(drawServiceControl))},
  };
  for (const auto& [name, data] : files) {
    if (!writeFile(dir + "/" + name, data)) {
      std::fprintf(stderr, "cannot write %s/%s\n", dir.c_str(), name);
      return 1;
    }
  }
  return 0;
}
