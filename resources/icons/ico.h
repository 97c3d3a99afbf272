// Windows .ico files: classic palette images, 32-bpp images with alpha, and
// the container that holds them.
#pragma once

#include "image.h"

// A 4-bpp (the standard 16 colours) or 8-bpp (a colour cube) image with its
// AND mask, for systems and sizes without alpha.
Bytes EncodeBmpIndexed(const Image &img, int bpp);
// A 32-bpp image with alpha, and the AND mask for systems that cannot draw alpha.
Bytes EncodeBmp32(const Image &img);

struct IconEntry {
    int size;
    int bpp;
    Bytes data; // a BMP-format image, or a PNG file
};

Bytes BuildIco(const std::vector<IconEntry> &entries);
