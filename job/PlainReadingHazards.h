// Signs in a drill file that the plain reading (thousandths of an inch or millimetres, divided by the divisor)
// will put holes in the wrong places or drill holes that do not exist. Whether it did is the placement
// check's to say; these only explain why, inside its one warning line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/ConversionState.h"
#include "excellon/Format.h"

namespace korvex::job {

class PlainReadingHazards : public conversion::LineWatcher {
public:
    void OnLine(std::string_view line, std::size_t number) override;

    // One phrase per cause found, in a fixed order, each naming the first input line where it has one.
    // `state` gives what the plain reading noted itself (inch numbers with a decimal point) and the divisor.
    std::vector<std::string> Causes(const conversion::ConversionState& state) const;

private:
    struct Sign {
        std::size_t line = 0; // 0: not seen
        std::string text;
    };
    static void Note(Sign& sign, std::string_view line, std::size_t number);

    excellon::Format hints_;
    Sign leadingZeros_;
    Sign formatComment_;
    Sign incremental_;
    Sign repeat_;
    Sign origin_;
    Sign slot_;
    Sign route_;
};

} // namespace korvex::job
