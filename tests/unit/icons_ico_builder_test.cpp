#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "icon_fakes.h"
#include "icons/ico_builder.h"
#include "icons/kept_icon_file.h"

namespace perchlet {
namespace {

using testing::Bytes;
using testing::groupBytes;
using testing::GroupEntry;
using testing::imageBytes;
using testing::readU32;

// Images by id, with the lookups made recorded in order.
struct Images {
    std::map<std::uint16_t, testing::FakeResource> byId;
    std::vector<std::uint16_t> asked;
    IconImageLookup lookup() {
        return [this](std::uint16_t id) -> ResourceBytes {
            asked.push_back(id);
            const auto found = byId.find(id);
            if (found == byId.end()) {
                return {};
            }
            return {found->second.status, found->second.bytes};
        };
    }
};

TEST(IcoBuilder, LaysOutHeaderEntriesWithRunningOffsetsAndImagesInGroupOrder) {
    const std::vector<GroupEntry> entries = {
        {32, 32, 16, 1, 4, 744, 7},
        {16, 16, 16, 1, 4, 296, 3},
        {16, 16, 0, 1, 32, 1128, 40000},
    };
    Images images;
    images.byId[7] = {ResourceStatus::Found, imageBytes(7, 744)};
    images.byId[3] = {ResourceStatus::Found, imageBytes(3, 296)};
    images.byId[40000] = {ResourceStatus::Found, imageBytes(40000, 1200)};  // longer than claimed
    const Bytes group = groupBytes(entries);

    const IcoBuild build = buildIcoFile(group, images.lookup());

    ASSERT_EQ(build.status, IcoBuildStatus::Built);
    const Bytes& file = build.file;
    ASSERT_EQ(file.size(), 2222u);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 6), Bytes(group.begin(), group.begin() + 6));
    const std::uint32_t offsets[] = {54, 798, 1094};
    for (std::size_t k = 0; k < 3; ++k) {
        const std::size_t entry = 6 + 16 * k;
        EXPECT_EQ(Bytes(file.begin() + entry, file.begin() + entry + 12),
                  Bytes(group.begin() + 6 + 14 * k, group.begin() + 6 + 14 * k + 12))
            << k;
        EXPECT_EQ(readU32(file, entry + 12), offsets[k]) << k;
        const std::uint8_t fill = static_cast<std::uint8_t>(entries[k].imageId);
        const std::uint32_t size = entries[k].bytesInResource;
        EXPECT_EQ(Bytes(file.begin() + offsets[k], file.begin() + offsets[k] + size),
                  Bytes(size, fill))
            << k;
    }
    EXPECT_EQ(images.asked, (std::vector<std::uint16_t>{7, 3, 40000}));
}

TEST(IcoBuilder, WritesNothingForACountOfZeroOrLessAndAsksForNoImage) {
    for (const std::uint16_t count : {0, 0x8000, 0xFFFF}) {
        Images images;
        const IcoBuild build = buildIcoFile(groupBytes({{}}, count), images.lookup());
        EXPECT_EQ(build.status, IcoBuildStatus::Empty) << count;
        EXPECT_TRUE(build.file.empty());
        EXPECT_TRUE(images.asked.empty());
    }
}

TEST(IcoBuilder, NeverReadsPastAGroupShorterThanItsRecordsClaim) {
    const GroupEntry one{16, 16, 0, 1, 32, 8, 1};
    Bytes cut = groupBytes({one});
    cut.pop_back();
    struct Case {
        const char* what;
        Bytes group;
    } cases[] = {
        {"no bytes", {}},
        {"half a header", {0, 0, 1}},
        {"five header bytes", {0, 0, 1, 0, 1}},
        {"header only", groupBytes({}, 1)},
        {"count 3, two entries", groupBytes({one, one}, 3)},
        {"last entry cut short", cut},
    };
    for (const auto& c : cases) {
        Images images;
        images.byId[1] = {ResourceStatus::Found, imageBytes(1, 8)};
        // A copy in a buffer of its own size, so the sanitizers see any read past it.
        const auto exact = std::make_unique<std::uint8_t[]>(c.group.size() + 1);
        std::copy(c.group.begin(), c.group.end(), exact.get());
        const IcoBuild build = buildIcoFile(
            std::span<const std::uint8_t>(exact.get(), c.group.size()), images.lookup());
        EXPECT_EQ(build.status, IcoBuildStatus::GroupDamaged) << c.what;
        EXPECT_TRUE(build.file.empty()) << c.what;
        EXPECT_TRUE(images.asked.empty()) << c.what;
    }
}

