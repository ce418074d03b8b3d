#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "icons/crossed_picture.h"

namespace perchlet {
namespace {

using Art = std::vector<std::string>;  // a character a pixel, rows top-down

// What the icon's bitmaps and the cross read back as ('R' is the 24-bit cross: no alpha)...
const std::map<char, Pixel> kRead = {{'.', 0},          {'x', kCrossKey},  {'R', 0x00DF0029},
                                     {'G', 0xFF11EB65}, {'g', 0x0011EB65}, {'h', 0x800000FF},
                                     {'w', 0x00FFFFFF}};
// ...and what the crossed picture holds: '_' transparent, the cross opaque.
const std::map<char, Pixel> kResult = {{'_', 0},          {'R', 0xFFDF0029}, {'G', 0xFF11EB65},
                                       {'h', 0x800000FF}, {'B', 0xFF000000}, {'W', 0xFFFFFFFF}};

std::vector<Pixel> pixels(const Art& art) {
    std::vector<Pixel> out;
    for (const auto& row : art) {
        for (const char c : row) {
            out.push_back(kRead.at(c));
        }
    }
    return out;
}

TEST(CrossedPicture, KeepsTheCrossOpaqueAndTheIconsTransparencyForEveryKindOfIcon) {
    struct Case {
        const char* what;
        Art colour;  // empty: monochrome
        Art mask;    // '.' opaque, 'w' set
        Art cross;
        Art expected;
    };
    const Case cases[] = {
        {"alpha icon: half-transparent edges keep their alpha, its mask is not used",
         {".hh.", "hGGh", "hGGh", ".hh."},
         {"wwww", "wwww", "....", "...."},
         {"Rx", "xR"},
         {"RRh_", "RRGh", "hGRR", "_hRR"}},
        {"256 colours: the mask decides, an inverting pixel becomes transparent",
         {"g..g", "gwgg", "gggg", "..g."},
         {"...w", "w...", "....", "ww.w"},
         {"xxxx", "xxxx", "xxxx", "RRRR"},
         {"GBB_", "_WGG", "GGGG", "RRRR"}},
        {"monochrome: AND mask above XOR mask; black, white, transparent, inverting",
         {},
         {"..ww", "..ww", ".w.w", ".w.w"},
         {"xxx", "xxx", "xxx"},
         {"BW__", "BW__"}},
        {"a cross larger than the icon is scaled down",
         {"gg", "gg"},
         {"..", ".."},
         {"RRxx", "RRxx", "xxRR", "xxRR"},
         {"RG", "GR"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const int width = static_cast<int>(c.mask[0].size());
        const int height = static_cast<int>(c.expected.size());
        const auto colour = pixels(c.colour), mask = pixels(c.mask), cross = pixels(c.cross);
        const auto picture = composeCrossedPicture(
            {width, height, colour, mask},
            {static_cast<int>(c.cross[0].size()), static_cast<int>(c.cross.size()), cross});
        ASSERT_TRUE(picture.has_value());
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const Pixel got = picture->colour[y * width + x];
                EXPECT_EQ(got, kResult.at(c.expected[y][x])) << x << "," << y;
                const int bit = picture->mask[y * maskRowBytes(width) + x / 8] & (0x80 >> (x % 8));
                EXPECT_EQ(bit != 0, (got >> 24) == 0) << x << "," << y;
            }
        }
    }
}

TEST(CrossedPicture, RefusesSizesThatDoNotFitTogetherAndPadsMaskRowsTo16Bits) {
    const std::vector<Pixel> four(4), eight(8), three(3), none;
    const std::pair<IconBitmaps, PixelView> refused[] = {
        {{2, 2, three, four}, {2, 2, four}},  // colour short of the icon
        {{2, 2, none, four}, {2, 2, four}},   // a monochrome mask of one height only
        {{2, 2, four, eight}, {2, 2, four}},  // a colour icon with a double-height mask
        {{-2, -2, four, four}, {2, 2, four}},
        {{2, 2, four, four}, {2, 2, three}},  // a cross short of its size
    };
    for (const auto& [icon, cross] : refused) {
        EXPECT_FALSE(composeCrossedPicture(icon, cross).has_value()) << icon.width;
    }
    // Two rows of 9 transparent pixels: 2 bytes each, as a monochrome bitmap takes them.
    const std::vector<Pixel> rows(18, kCrossKey), set(18, 0x00FFFFFF);
    const auto picture = composeCrossedPicture({9, 2, rows, set}, {9, 2, rows});
    ASSERT_TRUE(picture.has_value());
    EXPECT_EQ(picture->mask, (std::vector<std::uint8_t>{0xFF, 0x80, 0xFF, 0x80}));
}

}  // namespace
}  // namespace perchlet
