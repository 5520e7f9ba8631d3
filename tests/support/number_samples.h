// Values for checking a cell's kept number (textValue) and its single (singleOfNumber)
// against what the text reads back as; shared by the sampling test and bench/'s sweep.
#pragma once

#include "runner/conversions.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

namespace testing_support {

inline std::uint64_t bitsOf(double value) { return std::bit_cast<std::uint64_t>(value); }
inline double doubleOf(std::uint64_t bits) { return std::bit_cast<double>(bits); }
inline bool sameNumber(double a, double b) { return (std::isnan(a) && std::isnan(b)) || bitsOf(a) == bitsOf(b); }
inline bool sameSingle(float a, float b) {
    return (std::isnan(a) && std::isnan(b)) || std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

// A value of family [kind] (modulo the count), the member drawn by [random].
inline double numberSample(std::mt19937_64& random, std::uint64_t kind) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const double sign = (random() & 1) ? -1.0 : 1.0;
    auto nudged = [&](double value) {
        // value moved by up to 4 units in its last place either way
        const int steps = static_cast<int>(random() % 9) - 4;
        double result = value;
        for (int i = 0; i < steps; ++i)
            result = std::nextafter(result, std::numeric_limits<double>::infinity());
        for (int i = 0; i > steps; --i)
            result = std::nextafter(result, -std::numeric_limits<double>::infinity());
        return result;
    };
    switch (kind % 12) {
    case 0:  // any bit pattern: subnormals, NaNs, infinities, huge and tiny values
        return doubleOf(random());
    case 1:  // log-uniform over the range where results usually lie
        return sign * std::pow(10.0, -12 + 52 * unit(random));
    case 2:  // quotients and products of small whole numbers, like a program's arithmetic
        return sign * static_cast<double>(random() % 100000) / static_cast<double>(random() % 999 + 1) *
               ((random() & 2) ? 1.0 : static_cast<double>(random() % 1000));
    case 3: {  // 15-digit decimals exactly halfway at the 16th digit, and next to that
        const double digits = static_cast<double>(100000000000000ULL + random() % 900000000000000ULL) + 0.5;
        const int exponent = static_cast<int>(random() % 40) - 20;
        return sign * nudged(digits * std::pow(10.0, exponent - 14));
    }
    case 4:  // powers of ten and their neighbours
        return sign * nudged(std::pow(10.0, static_cast<int>(random() % 700) - 350));
    case 5: {  // around the boundaries of the exponent form and the ends of the shortcut's range
        constexpr double kEdges[] = {1e15, 1e-4, 1e-8, 1e36};
        return sign * nudged(kEdges[random() % 4]);
    }
    case 6:  // subnormals and the smallest normals
        return sign * doubleOf(random() % (std::uint64_t{1} << 53));
    case 7: {  // halfway between two neighbouring singles, and next to it
        const float low = std::bit_cast<float>(static_cast<std::uint32_t>(random() % 0x7F000000u));
        const float high = std::nextafter(low, std::numeric_limits<float>::infinity());
        return sign * nudged((static_cast<double>(low) + static_cast<double>(high)) / 2);
    }
    case 8: {  // short decimals that are halfway between two singles (k + 1/2, k + 1/4 ...)
        const int bits = static_cast<int>(random() % 20);
        const double base = std::ldexp(1.0, 23 - bits);
        const double whole = base + static_cast<double>(random() % static_cast<std::uint64_t>(base));
        return sign * nudged(whole + std::ldexp(1.0, -bits - 1));
    }
    case 9:  // whole numbers and halves
        return sign * (static_cast<double>(random() % 100000000) + ((random() & 8) ? 0.5 : 0.0));
    case 10: {  // the special values
        using Limits = std::numeric_limits<double>;
        const double specials[] = {0.0, -0.0, Limits::infinity(), -Limits::infinity(), Limits::quiet_NaN(), Limits::max(),
                                   Limits::min(), Limits::denorm_min(), std::numeric_limits<float>::max(),
                                   std::numeric_limits<float>::min()};
        return sign * specials[random() % std::size(specials)];
    }
    default: {  // a random 15-digit decimal read back: the texts themselves
        const double digits = static_cast<double>(100000000000000ULL + random() % 900000000000000ULL);
        const int exponent = static_cast<int>(random() % 60) - 30;
        return sign * nudged(digits * std::pow(10.0, exponent - 14));
    }
    }
}

// What differs between the kept number (and its single) and the text round trip, or "".
inline std::string keptNumberMismatch(double value, runner::NumberFormat format) {
    const std::string text = runner::formatNumber(value, format);
    double expected = 0;
    const bool readsBack = runner::parseNumber(text, format, expected) == runner::ParseStatus::Ok;
    double kept = 0;
    if (!runner::textValue(value, kept))
        return {};  // the caller takes the text round trip itself
    if (!readsBack)  // the largest doubles' texts overflow: reading them is an error
        return "kept a number for the text " + text + ", which does not read back";
    if (!sameNumber(kept, expected))
        return "kept number differs from the text " + text;
    if (runner::formatNumber(kept, format) != text)
        return "kept number writes another text than " + text;
    float single = 0;
    if (runner::singleOfNumber(kept, single)) {
        float expectedSingle = 0;
        if (runner::parseSingle(text, format, expectedSingle) != runner::ParseStatus::Ok)
            return "single taken from the number where the text " + text + " overflows";
        if (!sameSingle(single, expectedSingle))
            return "single differs from the text " + text;
    }
    return {};
}

}  // namespace testing_support