TEST(IcoBuilder, RefusesAGroupWhoseHeaderIsNotAnIconGroups) {
    const GroupEntry one{16, 16, 0, 1, 32, 8, 1};
    struct Case {
        std::uint16_t reserved;
        std::uint16_t type;
    } cases[] = {{1, 1}, {0, 2}, {0, 0}, {0xFFFF, 0xFFFF}};
    for (const auto& c : cases) {
        Bytes group = groupBytes({one});
        group[0] = static_cast<std::uint8_t>(c.reserved);
        group[1] = static_cast<std::uint8_t>(c.reserved >> 8);
        group[2] = static_cast<std::uint8_t>(c.type);
        group[3] = static_cast<std::uint8_t>(c.type >> 8);
        Images images;
        images.byId[1] = {ResourceStatus::Found, imageBytes(1, 8)};
        const IcoBuild build = buildIcoFile(group, images.lookup());
        EXPECT_EQ(build.status, IcoBuildStatus::GroupDamaged) << c.reserved << "/" << c.type;
        EXPECT_TRUE(build.file.empty());
    }
}

TEST(IcoBuilder, StopsAtTheFirstImageThatCannotBeReadInFull) {
    struct Case {
        testing::FakeResource second;
        IcoBuildStatus status;
    } cases[] = {
        {{ResourceStatus::NotFound, {}}, IcoBuildStatus::ImageNotFound},
        {{ResourceStatus::LoadFailed, {}}, IcoBuildStatus::ImageLoadFailed},
        {{ResourceStatus::LockFailed, {}}, IcoBuildStatus::ImageLockFailed},
        {{ResourceStatus::Found, imageBytes(2, 99)}, IcoBuildStatus::ImageDamaged},
        {{ResourceStatus::Found, {}}, IcoBuildStatus::ImageDamaged},
    };
    const Bytes group = groupBytes(
        {{16, 16, 0, 1, 32, 100, 1}, {16, 16, 0, 1, 32, 100, 2}, {16, 16, 0, 1, 32, 100, 3}});
    for (const auto& c : cases) {
        Images images;
        images.byId[1] = {ResourceStatus::Found, imageBytes(1, 100)};
        images.byId[2] = c.second;
        images.byId[3] = {ResourceStatus::Found, imageBytes(3, 100)};
        const IcoBuild build = buildIcoFile(group, images.lookup());
        EXPECT_EQ(build.status, c.status);
        EXPECT_EQ(build.failedImageId, 2);
        EXPECT_TRUE(build.file.empty());
        EXPECT_EQ(images.asked, (std::vector<std::uint16_t>{1, 2}));
    }
}

// Raises the overflow error, or gives the build's status.
std::string outcome(const Bytes& group, Images& images) {
    try {
        return std::to_string(static_cast<int>(buildIcoFile(group, images.lookup()).status));
    } catch (const RunError& error) {
        return "error " + std::to_string(error.number());
    }
}

TEST(IcoBuilder, CountsAndOffsetsBeyondTheirFieldsAreOverflows) {
    const auto many = [](std::size_t n, std::uint32_t size) {
        return groupBytes(std::vector<GroupEntry>(n, GroupEntry{16, 16, 0, 1, 32, size, 1}));
    };
    const std::string built = std::to_string(static_cast<int>(IcoBuildStatus::Built));
    const std::string damaged = std::to_string(static_cast<int>(IcoBuildStatus::ImageDamaged));
    const std::string groupDamaged = std::to_string(static_cast<int>(IcoBuildStatus::GroupDamaged));
    struct Case {
        const char* what;
        Bytes group;
        std::string outcome;
    } cases[] = {
        {"2047 entries fit", many(2047, 1), built},
        {"count x 16 + 6 beyond 16 bits", many(2048, 1), "error 6"},
        {"count x 14 beyond 16 bits, entries missing", groupBytes({}, 2341), "error 6"},
        {"count x 14 fits, entries missing", groupBytes({}, 2340), groupDamaged},
        {"second offset beyond 32 bits",
         groupBytes({{16, 16, 0, 1, 32, 0x7FFFFFFF, 1}, {16, 16, 0, 1, 32, 1, 1}}), "error 6"},
        {"second offset just fits",
         groupBytes({{16, 16, 0, 1, 32, 0x7FFFFFFF - 38, 1}, {16, 16, 0, 1, 32, 1, 1}}), damaged},
        {"a last image that no resource holds", many(1, 0xFFFFFFFF), damaged},
    };
    for (const auto& c : cases) {
        Images images;
        images.byId[1] = {ResourceStatus::Found, imageBytes(1, 4)};
        EXPECT_EQ(outcome(c.group, images), c.outcome) << c.what;
    }
}

