#include <gtest/gtest.h>

#include "qt/screen_units.h"

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
