#include "conversion/Numbers.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

#include "conversion/ConversionState.h"
#include "platform/DecimalSeparator.h"

namespace korvex::conversion {
namespace {

class SeparatorGuard {
public:
    explicit SeparatorGuard(char separator) : saved_(platform::DecimalSeparator()) {
        platform::SetDecimalSeparator(separator);
    }
    ~SeparatorGuard() { platform::SetDecimalSeparator(saved_); }

private:
    char saved_;
};

struct RealCase {
    const char* text;
    bool valid;
    double value;
};

TEST(ParseReal, NumberSyntaxWithPointSeparator) {
    const RealCase cases[] = {
        {" 12.5 ", true, 12.5},
        {"5.", true, 5.0},
        {".5", true, 0.5},
        {"-.5", true, -0.5},
        {"+3", true, 3.0},
        {"1e3", true, 1000.0},
        {"1E+2", true, 100.0},
        {"1e", true, 1.0},
        {"1e-", true, 1.0},
        {"2.5E-1", true, 0.25},
        {".", true, 0.0},
        {"-.", true, 0.0},
        {".e5", true, 0.0},
        {"   7", true, 7.0},
        {"0.1", true, 0.1},
        {"1e-400", true, 0.0},
        {"123456789012345678901234567890", true, 1.2345678901234568e29},
        {"\t1", false, 0},
        {"1\t", false, 0},
        {"", false, 0},
        {"   ", false, 0},
        {"+", false, 0},
        {"-", false, 0},
        {"e5", false, 0},
        {"1,5", false, 0},
        {"1.2.3", false, 0},
        {"1 2", false, 0},
        {"1e999", false, 0},
        {"-1e309", false, 0},
        {"0x10", false, 0},
        {"inf", false, 0},
        {"nan", false, 0},
        {"1-2", false, 0},
        {"--1", false, 0},
        {"1e+-2", false, 0},
    };
    for (const RealCase& c : cases) {
        SCOPED_TRACE(std::string("text '") + c.text + "'");
        const std::optional<double> value = ParseReal(c.text, '.');
        ASSERT_EQ(value.has_value(), c.valid);
        if (c.valid) {
            EXPECT_EQ(*value, c.value);
        }
    }
}

TEST(ParseReal, NearestDoubleAndSignOfZero) {
    EXPECT_EQ(*ParseReal("0.30000000000000004", '.'), 0.30000000000000004);
    // Fifteen digits are one exact division; a sixteenth would round twice (to 9.30633599643092).
    EXPECT_EQ(*ParseReal("9.30633599643092", '.'), 9.30633599643092);
    EXPECT_EQ(*ParseReal("9.306335996430919", '.'), 9.306335996430919);
    EXPECT_EQ(*ParseReal("2.2250738585072014e-308", '.'), std::numeric_limits<double>::min());
    EXPECT_EQ(*ParseReal("1.7976931348623157e308", '.'), std::numeric_limits<double>::max());
    EXPECT_TRUE(std::signbit(*ParseReal("-0", '.')));
    EXPECT_TRUE(std::signbit(*ParseReal("-1e-999", '.')));
}

TEST(StrToReal, RetriesWithCommaAndQuotesTheSecondText) {
    SeparatorGuard point('.');
    struct Case {
        const char* text;
        const char* message;
    };
    const Case failures[] = {
        {"1,5", "Can not convert value 1,5"}, {"1.2.3", "Can not convert value 1,2,3"},
        {"", "Can not convert value "},       {"1e999", "Can not convert value 1e999"},
        {"abc", "Can not convert value abc"},
    };
    for (const Case& c : failures) {
        SCOPED_TRACE(c.text);
        try {
            StrToReal(c.text);
            ADD_FAILURE() << "no error raised";
        } catch (const ConversionError& error) {
            EXPECT_STREQ(error.what(), c.message);
            EXPECT_EQ(error.FileText(), c.text) << "the text as written, for korvex-cli's line";
        }
    }
}

TEST(StrToReal, CommaSeparatorReadsBothForms) {
    SeparatorGuard comma(',');
    EXPECT_EQ(StrToReal("1,5"), 1.5);
    EXPECT_EQ(StrToReal("1.5"), 1.5);
    EXPECT_EQ(StrToReal("-.25"), -0.25);
    EXPECT_THROW(StrToReal("1.2.3"), ConversionError);
}

TEST(StrToIntOrZero, AcceptedAndRefusedForms) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"01", 1},
        {"-3", -3},
        {" 7", 7},
        {"X12", 18},
        {"x1f", 31},
        {"$FF", 255},
        {"0x10", 16},
        {"0X1a", 26},
        {"-$10", -16},
        {"$FFFFFFFF", -1},
        {"2147483647", 2147483647},
        {"-2147483648", std::numeric_limits<std::int32_t>::min()},
        {"7 ", 0},
        {"1.5", 0},
        {"", 0},
        {"+", 0},
        {"-", 0},
        {"$", 0},
        {"0x", 0},
        {"2147483648", 0},
        {"-2147483649", 0},
        {"$100000000", 0},
        {"99999999999999999999999", 0},
        {"12AB", 0},
        {"\t1", 0},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(StrToIntOrZero(text), expected) << "text '" << text << "'";
    }
}

