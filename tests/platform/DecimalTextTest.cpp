#include "platform/DecimalText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>

namespace korvex::platform {
namespace {

TEST(DecimalTextTest, WritesAPointAndNoNegativeZero) {
    struct Row {
        double value;
        int decimals;
        const char* fixed;
        const char* shortText;
    };
    for (const Row& row :
         {Row{3.5, 3, "3.500", "3.5"}, Row{-46.5, 3, "-46.500", "-46.5"}, Row{100.0, 3, "100.000", "100"},
          Row{0.0005, 3, "0.001", "0.001"}, Row{-0.0004, 3, "0.000", "0"}, Row{-0.0, 1, "0.0", "0"},
          Row{12.25, 1, "12.2", "12.2"}, Row{1e20, 0, "100000000000000000000", "100000000000000000000"},
          Row{std::numeric_limits<double>::infinity(), 3, "?", "?"}}) {
        EXPECT_EQ(FixedText(row.value, row.decimals), row.fixed) << row.value;
        EXPECT_EQ(ShortText(row.value, row.decimals), row.shortText) << row.value;
    }
}

TEST(DecimalTextTest, ReadsPlainDecimalsOnly) {
    struct Row {
        const char* text;
        std::optional<double> value;
    };
    for (const Row& row :
         {Row{"1.5", 1.5}, Row{"+1.5", 1.5}, Row{"-.5", -0.5}, Row{"3.", 3.0}, Row{"007", 7.0}, Row{"", std::nullopt},
          Row{"+", std::nullopt}, Row{"+-1", std::nullopt}, Row{"1,5", std::nullopt}, Row{"1e5", std::nullopt},
          Row{" 1", std::nullopt}, Row{"1 ", std::nullopt}, Row{"inf", std::nullopt}, Row{"nan", std::nullopt},
          Row{"1.2.3", std::nullopt}, Row{"1e999", std::nullopt}, Row{".", std::nullopt}}) {
        EXPECT_EQ(ReadDecimal(row.text), row.value) << '"' << row.text << '"';
    }
    const std::string huge(400, '9');
    EXPECT_EQ(ReadDecimal(huge), std::nullopt); // out of range
}

} // namespace
} // namespace korvex::platform
