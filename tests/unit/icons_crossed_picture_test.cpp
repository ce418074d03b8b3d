#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "icons/crossed_picture.h"

namespace perchlet {
namespace {

constexpr Pixel kRed = 0xFFDF0029;  // the cross, opaque
constexpr Pixel kGreen = 0xFF11EB65;
constexpr Pixel kHalfBlue = 0x800000FF;  // a half-transparent edge
constexpr Pixel kBlack = 0xFF000000;
constexpr Pixel kWhite = 0xFFFFFFFF;

// Pixel art: one character a pixel, rows top-down.
const std::map<char, Pixel> kArt = {
    {'.', 0},                    // transparent; also black without alpha
    {'x', kCrossKey},            // the cross's grey key
    {'R', kRed & 0x00FFFFFF},    // cross colour as a 24-bit bitmap reads back: alpha 0
    {'G', kGreen},               // opaque with alpha
    {'g', kGreen & 0x00FFFFFF},  // the same colour without alpha (a 256-colour icon)
    {'h', kHalfBlue},
    {'w', 0x00FFFFFF},  // white without alpha (mask: set)
    {'a', 0x00000000},  // a colour of 0 with alpha 0
};

std::vector<Pixel> art(const std::vector<std::string>& rows) {
    std::vector<Pixel> pixels;
    for (const auto& row : rows) {
        for (const char c : row) {
            pixels.push_back(kArt.at(c));
        }
    }
    return pixels;
}

bool maskBit(const CrossedPicture& picture, int x, int y) {
    return (picture.mask[y * maskRowBytes(picture.width) + x / 8] & (0x80 >> (x % 8))) != 0;
}

const std::vector<std::string> kCross2 = {"Rx", "xR"};  // a diagonal, scaled up below

TEST(CrossedPicture, KeepsTheCrossOpaqueAndTheIconsTransparencyForEveryKindOfIcon) {
    // What the result holds, a character a pixel: '_' transparent, 'R' the cross, or a
    // colour of the palette below.
    const std::map<char, Pixel> result = {{'_', 0},         {'R', kRed},   {'G', kGreen},
                                          {'h', kHalfBlue}, {'B', kBlack}, {'W', kWhite}};
    struct Case {
        const char* what;
        std::vector<std::string> colour;  // empty: monochrome
        std::vector<std::string> mask;    // '.' black (opaque), 'w' white (set)
        std::vector<std::string> cross;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"alpha icon: half-transparent edges keep their alpha, its mask is not used",
         {".hh.", "hGGh", "hGGh", ".hh."},
         {"wwww", "wwww", "....", "...."},
         kCross2,
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
        {"a 32-bit icon without any alpha is drawn by its mask",
         {"aaa", "aaa", "aaa"},
         {"...", "...", "..."},
         {"xxx", "xRx", "xxx"},
         {"BBB", "BRB", "BBB"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const int width = static_cast<int>(c.mask[0].size());
        const int height = static_cast<int>(c.colour.empty() ? c.mask.size() / 2 : c.mask.size());
        const auto colour = art(c.colour);
        const auto mask = art(c.mask);
        const auto cross = art(c.cross);
        const auto picture = composeCrossedPicture(
            {width, height, colour, mask},
            {static_cast<int>(c.cross[0].size()), static_cast<int>(c.cross.size()), cross});
        ASSERT_TRUE(picture.has_value());
        ASSERT_EQ(picture->width, width);
        ASSERT_EQ(picture->height, height);
        ASSERT_EQ(picture->mask.size(), static_cast<std::size_t>(maskRowBytes(width) * height));
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const Pixel expected = result.at(c.expected[y][x]);
                const Pixel got = picture->colour[y * width + x];
                EXPECT_EQ(got, expected) << x << "," << y;
                EXPECT_EQ(maskBit(*picture, x, y), (got >> 24) == 0) << x << "," << y;
            }
        }
    }
}

TEST(CrossedPicture, RefusesSizesThatDoNotFitTogether) {
    const std::vector<Pixel> four(4, kGreen), eight(8, 0), three(3, 0), none;
    struct Case {
        const char* what;
        IconBitmaps icon;
        PixelView cross;
    };
    const Case cases[] = {
        {"colour shorter than the icon", {2, 2, three, four}, {2, 2, four}},
        {"mask shorter than the icon", {2, 2, four, three}, {2, 2, four}},
        {"a monochrome mask of one height only", {2, 2, none, four}, {2, 2, four}},
        {"a colour icon with a double-height mask", {2, 2, four, eight}, {2, 2, four}},
        {"an empty icon", {0, 0, none, none}, {2, 2, four}},
        {"a negative width", {-2, -2, four, four}, {2, 2, four}},
        {"a cross of fewer pixels than its size", {2, 2, four, four}, {2, 2, three}},
        {"a cross of no size", {2, 2, four, four}, {0, 2, none}},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(composeCrossedPicture(c.icon, c.cross).has_value()) << c.what;
    }
    // Mask rows are padded to 16 bits: 17 transparent pixels take 4 bytes, the padding clear.
    const std::vector<Pixel> row(17, kCrossKey), set(17, 0x00FFFFFF);
    const auto picture = composeCrossedPicture({17, 1, row, set}, {17, 1, row});
    ASSERT_TRUE(picture.has_value());
    EXPECT_EQ(picture->mask, (std::vector<std::uint8_t>{0xFF, 0xFF, 0x80, 0x00}));
}

}  // namespace
}  // namespace perchlet
