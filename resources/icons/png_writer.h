// PNG files of the icons' largest images, written by libpng.
#pragma once

#include "image.h"

// An 8-bit RGBA PNG of the image; fully transparent pixels are stored black.
// Empty when libpng fails.
Bytes EncodePng(const Image &img);
