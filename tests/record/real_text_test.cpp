// The printf spelling of reals and the strtod reading, used where the
// standard library has no to_chars or from_chars for doubles, must write and
// read exactly what to_chars writes and from_chars reads.
#include "record/real_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <random>

namespace {

std::string toCharsText(double v) {
    char buf[64];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

void expectSameText(double v) { ASSERT_EQ(nyajkor::realTextByPrintf(v), toCharsText(v)) << std::hexfloat << v; }

TEST(RealTextByPrintf, SpellsEdgeValuesAsToChars) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    const double values[] = {0.0, -0.0, inf, -inf, std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::max(),
                             1e21, 1e22, 123456789012345678.0, 0.1, 1e-5, 1e-4, 1e5, 1e15, 1e16, 1e17,
                             350, 0.355, 9.5, 99.99999999999999, 14.51830803954495};
    for (double v : values) expectSameText(v);
}

// Below a power of two the doubles lie twice as close: to_chars may pick the
// decimal above where the nearer one below does not read back.
TEST(RealTextByPrintf, SpellsEveryPowerOfTwoAsToChars) {
    for (int e = -1074; e <= 1023; ++e) {
        expectSameText(std::ldexp(1.0, e));
        expectSameText(-std::ldexp(1.0, e));
    }
}

TEST(RealTextByPrintf, SpellsRandomDoublesAsToChars) {
    std::mt19937_64 bits(1);
    std::uniform_real_distribution<double> inBox(-400, 400);
    for (int i = 0; i < 50000; ++i) {
        const std::uint64_t word = bits();
        double any;
        std::memcpy(&any, &word, sizeof any);
        expectSameText(any);
        expectSameText(inBox(bits));
    }
}

std::optional<double> fromCharsValue(const std::string& text) {
    double v = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (error != std::errc{} || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return v;
}

void expectSameReading(const std::string& text) {
    const auto byStrtod = nyajkor::realFromTextByStrtod(text), byFromChars = fromCharsValue(text);
    ASSERT_EQ(byStrtod.has_value(), byFromChars.has_value()) << '"' << text << '"';
    if (byStrtod && !std::isnan(*byStrtod)) {
        ASSERT_EQ(std::memcmp(&*byStrtod, &*byFromChars, sizeof(double)), 0) << '"' << text << '"';
    }
}

TEST(RealFromTextByStrtod, ReadsWhatFromCharsReads) {
    for (const char* text : {"0", "-0", "1", "-1.5", ".5", "5.", "1e3", "1E-3", "2.5e+2", "0.1", "350",
                             "1e308", "1e309", "-1e309", "4.9e-324", "1e-400", "inf", "-inf", "INF", "infinity",
                             "nan", "NaN", "", "-", "+1", " 1", "1 ", "1x", "0x10", "-0x1p3", "1e", "e5", ".",
                             "--1", "1..2", "١", "0.30000000000000004", "123456789012345678901234567890"})
        expectSameReading(text);
    std::mt19937_64 bits(2);
    for (int i = 0; i < 20000; ++i) {
        const std::uint64_t word = bits();
        double any;
        std::memcpy(&any, &word, sizeof any);
        expectSameReading(toCharsText(any));
        char printed[64];
        std::snprintf(printed, sizeof printed, "%.25g", any);
        expectSameReading(printed);
    }
}

}  // namespace
