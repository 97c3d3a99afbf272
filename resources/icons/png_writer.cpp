#include "png_writer.h"

#include <png.h>

namespace {

void AppendToBytes(png_structp png, png_bytep data, size_t length)
{
    Bytes *out = static_cast<Bytes *>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void FlushNothing(png_structp) {}

// The image as rows of RGBA bytes.
Bytes RgbaBytes(const Image &img)
{
    Bytes raw;
    for (const Rgba &p : img.px) {
        const uint8_t a = ToByte(p.a);
        // Fully transparent pixels get a fixed colour: smaller output and nothing left to chance.
        for (float c : {p.r, p.g, p.b}) raw.push_back(a ? ToByte(c) : 0);
        raw.push_back(a);
    }
    return raw;
}

} // namespace

Bytes EncodePng(const Image &img)
{
    Bytes out, raw = RgbaBytes(img);
    std::vector<png_bytep> rows;
    for (int y = 0; y < img.size; ++y) rows.push_back(&raw[static_cast<size_t>(y) * img.size * 4]);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) { // libpng comes back here on an error
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, AppendToBytes, FlushNothing);
    png_set_IHDR(png, info, img.size, img.size, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // The smallest file: every row filter tried, the strongest compression.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
    png_set_compression_level(png, 9);
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}
