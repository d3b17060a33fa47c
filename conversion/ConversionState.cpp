#include "conversion/ConversionState.h"

namespace korvex::conversion {

std::string StoreZWord(std::string_view word) {
    constexpr std::size_t kCapacity = 5;
    if (word.size() <= kCapacity) {
        return std::string(word);
    }
    const std::size_t point = word.find('.');
    if (point != std::string_view::npos && point <= kCapacity) {
        const std::size_t firstDecimalCut = std::max(kCapacity, point + 1);
        if (word.find_first_not_of('0', firstDecimalCut) == std::string_view::npos) {
            return std::string(word.substr(0, kCapacity));
        }
    }
    if (point == std::string_view::npos) {
        return std::string(word);
    }
    std::size_t end = word.size();
    while (end > point + 1 && word[end - 1] == '0') {
        --end;
    }
    if (end == point + 1) {
        end = point; // every decimal was zero: the point goes too
    }
    return std::string(word.substr(0, end));
}

BodyReading::~BodyReading() = default;
LineWatcher::~LineWatcher() = default;

ConversionState& TheConversionState() {
    static ConversionState state;
    return state;
}

} // namespace korvex::conversion
