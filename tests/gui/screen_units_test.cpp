#include <gtest/gtest.h>

#include "platform/qt/screen_units.h"

using namespace tessaly;

TEST(ScreenUnits, CentringHalvesTheDifferenceTowardZero)
{
    const struct {
        int32_t screen, window, edge;
    } cases[] = {
        {12000, 10656, 672},
        {12000 + 1345, 12000, 672},  // the odd twip is dropped
        {12000 - 101, 12000, -50},   // larger than the screen: negative, toward zero
        {12000 - 100, 12000, -50},
        {9000, 9000, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(CentredEdge(c.screen, c.window), c.edge) << c.screen << " " << c.window;
}

TEST(ScreenUnits, TwipsAndPixels)
{
    const struct {
        int32_t twips;
        double dpi;
        int pixels;
    } cases[] = {
        {1440, 96, 96}, {10 * kCharCellWidth, 96, 80}, {32 * kCharCellWidth, 96, 256},
        {10536, 96, 702}, {7068, 96, 471}, {312, 96, 21}, {14 * kCharCellWidth, 120, 140},
        {10536, 144, 1054}, {0, 96, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TwipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << " at " << c.dpi;
        EXPECT_NEAR(PixelsToTwips(c.pixels, c.dpi), c.twips, 1440 / c.dpi) << c.pixels;
    }
}