struct FormatCase {
    int width;
    int decimals;
    Extended value;
    const char* text;
};

TEST(RealToStr, FixedPointRoundingAndCut) {
    const FormatCase cases[] = {
        {5, 3, 1, "1.000"},
        {5, 3, -2, "-2.000"},
        {5, 3, 0, "0.000"},
        {5, 3, -10, "-10.000"},
        {1, 3, 15.5, "15.500"},
        {1, 3, 0.0625, "0.063"},
        {1, 3, -0.0625, "-0.063"},
        {1, 3, -0.0004, "-0.000"},
        {1, 3, 9.9996, "10.000"},
        {1, 3, 1234567.891, "1234567.891"},
        {1, 3, -1234567.891, "-1234567.89"},
        {1, 3, 12345678.9, "12345678.90"},
        {8, 3, 1, "   1.000"},
        {1, 3, -0.0, "-0.000"},
        {1, 0, 2.5, "3"},
        {1, 0, 0.4, "0"},
        {1, 2, 0.005, "0.01"},
        {1, 3, 0.1, "0.100"},
        {1, 3, 999.9995, "1000.000"},
        {1, 3, 31.75, "31.750"},
        {1, 3, 64.516, "64.516"},
        {1, 3, 1e-20, "0.000"},
        {1, 3, 65536, "65536.000"},
        // The integer digits are never cut: a shortened text would be a factor-of-ten error.
        {1, 3, 123456789012.0, "123456789012"},
        {1, 3, -98765432109.5, "-98765432109"},
        {1, 3, 1e20, "100000000000000000000"},
        {1, 3, 1234567890.125, "1234567890."},
        // More decimals than the 17 the expansion yields: the rest are zeros.
        {1, 20, 0.1, "0.100000000"},
        {12, 20, 0.5, "0.500000000"},
        {1, 0, 1e17, "100000000000000000"},
        {1, 2, 123456789012345678.0, "123456789012345680"},
    };
    for (const FormatCase& c : cases) {
        EXPECT_EQ(RealToStr(static_cast<std::uint8_t>(c.width), static_cast<std::uint8_t>(c.decimals), c.value), c.text)
            << "width " << c.width << ", decimals " << c.decimals << ", value " << static_cast<double>(c.value);
    }
}

TEST(RealToStr, SumInExtendedPrecisionIsNotRoundedToDouble) {
    const Extended sum = static_cast<Extended>(0.0005) + static_cast<Extended>(1.0);
    EXPECT_EQ(RealToStr(5, 3, sum), "1.001");
    EXPECT_EQ(RealToStr(5, 3, static_cast<double>(sum)), "1.000");
}

