#pragma once
// The window's design is given in twips (1/1440 inch) and in character cells
// of 120 x 240 twips. These turn them into pixels of a screen with a given
// logical resolution, and back.
#include <cstdint>

namespace tessaly {

constexpr int32_t kTwipsPerInch = 1440;
constexpr int32_t kCharCellWidth = 120;   // twips across
constexpr int32_t kCharCellHeight = 240;  // twips down

int TwipsToPixels(int32_t twips, double dotsPerInch);
int32_t PixelsToTwips(int pixels, double dotsPerInch);

// The edge that centres a window of WINDOW twips on a screen of SCREEN twips:
// half the difference, the odd twip dropped toward zero. A window larger than
// the screen gets a negative edge.
int32_t CentredEdge(int32_t screen, int32_t window);

}  // namespace tessaly
