// The icons are drawn procedurally: shapes as signed distance functions,
// painted with anti-aliased coverage. No clocks, no randomness and no
// trigonometry from the C library, so every run gives the same pixels.
#include "drawing.h"

namespace {

// Source-over compositing of a colour with extra coverage onto a pixel.
void Blend(Rgba &dst, const Rgba &src, float coverage)
{
    const float sa = src.a * coverage;
    if (sa <= 0) return;
    const float outA = sa + dst.a * (1 - sa);
    auto mix = [&](float s, float d) { return (s * sa + d * dst.a * (1 - sa)) / outA; };
    dst = {mix(src.r, dst.r), mix(src.g, dst.g), mix(src.b, dst.b), outA};
}

// ---------------------------------------------------------------------------------------------
// Shapes as signed distance functions in unit coordinates (0..1 across the icon, y down).
// Coverage follows from distance and pixel size, which anti-aliases every size consistently.

struct Vec {
    float x, y;
};

Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
Vec operator*(Vec a, float s) { return {a.x * s, a.y * s}; }
float Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y; }
float Length(Vec a) { return std::sqrt(Dot(a, a)); }

float SdRoundedSquare(Vec p, float inset, float radius)
{
    const float half = 0.5f - inset - radius;
    const float qx = std::abs(p.x - 0.5f) - half, qy = std::abs(p.y - 0.5f) - half;
    const float outside = Length({std::max(qx, 0.0f), std::max(qy, 0.0f)});
    return outside + std::min(std::max(qx, qy), 0.0f) - radius;
}

float SdSegment(Vec p, Vec a, Vec b)
{
    const Vec pa = p - a, ba = b - a;
    const float t = std::clamp(Dot(pa, ba) / Dot(ba, ba), 0.0f, 1.0f);
    return Length(pa - ba * t);
}

float SdCapsule(Vec p, Vec a, Vec b, float halfWidth) { return SdSegment(p, a, b) - halfWidth; }

float SdRing(Vec p, Vec centre, float radius, float halfWidth)
{
    return std::abs(Length(p - centre) - radius) - halfWidth;
}

// A ring with a gap centred straight up; `sinGap`/`cosGap` describe half the gap's angle.
// Constants instead of trigonometry keep results identical across C libraries.
float SdOpenRing(Vec p, Vec centre, float radius, float halfWidth, float sinGap, float cosGap)
{
    const Vec d = p - centre;
    const bool inGap = -d.y > Length(d) * cosGap;
    if (!inGap) return std::abs(Length(d) - radius) - halfWidth;
    const Vec left = {centre.x - radius * sinGap, centre.y - radius * cosGap};
    const Vec right = {centre.x + radius * sinGap, centre.y - radius * cosGap};
    return std::min(Length(p - left), Length(p - right)) - halfWidth;
}

// Triangle with corners a, b, c given clockwise on screen, rounded by `round`.
float SdTriangle(Vec p, Vec a, Vec b, Vec c, float round)
{
    const float edge = std::min({SdSegment(p, a, b), SdSegment(p, b, c), SdSegment(p, c, a)});
    auto side = [&](Vec u, Vec v) { return (v.x - u.x) * (p.y - u.y) - (v.y - u.y) * (p.x - u.x); };
    const bool inside = side(a, b) >= 0 && side(b, c) >= 0 && side(c, a) >= 0;
    return (inside ? -edge : edge) - round;
}

// ---------------------------------------------------------------------------------------------
// Painting

Rgba Colour(int hex, float alpha = 1)
{
    return {((hex >> 16) & 0xFF) / 255.0f, ((hex >> 8) & 0xFF) / 255.0f, (hex & 0xFF) / 255.0f, alpha};
}

Rgba Lerp(const Rgba &a, const Rgba &b, float t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

// Fills the area where sdf < 0 with paint(p); `softness` widens the edge (for shadows).
template <typename Sdf, typename Paint> void Fill(Image &img, Sdf sdf, Paint paint, float softness = 0)
{
    const float pixel = 1.0f / img.size;
    const float edge = std::max(pixel, softness);
    for (int y = 0; y < img.size; ++y) {
        for (int x = 0; x < img.size; ++x) {
            const Vec p = {(x + 0.5f) * pixel, (y + 0.5f) * pixel};
            const float coverage = std::clamp(0.5f - sdf(p) / edge, 0.0f, 1.0f);
            if (coverage > 0) Blend(img.at(x, y), paint(p), coverage);
        }
    }
}

constexpr float Inset = 1.0f / 16; // one pixel of margin at 16x16
constexpr float Corner = 0.19f;

// The rounded tile behind every glyph: a top-to-bottom gradient and a thin darker rim that
// keeps the outline visible on light backgrounds.
void DrawTile(Image &img, int topHex, int bottomHex)
{
    const Rgba top = Colour(topHex), bottom = Colour(bottomHex);
    auto tile = [](Vec p) { return SdRoundedSquare(p, Inset, Corner); };
    Fill(img, tile, [&](Vec p) {
        const float t = std::clamp((p.y - Inset) / (1 - 2 * Inset) * 0.85f + p.x * 0.15f, 0.0f, 1.0f);
        return Lerp(top, bottom, t);
    });
    const float rim = std::max(1.0f / img.size, 0.012f);
    auto rimShape = [&](Vec p) { return std::abs(tile(p) + rim / 2) - rim / 2; };
    Fill(img, rimShape, [](Vec) { return Colour(0x000000, 0.28f); });
}

// A white glyph over a soft drop shadow, which lifts it off the tile at larger sizes.
template <typename Sdf> void DrawGlyph(Image &img, Sdf glyph)
{
    const float drop = 0.022f;
    auto shadow = [&](Vec p) { return glyph({p.x, p.y - drop}); };
    Fill(img, shadow, [](Vec) { return Colour(0x000000, 0.22f); }, 0.045f);
    Fill(img, glyph, [](Vec p) { return Lerp(Colour(0xFFFFFF), Colour(0xE6ECF5), p.y); });
}

} // namespace

// Quorvi: a blue tile with a "Q"-like ring and tail.
Image DrawQuorvi(int size)
{
    Image img(size);
    DrawTile(img, 0x5B8DEF, 0x2F3FB8);
    DrawGlyph(img, [](Vec p) {
        const float ring = SdRing(p, {0.5f, 0.47f}, 0.215f, 0.068f);
        const float tail = SdCapsule(p, {0.60f, 0.61f}, {0.73f, 0.75f}, 0.068f);
        return std::min(ring, tail);
    });
    return img;
}

// Quorvi service control: an amber tile with a start/stop (power) glyph.
Image DrawServiceControl(int size)
{
    Image img(size);
    DrawTile(img, 0xFFB648, 0xD9572B);
    DrawGlyph(img, [](Vec p) {
        const float arc = SdOpenRing(p, {0.5f, 0.535f}, 0.235f, 0.058f, 0.7431f, 0.6691f); // 48 deg
        const float bar = SdCapsule(p, {0.5f, 0.225f}, {0.5f, 0.50f}, 0.058f);
        return std::min(arc, bar);
    });
    return img;
}

// The small helper programs: a teal tile with a "start" triangle.
Image DrawSmall(int size)
{
    Image img(size);
    DrawTile(img, 0x009C9C, 0x006262);
    DrawGlyph(img, [](Vec p) { return SdTriangle(p, {0.40f, 0.30f}, {0.72f, 0.50f}, {0.40f, 0.70f}, 0.035f); });
    return img;
}
