// The full sweep behind the kept numbers of cells: tens of millions of values, each
// compared with the text round trip (format, read back in double and in single
// precision), and the time of both ways.
//   number_sweep [COUNT]   (default 30,000,000)
#include "support/number_samples.h"
#include "runner/conversions.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const std::uint64_t count = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 30000000;
    const runner::NumberFormat format{'.'};
    std::mt19937_64 random(1);
    std::uint64_t shortcut = 0;
    std::uint64_t failures = 0;
    std::vector<double> values;
    for (std::uint64_t i = 0; i < count; ++i) {
        const double value = testing_support::numberSample(random, i);
        if (values.size() < 1000000)
            values.push_back(value);
        const std::string mismatch = testing_support::keptNumberMismatch(value, format);
        if (!mismatch.empty()) {
            if (++failures <= 20)
                std::printf("MISMATCH %016llx: %s\n",
                            static_cast<unsigned long long>(testing_support::bitsOf(value)), mismatch.c_str());
        }
        double kept = 0;
        shortcut += runner::textValue(value, kept);
    }
    std::printf("  %llu values compared with the text round trip: %llu differ; the shortcut decided %.2f%%\n",
                static_cast<unsigned long long>(count), static_cast<unsigned long long>(failures),
                100.0 * static_cast<double>(shortcut) / static_cast<double>(count));

    // Time per value of both ways, over the first million samples.
    using Clock = std::chrono::steady_clock;
    double sink = 0;
    auto start = Clock::now();
    for (double value : values) {
        double kept = 0;
        float single = 0;
        if (runner::textValue(value, kept) && runner::singleOfNumber(kept, single))
            sink += kept + static_cast<double>(single);
    }
    const double fastNs = std::chrono::duration<double, std::nano>(Clock::now() - start).count() / values.size();
    start = Clock::now();
    for (double value : values) {
        const std::string text = runner::formatNumber(value, format);
        double number = 0;
        float single = 0;
        runner::parseNumber(text, format, number);
        runner::parseSingle(text, format, single);
        sink += number + static_cast<double>(single);
    }
    const double slowNs = std::chrono::duration<double, std::nano>(Clock::now() - start).count() / values.size();
    std::printf("  kept number and single: %.1f ns per value; text round trip: %.1f ns (%.0fx)%s\n", fastNs, slowNs,
                slowNs / fastNs, sink == 0.12345 ? " " : "");
    return failures == 0 ? 0 : 1;
}
