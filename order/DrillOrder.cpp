#include "order/DrillOrder.h"

namespace korvex::order {

std::string_view DrillOrderName(DrillOrder order) {
    return order == DrillOrder::Short ? "short" : "file";
}

std::optional<DrillOrder> ParseDrillOrder(std::string_view word) {
    if (word == "file") {
        return DrillOrder::File;
    }
    if (word == "short") {
        return DrillOrder::Short;
    }
    return std::nullopt;
}

} // namespace korvex::order
