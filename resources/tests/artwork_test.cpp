// The control-bar bitmaps and the program icon: formats the loaders take, the
// button cells in their places, the speaker's mask, the icon's sizes and alpha.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "launcher_ids.h"
#include "recorder_ids.h"
#include "templates.h"

using namespace restest;

namespace {

constexpr int kCell = 24;

enum class Shape { Square, Disc, PlayTriangle, PauseBars, Unknown };
enum class Hue { Red, Green, Grey, Other };

bool IsGlyph(const Rgba &p)
{
    const int hi = std::max({p.r, p.g, p.b}), lo = std::min({p.r, p.g, p.b});
    return hi - lo > 60 || hi < 180; // coloured, or darker than the light face
}

// Tells the glyph of one button cell by its outline: how fully it fills its
// bounding box, whether it is left-heavy, whether its centre is empty.
void Classify(const Dib &dib, int left, int top, Shape &shape, Hue &hue)
{
    int count = 0, minX = kCell, maxX = -1, minY = kCell, maxY = -1;
    long r = 0, g = 0, b = 0;
    for (int y = 2; y < kCell - 2; ++y) {
        for (int x = 2; x < kCell - 2; ++x) {
            const Rgba p = dib.Pixel(left + x, top + y);
            if (!IsGlyph(p))
                continue;
            ++count;
            r += p.r, g += p.g, b += p.b;
            minX = std::min(minX, x), maxX = std::max(maxX, x);
            minY = std::min(minY, y), maxY = std::max(maxY, y);
        }
    }
    shape = Shape::Unknown;
    hue = Hue::Other;
    if (count < 20)
        return;
    int leftHalf = 0, rightHalf = 0;
    const int mid2 = minX + maxX; // twice the middle column
    for (int y = minY; y <= maxY; ++y)
        for (int x = minX; x <= maxX; ++x)
            if (IsGlyph(dib.Pixel(left + x, top + y)) && 2 * x != mid2)
                ++(2 * x < mid2 ? leftHalf : rightHalf);
    const double fill = double(count) / ((maxX - minX + 1) * (maxY - minY + 1));
    const bool hollowCentre = !IsGlyph(dib.Pixel(left + mid2 / 2, top + (minY + maxY) / 2));
    if (hollowCentre)
        shape = Shape::PauseBars;
    else if (leftHalf > rightHalf * 3 / 2)
        shape = Shape::PlayTriangle;
    else if (fill > 0.88)
        shape = Shape::Square;
    else if (fill > 0.6)
        shape = Shape::Disc;

    r /= count, g /= count, b /= count;
    if (r - std::max(g, b) > 80)
        hue = Hue::Red;
    else if (g - std::max(r, b) > 50)
        hue = Hue::Green;
    else if (std::max({r, g, b}) - std::min({r, g, b}) < 20)
        hue = Hue::Grey;
}

TEST(ControlBarBitmaps, ButtonCellsHoldTheirGlyphsOnATopLitFace)
{
    struct Cell {
        int x, y;
        Shape shape;
        Hue hue;
    };
    const Cell cells[] = {
        {0, 0, Shape::Square, Hue::Red},          {24, 0, Shape::Disc, Hue::Red},
        {48, 0, Shape::PauseBars, Hue::Red},      {0, 24, Shape::Square, Hue::Green},
        {24, 24, Shape::PlayTriangle, Hue::Green}, {48, 24, Shape::PauseBars, Hue::Green},
        {0, 48, Shape::PlayTriangle, Hue::Grey},  {24, 48, Shape::Disc, Hue::Grey},
        {48, 48, Shape::PauseBars, Hue::Grey},
    };
    Module module("recorder_res.dll");
    Dib dib;
    ASSERT_TRUE(dib.Parse(module.Resource(IDB_BUTTONS, RT_BITMAP)));
    EXPECT_EQ(dib.width(), 72);
    EXPECT_EQ(dib.height(), 72);
    EXPECT_EQ(dib.bitCount(), 24);
    for (const Cell &cell : cells) {
        SCOPED_TRACE("cell " + std::to_string(cell.x) + "," + std::to_string(cell.y));
        Shape shape;
        Hue hue;
        Classify(dib, cell.x, cell.y, shape, hue);
        EXPECT_EQ(int(shape), int(cell.shape));
        EXPECT_EQ(int(hue), int(cell.hue));
        // Light grey, lighter at the top than at the bottom.
        const Rgba top = dib.Pixel(cell.x + 12, cell.y + 2), bottom = dib.Pixel(cell.x + 12, cell.y + 21);
        EXPECT_FALSE(IsGlyph(top));
        EXPECT_FALSE(IsGlyph(bottom));
        EXPECT_GT(top.g, bottom.g + 10);
    }
}

TEST(ControlBarBitmaps, SpeakerMaskIsBlackExactlyWhereTheImageIsDrawn)
{
    Module module("recorder_res.dll");
    Dib dib;
    ASSERT_TRUE(dib.Parse(module.Resource(IDB_SPEAKER, RT_BITMAP)));
    ASSERT_EQ(dib.width(), 48);
    ASSERT_EQ(dib.height(), 24);
    EXPECT_EQ(dib.bitCount(), 24);

    // The recorder ANDs the mask and ORs the image onto the bar: the bar must
    // stay untouched wherever the image is black, and the image replace it elsewhere.
    std::map<int, int> drawnInColumn;
    int darkest = 255;
    for (int y = 0; y < kCell; ++y) {
        for (int x = 0; x < kCell; ++x) {
            const Rgba image = dib.Pixel(x, y), mask = dib.Pixel(kCell + x, y);
            const bool black = mask.r == 0 && mask.g == 0 && mask.b == 0;
            const bool white = mask.r == 255 && mask.g == 255 && mask.b == 255;
            ASSERT_TRUE(black || white) << "mask at " << x << "," << y;
            const bool drawn = image.r || image.g || image.b;
            ASSERT_EQ(drawn, black) << "at " << x << "," << y;
            if (drawn) {
                EXPECT_TRUE(image.r == image.g && image.g == image.b) << "grey at " << x << "," << y;
                ++drawnInColumn[x];
                darkest = std::min(darkest, image.r);
            }
        }
    }
    EXPECT_LT(darkest, 128) << "legible on the light bar";

    // Muted, only the left 15 columns are drawn: the loudspeaker must lie there
    // whole and the waves to its right, with an empty column between them.
    int speaker = 0, waves = 0;
    for (const auto &[x, n] : drawnInColumn)
        (x < 15 ? speaker : waves) += n;
    EXPECT_GT(speaker, 40);
    EXPECT_GT(waves, 10);
    EXPECT_TRUE(!drawnInColumn.count(14) || !drawnInColumn.count(15)) << "the 15-column cut runs through the drawing";
}

// One directory entry of an icon group.
struct GroupEntry {
    int size, bitCount, id;
    DWORD bytes;
};

std::vector<GroupEntry> ParseGroup(const Bytes &group)
{
    std::vector<GroupEntry> entries;
    if (group.size() < 6 || group[0] || group[1] || group[2] != 1 || group[3])
        return entries;
    const size_t count = group[4] | group[5] << 8;
    for (size_t i = 0; i < count && 6 + 14 * (i + 1) <= group.size(); ++i) {
        const uint8_t *e = group.data() + 6 + 14 * i;
        DWORD bytes;
        memcpy(&bytes, e + 8, 4);
        entries.push_back({e[0] ? e[0] : 256, e[6] | e[7] << 8, e[12] | e[13] << 8, bytes});
    }
    return entries;
}

TEST(ProgramIcon, BothModulesCarryTheSameFiveSizesWithAlpha)
{
    Module launcher("launcher_res.dll"), recorder("recorder_res.dll");
    static_assert(IDI_TARNWICK == 100, "the window class loads icon 100 from the launcher");
    for (const Module *module : {&launcher, &recorder}) {
        SCOPED_TRACE(module->path());
        const std::vector<GroupEntry> entries = ParseGroup(module->Resource(IDI_TARNWICK, RT_GROUP_ICON));
        EXPECT_EQ(entries.size(), 5u);
        std::set<int> sizes;
        for (const GroupEntry &entry : entries) {
            SCOPED_TRACE("size " + std::to_string(entry.size));
            sizes.insert(entry.size);
            EXPECT_EQ(entry.bitCount, 32);
            const Bytes image = module->Resource(entry.id, RT_ICON);
            EXPECT_EQ(image.size(), entry.bytes);
            EXPECT_EQ(image, launcher.Resource(entry.id, RT_ICON));
            Dib dib;
            ASSERT_TRUE(dib.Parse(image, true));
            EXPECT_EQ(dib.width(), entry.size);
            EXPECT_EQ(dib.height(), entry.size);
            EXPECT_EQ(dib.bitCount(), 32);
            // Transparent corners, opaque middle; the AND mask agrees with the alpha.
            const int s = entry.size;
            for (int corner : {0, s - 1}) {
                EXPECT_EQ(dib.Pixel(corner, corner).a, 0);
                EXPECT_TRUE(dib.MaskBit(corner, corner));
            }
            EXPECT_EQ(dib.Pixel(s / 2, s / 2).a, 255);
            EXPECT_FALSE(dib.MaskBit(s / 2, s / 2));
        }
        EXPECT_EQ(sizes, (std::set<int>{16, 24, 32, 48, 256}));
    }
}

} // namespace
