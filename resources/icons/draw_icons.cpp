// Draws the application icons and writes them as Windows .ico files:
//
//   draw_icons <output directory>
//
// The pictures come from drawing.cpp, the .ico files and their BMP-format
// images from ico.cpp, and the PNG images from libpng (png_writer.cpp). The output
// is the same on every run: no clocks, no randomness, no hash-order
// dependence. The test run checks that it is the committed icons, byte for
// byte (scripts/check-icons).

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "drawing.h"
#include "ico.h"
#include "png_writer.h"

namespace {

// The 128x128 image is stored as PNG (compact); smaller ones as 32-bpp BMP images, which
// every Windows version and resource tool understands.
std::vector<IconEntry> AlphaEntries(Image (*draw)(int))
{
    std::vector<IconEntry> entries;
    for (int size : {128, 48, 32, 24, 16}) {
        const Image img = draw(size);
        entries.push_back({size, 32, size >= 128 ? EncodePng(img) : EncodeBmp32(img)});
        if (entries.back().data.empty()) {
            std::fprintf(stderr, "libpng could not write the %d px image\n", size);
            std::exit(1);
        }
    }
    return entries;
}

std::vector<IconEntry> ClassicEntries(Image (*draw)(int))
{
    std::vector<IconEntry> entries;
    const std::pair<int, int> layout[] = {{32, 4}, {16, 4}, {48, 8}, {32, 8}, {16, 8}};
    for (auto [size, bpp] : layout) entries.push_back({size, bpp, EncodeBmpIndexed(draw(size), bpp)});
    return entries;
}

bool WriteFile(const std::string &path, const Bytes &data)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const std::pair<const char *, Bytes> files[] = {
        {"small.ico", BuildIco(ClassicEntries(DrawSmall))},
        {"quorvi.ico", BuildIco(AlphaEntries(DrawQuorvi))},
        {"quorviServiceControl.ico", BuildIco(AlphaEntries(DrawServiceControl))},
    };
    for (const auto &[name, data] : files) {
        if (!WriteFile(dir + "/" + name, data)) {
            std::fprintf(stderr, "cannot write %s/%s\n", dir.c_str(), name);
            return 1;
        }
    }
    return 0;
}
