#include "conversion/Extended80.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <string>
#include <vector>

#if (defined(__x86_64__) || defined(__i386__)) && LDBL_MANT_DIG == 64
#define KORVEX_TEST_AGAINST_FPU 1
#endif

namespace korvex::conversion {
namespace {

using Limits = std::numeric_limits<Extended80>;

std::string Describe(Extended80 v) {
    char text[64];
    std::snprintf(text, sizeof text, "%s 0x%04X 0x%016llX", v.Negative() ? "-" : "+", v.Exponent(),
                  static_cast<unsigned long long>(v.Significand()));
    return text;
}

std::string DescribeDouble(double v) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    char text[32];
    std::snprintf(text, sizeof text, "0x%016llX", static_cast<unsigned long long>(bits));
    return text;
}

Extended80 Parts(bool negative, std::uint16_t exponent, std::uint64_t significand) {
    return Extended80::FromParts(negative, exponent, significand);
}

// Results whose bits are known, on every machine: the x87 values of the engine's literals (arm64 rounds them
// from quad), ties to even, subnormals, overflow and the special values.
TEST(Extended80, KnownResults) {
    const Extended80 one = 1;
    const Extended80 ulpOfOne = Parts(false, 16383 - 63, 1ull << 63); // 2^-63
    const Extended80 tiny = Limits::denorm_min();
    const struct {
        const char* name;
        Extended80 value;
        Extended80 expected;
    } cases[] = {
        {"25.4L", 25.4L, Parts(false, 0x4003, 0xCB33333333333333)},
        {"1e36L", 1e36L, Parts(false, 0x4076, 0xC097CE7BC90715B3)},
        {"0.1L", 0.1L, Parts(false, 0x3FFB, 0xCCCCCCCCCCCCCCCD)},
        {"0.1 (double)", 0.1, Parts(false, 0x3FFB, 0xCCCCCCCCCCCCD000)},
        {"int min", -2147483647 - 1, Parts(true, 0x401E, 0x8000000000000000)},
        {"10^36 from 128 bits",
         Extended80(static_cast<Extended80Wide>(1000000000000000000ull) * 1000000000000000000ull),
         Parts(false, 0x4076, 0xC097CE7BC90715B3)},
        {"double subnormal", 4.9406564584124654e-324, Parts(false, 0x3BCD, 0x8000000000000000)},
        {"1 / 3", one / 3, Parts(false, 0x3FFD, 0xAAAAAAAAAAAAAAAB)},
        {"1 + half ulp ties to even", one + ulpOfOne / 2, one},
        {"1 + 3 half ulps ties to even", one + ulpOfOne * 3 / 2, Parts(false, 16383, 0x8000000000000002)},
        {"1 - quarter ulp", one - ulpOfOne / 4, one},
        {"1 - 2^-200", one - Parts(false, 16383 - 200, 1ull << 63), one},
        {"1 - just over half an ulp", one - Parts(false, 16383 - 65, (1ull << 63) + 1), Parts(false, 16382, ~0ull)},
        {"x - x", 25.4L - Extended80(25.4L), 0},
        {"-0 + -0", Extended80(-0.0) + Extended80(-0.0), -0.0},
        {"half the smallest subnormal ties to 0", tiny / 2, 0},
        {"3/2 smallest subnormal ties to 2", tiny * 3 / 2, Parts(false, 0, 2)},
        {"subnormal sum", tiny + Parts(false, 0, 0x7FFFFFFFFFFFFFFF), Limits::min()},
        {"min / 2 is subnormal", Limits::min() / 2, Parts(false, 0, 0x4000000000000000)},
        {"subnormal * 2^64", Parts(false, 0, 3) * Parts(false, 16383 + 64, 1ull << 63), Parts(false, 3, 3ull << 62)},
        {"max * 2 overflows", Limits::max() * 2, Limits::infinity()},
        {"max + max overflows", Limits::max() + Limits::max(), Limits::infinity()},
        {"1 / 0", one / 0, Limits::infinity()},
        {"-1 / inf", -one / Limits::infinity(), -0.0},
        {"10^4932", Extended80::PowerOfTen(4932), Parts(false, 0x7FFE, 0xD72CB2A95C7EF6CD)},
        {"10^4933", Extended80::PowerOfTen(4933), Limits::infinity()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Describe(c.value), Describe(c.expected)) << c.name;
    }
    EXPECT_TRUE(isnan(Limits::infinity() - Limits::infinity()));
    EXPECT_TRUE(isnan(Extended80(0) / 0));
    EXPECT_TRUE(isnan(Limits::infinity() * 0));
    EXPECT_TRUE(isnan(Limits::quiet_NaN() + 1));
}

TEST(Extended80, ToDoubleRoundsOnceToNearestEven) {
    const struct {
        const char* name;
        Extended80 value;
        double expected;
    } cases[] = {
        {"exact", 25.4, 25.4},
        {"0.1L", 0.1L, 0.1},
        {"tie down to even", Parts(false, 16383, 0x8000000000000400), 1.0},
        {"tie up to even", Parts(false, 16383, 0x8000000000000C00), 1.0000000000000004},
        {"above the tie", Parts(false, 16383, 0x8000000000000401), 1.0000000000000002},
        {"largest double", Parts(false, 16383 + 1023, 0xFFFFFFFFFFFFF800), DBL_MAX},
        {"rounds up to infinity", Parts(false, 16383 + 1023, 0xFFFFFFFFFFFFFC00), HUGE_VAL},
        {"just below it stays", Parts(false, 16383 + 1023, 0xFFFFFFFFFFFFFBFF), DBL_MAX},
        {"smallest subnormal", Parts(false, 16383 - 1074, 1ull << 63), 4.9406564584124654e-324},
        {"half of it ties to 0", Parts(true, 16383 - 1075, 1ull << 63), -0.0},
        {"just above half", Parts(false, 16383 - 1075, (1ull << 63) + 1), 4.9406564584124654e-324},
        {"subnormal tie to even", Parts(false, 16383 - 1074, 3ull << 62), 2 * 4.9406564584124654e-324},
        {"rounds up to the smallest normal", Parts(false, 16383 - 1023, ~0ull), DBL_MIN},
        {"extended subnormal", Limits::denorm_min(), 0.0},
        {"infinity", -Limits::infinity(), -HUGE_VAL},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DescribeDouble(static_cast<double>(c.value)), DescribeDouble(c.expected)) << c.name;
    }
    EXPECT_TRUE(std::isnan(static_cast<double>(Limits::quiet_NaN())));
}

