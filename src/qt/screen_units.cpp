#include "qt/screen_units.h"

#include <cmath>

namespace tessaly {

int TwipsToPixels(int32_t twips, double dotsPerInch)
{
    return static_cast<int>(std::lround(twips * dotsPerInch / kTwipsPerInch));
}

int32_t PixelsToTwips(int pixels, double dotsPerInch)
{
    return static_cast<int32_t>(std::lround(pixels * kTwipsPerInch / dotsPerInch));
}

int32_t CentredEdge(int32_t screen, int32_t window) { return (screen - window) / 2; }

}  // namespace tessaly