TEST(RealToStr, EveryTextFitsAndNonFiniteValuesHaveATextToo) {
    EXPECT_EQ(RealToStr(1, 3, 1.5e40L), "1.50000E+40");
    EXPECT_EQ(RealToStr(1, 3, -1.5e40L), "-1.5000E+40");
    EXPECT_LE(RealToStr(1, 3, std::numeric_limits<Extended>::max()).size(), 11u);
    EXPECT_EQ(RealToStr(1, 3, std::numeric_limits<Extended>::infinity()), "INF");
    EXPECT_EQ(RealToStr(1, 3, -std::numeric_limits<Extended>::infinity()), "-INF");
    EXPECT_EQ(RealToStr(1, 3, std::numeric_limits<Extended>::quiet_NaN()), "NAN");
    EXPECT_EQ(RealToStr(1, 3, std::numeric_limits<Extended>::denorm_min()), "0.000");
}

TEST(RealToStr, AgreesWithExactDecimalExpansionOnManyValues) {
    // For magnitudes below 10 the text is the exact value rounded to 17 decimals, then to 3 (half up).
    // Compare with a reference built from printf's exact expansion at 17 decimals.
    for (int i = 0; i < 20000; ++i) {
        const double value = (i * 0.000731) - 7.3;
        char reference[64];
        std::snprintf(reference, sizeof reference, "%.17Lf", static_cast<long double>(std::fabs(value)));
        std::string digits(reference);
        const std::size_t point = digits.find('.');
        std::string kept = digits.substr(0, point + 4);
        if (digits[point + 4] >= '5') {
            // add one unit in the third decimal
            for (std::size_t j = kept.size(); j-- > 0;) {
                if (kept[j] == '.') {
                    continue;
                }
                if (kept[j] == '9') {
                    kept[j] = '0';
                    if (j == 0) {
                        kept.insert(kept.begin(), '1');
                    }
                } else {
                    ++kept[j];
                    break;
                }
            }
        }
        if (std::signbit(value)) {
            kept.insert(kept.begin(), '-');
        }
        ASSERT_EQ(RealToStr(1, 3, value), kept) << "value " << value;
    }
}

TEST(FormatLineNumber, FiveDigitsWrapAndSign) {
    const std::pair<std::int32_t, const char*> cases[] = {
        {0, "00000"},      {85, "00085"},  {99999, "99999"},      {100000, "00000"},
        {123456, "23456"}, {-5, "-00005"}, {2147483647, "83647"}, {std::numeric_limits<std::int32_t>::min(), "-83648"},
    };
    for (const auto& [number, text] : cases) {
        EXPECT_EQ(FormatLineNumber(number), text) << number;
    }
}

TEST(LineNumberPrefix, NumbersEachLineAndAdvances) {
    ConversionState state;
    state.LineNumbersOn = true;
    state.LineNumberIncrement = 1;
    state.LineNumber = 0;
    EXPECT_EQ(LineNumberPrefix(state), "N00000 ");
    EXPECT_EQ(LineNumberPrefix(state), "N00001 ");
    EXPECT_EQ(LineNumberPrefix(state), "N00002 ");
    EXPECT_EQ(state.LineNumber, 3);

    state.LineNumbersOn = false;
    EXPECT_EQ(LineNumberPrefix(state), "");
    EXPECT_EQ(state.LineNumber, 3);

    state.LineNumbersOn = true;
    state.LineNumberIncrement = 50;
    state.LineNumber = 0;
    std::string prefix;
    for (int line = 1; line <= 2001; ++line) {
        prefix = LineNumberPrefix(state);
    }
    EXPECT_EQ(prefix, "N00000 ");
    EXPECT_EQ(LineNumberPrefix(state), "N00050 ");

    state.LineNumber = std::numeric_limits<std::int32_t>::max();
    state.LineNumberIncrement = 1;
    EXPECT_EQ(LineNumberPrefix(state), "N83647 ");
    EXPECT_EQ(state.LineNumber, std::numeric_limits<std::int32_t>::min());
}