TEST(IcoBuilder, AnswersArbitraryBytesWithoutReadingPastThem) {
    std::mt19937 random(20240531);
    const auto byte = [&] { return static_cast<std::uint8_t>(random() & 0xFF); };
    int built = 0;
    for (int round = 0; round < 3000; ++round) {
        Bytes group(random() % 64);
        for (auto& b : group) {
            b = byte();
        }
        if (group.size() >= 6 && random() % 2 == 0) {
            group[0] = group[1] = group[3] = 0;  // an icon group's header
            group[2] = 1;
            group[5] = 0;  // small counts reach the images more often
            group[4] = static_cast<std::uint8_t>(random() % 5);
            for (std::size_t size = 6 + 8; size + 4 <= group.size(); size += 14) {
                group[size] = static_cast<std::uint8_t>(random() % 20);  // often within the image
                group[size + 1] = group[size + 2] = group[size + 3] = 0;
            }
        }
        std::vector<Bytes> stored(4);
        for (auto& image : stored) {
            image.resize(random() % 16);
        }
        const IcoBuild build = [&] {
            try {
                return buildIcoFile(group, [&](std::uint16_t id) -> ResourceBytes {
                    const auto& image = stored[id % stored.size()];
                    return {id % 7 == 0 ? ResourceStatus::NotFound : ResourceStatus::Found, image};
                });
            } catch (const RunError& error) {
                EXPECT_EQ(error.number(), 6);
                return IcoBuild{};
            }
        }();
        if (build.status == IcoBuildStatus::Built) {
            const std::size_t count = group[4] | (group[5] << 8);
            std::size_t expected = 6 + 16 * count;
            for (std::size_t k = 0; k < count; ++k) {
                EXPECT_EQ(readU32(build.file, 6 + 16 * k + 12), expected);
                expected += readU32(group, 6 + 14 * k + 8);
            }
            EXPECT_EQ(build.file.size(), expected);
            ++built;
        } else {
            EXPECT_TRUE(build.file.empty());
        }
    }
    EXPECT_GT(built, 50);  // the layout itself was reached, not only the early refusals
}

TEST(KeptIconFile, TakesABuiltFileAndRefusesDamagedOnes) {
    Images images;
    images.byId[3] = {ResourceStatus::Found, imageBytes(3, 9)};
    const Bytes file = buildIcoFile(groupBytes({{16, 16, 0, 1, 32, 9, 3}}), images.lookup()).file;
    EXPECT_TRUE(KeptIconFile::from(file));
    // A cursor, no image, an image of no bytes, one beyond the end; a directory cut short.
    for (const auto& [at, value] :
         {std::pair<std::size_t, std::uint8_t>{2, 2}, {4, 0}, {14, 0}, {18, 0xFF}}) {
        Bytes bad = file;
        bad[at] = value;
        EXPECT_FALSE(KeptIconFile::from(bad)) << at;
    }
    EXPECT_FALSE(KeptIconFile::from(Bytes(file.begin(), file.begin() + 21)));

    // Only what a tray picture can use is kept: up to 64 pixels, else the smallest (0 is 256).
    struct Case {
        std::vector<std::uint8_t> widths;
        std::vector<std::uint8_t> kept;
    } cases[] = {{{32, 0, 16}, {32, 16}}, {{0, 128}, {128}}, {{64, 65}, {64}}, {{16, 16}, {16}}};
    for (const auto& c : cases) {
        std::vector<GroupEntry> entries;
        for (std::uint16_t k = 0; k < c.widths.size(); ++k) {
            const auto id = static_cast<std::uint16_t>(k + 1);
            images.byId[id] = {ResourceStatus::Found, imageBytes(id, 9 + k)};
            entries.push_back({c.widths[k], c.widths[k], 0, 1, 32, 9u + k, id});
        }
        const auto kept =
            KeptIconFile::from(buildIcoFile(groupBytes(entries), images.lookup()).file);
        ASSERT_TRUE(kept);
        const auto group = kept->groupDirectory();
        ASSERT_EQ(group.size(), 6 + 14 * c.kept.size());
        EXPECT_EQ(group[4], c.kept.size());
        for (std::size_t k = 0; k < c.kept.size(); ++k) {
            EXPECT_EQ(group[6 + 14 * k], c.kept[k]);
            const auto from = static_cast<std::uint16_t>(
                std::find(c.widths.begin(), c.widths.end(), c.kept[k]) - c.widths.begin());
            const auto image = kept->image(static_cast<int>(k + 1));
            EXPECT_EQ(Bytes(image.begin(), image.end()),
                      imageBytes(static_cast<std::uint16_t>(from + 1), 9u + from));
        }
    }
}

}  // namespace
}  // namespace perchlet
