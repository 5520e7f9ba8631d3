// Rounding as the MOXY tools do it everywhere a number becomes whole: the compilers'
// numeric arguments, the caption's percentage, the runner's whole-number operands. No Qt.
#pragma once

#include <cmath>

namespace moxy {

// [value] rounded to the nearest whole number, a half to the even neighbour (2.5 -> 2,
// 3.5 -> 4, -2.5 -> -2), whatever the floating-point rounding mode. NaN and infinities
// stay as they are.
inline double roundHalfEven(double value) {
    const double below = std::floor(value);
    const double fraction = value - below;
    if (fraction > 0.5)
        return below + 1;
    if (fraction < 0.5)
        return below;
    return std::fmod(below, 2.0) == 0 ? below : below + 1;
}

}  // namespace moxy
