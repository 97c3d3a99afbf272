#include "ico.h"

#include <cstdlib>

namespace {

void Put8(Bytes &out, uint32_t v) { out.push_back(static_cast<uint8_t>(v)); }

void Put16le(Bytes &out, uint32_t v)
{
    Put8(out, v);
    Put8(out, v >> 8);
}

void Put32le(Bytes &out, uint32_t v)
{
    Put16le(out, v);
    Put16le(out, v >> 16);
}

void Append(Bytes &out, const Bytes &more) { out.insert(out.end(), more.begin(), more.end()); }

// ---------------------------------------------------------------------------------------------
// Palettes and quantisation for the classic low-colour icon images

struct Rgb {
    int r, g, b;
};

// The standard 16-colour palette in the order Windows uses for 4-bpp icons.
std::vector<Rgb> VgaPalette()
{
    return {{0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},  {0, 0, 128}, {128, 0, 128},
            {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},    {0, 255, 0}, {255, 255, 0},
            {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};
}

// A 6x6x6 colour cube (index r*36+g*6+b, so index 0 is black) followed by 40 extra greys.
std::vector<Rgb> CubePalette()
{
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

int NearestIndex(const std::vector<Rgb> &pal, int r, int g, int b)
{
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
bool IsOpaque(const Rgba &p) { return p.a >= 0.5f; }

// 4 bpp: plain nearest colour; dithering with 16 colours looks noisy at 16 and 32 pixels.
std::vector<int> Quantise4(const Image &img)
{
    const auto pal = VgaPalette();
    std::vector<int> idx;
    for (const Rgba &p : img.px)
        idx.push_back(IsOpaque(p) ? NearestIndex(pal, ToByte(p.r), ToByte(p.g), ToByte(p.b)) : 0);
    return idx;
}

// 8 bpp: nearest colour after a weak ordered (Bayer) offset. A full-strength dither turns these
// gentle gradients into a checkerboard; a quarter step each way only softens the band edges.
// Near-neutral pixels skip the offset so the white glyphs stay clean.
std::vector<int> Quantise8(const Image &img)
{
    static const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    const auto pal = CubePalette();
    std::vector<int> idx;
    for (int y = 0; y < img.size; ++y) {
        for (int x = 0; x < img.size; ++x) {
            const Rgba &p = img.at(x, y);
            if (!IsOpaque(p)) {
                idx.push_back(0);
                continue;
            }
            int r = ToByte(p.r), g = ToByte(p.g), b = ToByte(p.b);
            if (std::max({r, g, b}) - std::min({r, g, b}) >= 12) {
                const int offset = (bayer[y % 4][x % 4] * 2 - 15) * 51 / 64; // about -12..+12
                r += offset, g += offset, b += offset;
            }
            idx.push_back(NearestIndex(pal, r, g, b));
        }
    }
    return idx;
}

// ---------------------------------------------------------------------------------------------
// BMP-format icon images: BITMAPINFOHEADER (height doubled for the mask), optional palette,
// XOR bitmap bottom-up, then the 1-bpp AND mask bottom-up; all rows padded to 4 bytes.

size_t RowBytes(int width, int bpp) { return ((static_cast<size_t>(width) * bpp + 31) / 32) * 4; }

void PutInfoHeader(Bytes &out, int size, int bpp)
{
    const size_t imageBytes = (RowBytes(size, bpp) + RowBytes(size, 1)) * size;
    Put32le(out, 40);       // biSize
    Put32le(out, size);     // biWidth
    Put32le(out, size * 2); // biHeight counts XOR bitmap and AND mask together
    Put16le(out, 1);        // biPlanes
    Put16le(out, bpp);      // biBitCount
    Put32le(out, 0);        // biCompression: BI_RGB
    Put32le(out, static_cast<uint32_t>(imageBytes));
    for (int i = 0; i < 4; ++i) Put32le(out, 0); // resolution, colours used/important
}

void PutAndMask(Bytes &out, const Image &img)
{
    for (int y = img.size - 1; y >= 0; --y) {
        Bytes row(RowBytes(img.size, 1), 0);
        for (int x = 0; x < img.size; ++x)
            if (!IsOpaque(img.at(x, y))) row[x / 8] |= 0x80 >> (x % 8);
        Append(out, row);
    }
}

} // namespace

Bytes EncodeBmpIndexed(const Image &img, int bpp)
{
    const auto pal = bpp == 4 ? VgaPalette() : CubePalette();
    const auto idx = bpp == 4 ? Quantise4(img) : Quantise8(img);
    Bytes out;
    PutInfoHeader(out, img.size, bpp);
    for (const Rgb &c : pal) { // RGBQUAD is blue, green, red, reserved
        Put8(out, c.b);
        Put8(out, c.g);
        Put8(out, c.r);
        Put8(out, 0);
    }
    for (int y = img.size - 1; y >= 0; --y) {
        Bytes row(RowBytes(img.size, bpp), 0);
        for (int x = 0; x < img.size; ++x) {
            const int v = idx[static_cast<size_t>(y) * img.size + x];
            if (bpp == 8)
                row[x] = static_cast<uint8_t>(v);
            else
                row[x / 2] |= x % 2 ? v : v << 4; // high nibble is the left pixel
        }
        Append(out, row);
    }
    PutAndMask(out, img);
    return out;
}

Bytes EncodeBmp32(const Image &img)
{
    Bytes out;
    PutInfoHeader(out, img.size, 32);
    for (int y = img.size - 1; y >= 0; --y) {
        for (int x = 0; x < img.size; ++x) {
            const Rgba &p = img.at(x, y);
            const uint8_t a = ToByte(p.a);
            for (float c : {p.b, p.g, p.r}) Put8(out, a ? ToByte(c) : 0);
            Put8(out, a);
        }
    }
    PutAndMask(out, img); // only used by systems that cannot draw alpha
    return out;
}

// ---------------------------------------------------------------------------------------------
// ICO container

Bytes BuildIco(const std::vector<IconEntry> &entries)
{
    Bytes out;
    Put16le(out, 0); // reserved
    Put16le(out, 1); // type: icon
    Put16le(out, static_cast<uint32_t>(entries.size()));
    size_t offset = 6 + 16 * entries.size();
    for (const IconEntry &e : entries) {
        Put8(out, e.size >= 256 ? 0 : e.size); // 0 stands for 256
        Put8(out, e.size >= 256 ? 0 : e.size);
        Put8(out, e.bpp == 4 ? 16 : 0); // colour count only for images with fewer than 256
        Put8(out, 0);
        Put16le(out, 1); // planes
        Put16le(out, e.bpp);
        Put32le(out, static_cast<uint32_t>(e.data.size()));
        Put32le(out, static_cast<uint32_t>(offset));
        offset += e.data.size();
    }
    for (const IconEntry &e : entries) Append(out, e.data);
    return out;
}
