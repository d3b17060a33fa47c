#include "conversion/ConversionState.h"

namespace korvex::conversion {

namespace {

// A letter, an optional sign, then digits with at most one point and at least one digit.
bool IsNumberWord(std::string_view word) {
    std::size_t i = 1;
    if (i < word.size() && (word[i] == '+' || word[i] == '-')) {
        ++i;
    }
    bool digit = false;
    bool point = false;
    for (; i < word.size(); ++i) {
        if (word[i] >= '0' && word[i] <= '9') {
            digit = true;
        } else if (word[i] == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digit;
}

} // namespace

std::string StoreZWord(std::string_view word) {
    constexpr std::size_t kCapacity = 5;
    if (word.size() <= kCapacity) {
        return std::string(word);
    }
    // Only a number has decimal zeros to spare; any other text is simply cut.
    if (!IsNumberWord(word)) {
        return std::string(word.substr(0, kCapacity));
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