TEST(Extended80, ComparisonsOrderZerosInfinitiesAndNaN) {
    const Extended80 nan = Limits::quiet_NaN();
    EXPECT_TRUE(Extended80(0.0) == Extended80(-0.0));
    EXPECT_FALSE(Extended80(-0.0) < Extended80(0.0));
    EXPECT_TRUE(Extended80(-1) < Extended80(-0.5));
    EXPECT_TRUE(Limits::denorm_min() > 0);
    EXPECT_TRUE(-Limits::infinity() < Limits::lowest());
    EXPECT_TRUE(Extended80(10) >= 10);
    EXPECT_TRUE(Extended80(9.999) <= 10);
    EXPECT_FALSE(nan == nan || nan < 1 || nan > 1 || nan <= 1 || nan >= 1);
    EXPECT_TRUE(nan != nan);
}

#ifdef KORVEX_TEST_AGAINST_FPU

Extended80 FromFpu(long double v) {
    unsigned char bytes[10];
    std::memcpy(bytes, &v, sizeof bytes);
    std::uint64_t significand = 0;
    std::memcpy(&significand, bytes, sizeof significand);
    return Parts((bytes[9] & 0x80) != 0, static_cast<std::uint16_t>((bytes[8] | (bytes[9] << 8)) & 0x7FFF),
                 significand);
}

