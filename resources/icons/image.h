// The square RGBA images the icons are drawn into, and the bytes they are
// stored as.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

using Bytes = std::vector<uint8_t>;

struct Rgba {
    float r = 0, g = 0, b = 0, a = 0; // straight (not premultiplied) alpha, 0..1
};

struct Image {
    int size = 0; // icons are square
    std::vector<Rgba> px;
    explicit Image(int n) : size(n), px(static_cast<size_t>(n) * n) {}
    Rgba &at(int x, int y) { return px[static_cast<size_t>(y) * size + x]; }
    const Rgba &at(int x, int y) const { return px[static_cast<size_t>(y) * size + x]; }
};

inline uint8_t ToByte(float v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255)); }
