// The canvas's primitives draw exactly the pixels of the plain reference, on and off the surface.
#include "runner/canvas.h"
#include "support/reference_canvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

using runner::Canvas;
using runner::Fill;

namespace {

// A coordinate on the surface, near its edges, a half, beyond 2^40, infinite or not a number.
float coordinate(std::mt19937_64& random, int extent) {
    constexpr float kInf = std::numeric_limits<float>::infinity();
    constexpr float kSpecials[] = {kInf, -kInf, std::numeric_limits<float>::quiet_NaN(), 0x1p40f, -0x1p40f};
    const float unit = std::uniform_real_distribution<float>(0.0f, 1.0f)(random);
    const float near = static_cast<float>(static_cast<int>(random() % 40) - 20);
    switch (random() % 10) {
    case 0: return near;
    case 1: return static_cast<float>(extent) + near;
    case 2: return static_cast<float>(static_cast<int>(random() % (3 * extent)) - extent) + 0.5f;
    case 3: return (unit - 0.5f) * 1e13f;
    case 4: return (unit - 0.5f) * 4e6f;
    case 5: return kSpecials[random() % 5];
    default: return unit * static_cast<float>(extent + 20) - 10.0f;
    }
}

// Radii up to and past the largest, negative ones and halves; box sides huge and small.
float radius(std::mt19937_64& random) {
    const float unit = std::uniform_real_distribution<float>(0.0f, 1.0f)(random);
    const std::uint64_t kind = random() % 6;
    return kind == 0 ? unit * 4e9f : kind == 1 ? -unit * 200.0f : kind == 2 ? static_cast<float>(random() % 3) + 0.5f : unit * 200.0f;
}
double size(std::mt19937_64& random) {
    const double unit = std::uniform_real_distribution<double>(0.0, 1.0)(random);
    const std::uint64_t kind = random() % 6;
    return kind == 0 ? (unit - 0.5) * 1e14 : kind == 1 ? std::floor((unit - 0.5) * 40) + 0.5 : (unit - 0.3) * 120;
}

}  // namespace

TEST(CanvasFastPaths, DrawTheSamePixelsAsThePlainReference) {
    std::mt19937_64 random(4242);
    for (auto [width, height] : {std::pair{64, 48}, {323, 243}, {1, 1}}) {
        SCOPED_TRACE(testing::Message() << width << "x" << height);
        Canvas canvas(width, height);
        std::vector<std::uint32_t> reference(canvas.bits(), canvas.bits() + width * height);
        for (int i = 0; i < 3000; ++i) {
            const std::uint32_t colour = static_cast<std::uint32_t>(random() & 0xFFFFFF);
            canvas.setColour(colour);
            testing_support::ReferenceCanvas plain(reference, width, height, colour);
            const float x1 = coordinate(random, width);
            const float y1 = coordinate(random, height);
            const int kind = static_cast<int>(random() % 5);
            if (kind == 0) {
                canvas.point(x1, y1);
                plain.point(x1, y1);
            } else if (kind == 1) {
                const float x2 = coordinate(random, width);
                const float y2 = coordinate(random, height);
                canvas.line(x1, y1, x2, y2);
                plain.line(x1, y1, x2, y2);
            } else if (kind == 2) {
                const float r = radius(random);
                canvas.circle(x1, y1, r);
                plain.circle(x1, y1, r);
            } else {
                const double w = size(random), h = size(random);
                canvas.box(x1, y1, w, h, kind == 3 ? Fill::No : Fill::Yes);
                plain.box(x1, y1, w, h, kind == 3 ? Fill::No : Fill::Yes);
            }
            ASSERT_TRUE(std::equal(reference.begin(), reference.end(), canvas.bits()))
                << "primitive " << i << " of kind " << kind << " at " << x1 << ", " << y1;
            if (i % 200 == 0) {  // start over now and then, so that later pixels still count
                canvas.clear();
                std::fill(reference.begin(), reference.end(), 0xFFFFFFFFu);
            }
        }
    }
}
