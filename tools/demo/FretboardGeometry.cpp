#include "demo/FretboardGeometry.h"

#include <cmath>

namespace demo {

int FretWireX(int k)
{
    // Frets shrink by the twelfth root of two, as on a real neck, from the nut at 52 to 1004.
    const double nut = 52.0;
    const double span = 952.0;
    const double full = 1.0 - std::pow(2.0, -24.0 / 12.0);
    return static_cast<int>(std::lround(nut + span * (1.0 - std::pow(2.0, -k / 12.0)) / full));
}

int FretSpotX(int fret)
{
    if (fret <= 0)
        return 26;
    return (FretWireX(fret - 1) + FretWireX(fret)) / 2;
}

int StringY(int string)
{
    return 20 + string * 26;
}

} // namespace demo