// The three-decimal fast path either gives the full algorithm's text or declines (0), never another text.
TEST(RealToStr, FastPathGivesTheFullTextOrDeclines) {
    const double tie = 0.0625; // exactly 62.5 thousandths
    // 2.0625 is a tie too; one of its ulps is 1000 units of 2^-51 in value * 1000, and the path declines
    // what lies closer than 2^-28 (8388.608 ulps) to a tie.
    auto ulpsAbove = [](double value, int ulps) {
        for (int i = 0; i < ulps; ++i) {
            value = std::nextafter(value, 4.0);
        }
        return value;
    };
    struct Case {
        const char* name;
        Extended value;
        int takes; // 1 taken, 0 declined, -1 either
        const char* text;
    };
    const Case cases[] = {
        {"zero", 0.0, 1, "0.000"},
        {"negative zero", -0.0, 0, "-0.000"},
        {"coordinate", 123.456, 1, "123.456"},
        // Every count of integer digits, and roundings that carry into one more.
        {"one digit", 7.25, 1, "7.250"},
        {"two digits", -42.5, 1, "-42.500"},
        {"four digits", 1000.001, 1, "1000.001"},
        {"five digits", 99999.5, 1, "99999.500"},
        {"rounds up to two digits", 9.9996, 1, "10.000"},
        {"rounds up to four digits", -999.9996, 1, "-1000.000"},
        {"negative below half a thousandth", -0.0004, 1, "-0.000"},
        {"exact tie", tie, 0, "0.063"},
        {"one ulp below a tie", std::nextafter(tie, 0.0), 0, "0.062"},
        {"one ulp above a tie", std::nextafter(tie, 1.0), 0, "0.063"},
        {"negative tie", -tie, 0, "-0.063"},
        {"decimal tie", 1.0005, 0, "1.000"},
        {"8388 ulps above a tie", ulpsAbove(2.0625, 8388), 0, "2.063"},
        {"8389 ulps above a tie", ulpsAbove(2.0625, 8389), 1, "2.063"},
        {"large decimal tie", 12345.6785, -1, nullptr},
        {"just below 1e5", std::nextafter(1e5, 0.0), 1, "100000.000"},
        {"1e5", 1e5, 0, "100000.000"},
        {"negative near 1e5", -99999.9995, -1, nullptr},
        {"subnormal", std::numeric_limits<double>::denorm_min(), 0, "0.000"},
        {"smallest normal", std::numeric_limits<double>::min(), 0, "0.000"},
        {"tiny", 1e-30, 0, "0.000"},
        {"nan", std::numeric_limits<double>::quiet_NaN(), 0, "NAN"},
        {"infinity", std::numeric_limits<double>::infinity(), 0, "INF"},
        {"negative infinity", -std::numeric_limits<double>::infinity(), 0, "-INF"},
        {"extended, no double", 1.5L + 0x1p-60L, -1, "1.500"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::uint8_t width : {1, 5, 11}) {
            std::string fast;
            std::string full;
            AppendRealToStr(fast, width, 3, c.value);
            AppendRealToStrFull(full, width, 3, c.value);
            EXPECT_EQ(fast, full) << int{width};
        }
        if (c.text != nullptr) {
            EXPECT_EQ(RealToStr(1, 3, c.value), c.text);
        }
        char text[kMaxThreeDecimals];
        const std::size_t length = WriteThreeDecimals(static_cast<double>(c.value), text);
        if (c.takes >= 0) {
            EXPECT_EQ(length > 0, c.takes == 1);
        }
        if (length > 0) {
            EXPECT_EQ(std::string(text, length), RealToStr(1, 3, static_cast<double>(c.value)));
        }
    }
}

} // namespace
} // namespace korvex::conversion