long double ToFpu(Extended80 v) {
    long double value = 0;
    unsigned char bytes[16] = {};
    const std::uint64_t significand = v.Significand();
    std::memcpy(bytes, &significand, sizeof significand);
    const int top = v.Exponent() | (v.Negative() ? 0x8000 : 0);
    bytes[8] = static_cast<unsigned char>(top & 0xFF);
    bytes[9] = static_cast<unsigned char>(top >> 8);
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

// Equal bits, or both NaN (the engine never forms one; their payloads are not compared).
::testing::AssertionResult Same(const char* what, Extended80 soft, long double fpu) {
    const Extended80 expected = FromFpu(fpu);
    if (Describe(soft) == Describe(expected) || (isnan(soft) && std::isnan(fpu))) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << what << ": software " << Describe(soft) << ", FPU " << Describe(expected);
}

// Operands: the edges of the format, then random ones with a fixed seed: any bits, close exponents (for
// cancellation and carries), short significands (for exact results and ties), subnormals and doubles.
std::vector<Extended80> Operands() {
    std::vector<Extended80> values = {0.0,
                                      -0.0,
                                      1,
                                      -1,
                                      3,
                                      10,
                                      25.4L,
                                      0.1L,
                                      1e36L,
                                      1000,
                                      Limits::denorm_min(),
                                      Parts(false, 0, ~0ull >> 1),
                                      Limits::min(),
                                      Limits::max(),
                                      Limits::lowest(),
                                      Limits::epsilon(),
                                      Limits::infinity(),
                                      -Limits::infinity(),
                                      Limits::quiet_NaN(),
                                      Parts(false, 16383, ~0ull),
                                      Parts(true, 16383, 0x8000000000000001),
                                      Parts(false, 16383 - 64, 1ull << 63),
                                      Parts(false, 16383 + 64, 1ull << 63),
                                      DBL_MAX,
                                      DBL_MIN,
                                      4.9406564584124654e-324};
    std::mt19937_64 random(14);
    for (int i = 0; i < 3000; ++i) {
        const bool negative = (random() & 1) != 0;
        std::uint64_t significand = random() | Extended80::kIntegerBit;
        significand &= ~0ull << (random() % 64); // short significands
        const int kind = i % 5;
        std::uint16_t exponent = 0;
        if (kind == 0) {
            exponent = static_cast<std::uint16_t>(1 + random() % 0x7FFE);
        } else if (kind == 1) {
            exponent = static_cast<std::uint16_t>(16383 - 70 + random() % 140);
        } else if (kind == 2) {
            exponent = static_cast<std::uint16_t>(random() % 80);
            significand = exponent == 0 ? significand >> 1 : significand;
        } else if (kind == 3) {
            exponent = static_cast<std::uint16_t>(16383 + random() % 40);
        } else {
            std::uint64_t bits = random();
            double value = 0;
            std::memcpy(&value, &bits, sizeof value);
            values.push_back(std::isnan(value) ? 0.5 : value);
            continue;
        }
        values.push_back(Parts(negative, exponent, significand));
    }
    return values;
}

TEST(Extended80, EveryOperationAgreesWithTheFpu) {
    const std::vector<Extended80> values = Operands();
    std::mt19937_64 random(80);
    int failures = 0;
    auto check = [&failures](::testing::AssertionResult result) {
        if (!result && ++failures <= 20) {
            ADD_FAILURE() << result.message();
        }
    };
    for (std::size_t i = 0; i < values.size(); ++i) {
        const Extended80 a = values[i];
        const long double fa = ToFpu(a);
        // Each value against the first ones (the edges) and against a random partner.
        for (std::size_t j = 0; j < 27; ++j) {
            for (const Extended80 b : {values[j], values[random() % values.size()]}) {
                const long double fb = ToFpu(b);
                const std::string pair = Describe(a) + " and " + Describe(b);
                check(Same(("sum of " + pair).c_str(), a + b, fa + fb));
                check(Same(("difference of " + pair).c_str(), a - b, fa - fb));
                check(Same(("product of " + pair).c_str(), a * b, fa * fb));
                check(Same(("quotient of " + pair).c_str(), a / b, fa / fb));
                const bool order[] = {a == b, a != b, a<b, a <= b, a> b, a >= b};
                const bool fpuOrder[] = {fa == fb, fa != fb, fa<fb, fa <= fb, fa> fb, fa >= fb};
                if (std::memcmp(order, fpuOrder, sizeof order) != 0 && ++failures <= 20) {
                    ADD_FAILURE() << "comparison of " << pair;
                }
            }
        }
        const double soft = static_cast<double>(a);
        const double fpu = static_cast<double>(fa);
        if (DescribeDouble(soft) != DescribeDouble(fpu) && !(std::isnan(soft) && std::isnan(fpu)) && ++failures <= 20) {
            ADD_FAILURE() << "to double of " << Describe(a) << ": " << DescribeDouble(soft) << " and "
                          << DescribeDouble(fpu);
        }
        check(Same("from long double", Extended80(fa), fa));
        check(Same("from double", Extended80(fpu), static_cast<long double>(fpu)));
        const auto integer = static_cast<int>(random());
        check(Same("from int", Extended80(integer), static_cast<long double>(integer)));
        const Extended80Wide wide = (static_cast<Extended80Wide>(random()) << 64 | random()) >> (random() % 128);
        check(Same("from 128 bits", Extended80(wide), static_cast<long double>(wide)));
    }
    EXPECT_EQ(failures, 0);
}

TEST(Extended80, PowersOfTenAgreeWithPowl) {
    for (int k = 0; k <= 4940; ++k) {
        ASSERT_TRUE(Same(("10^" + std::to_string(k)).c_str(), Extended80::PowerOfTen(k),
                         std::pow(10.0L, static_cast<long double>(k))));
    }
}

#endif

} // namespace
} // namespace korvex::conversion
