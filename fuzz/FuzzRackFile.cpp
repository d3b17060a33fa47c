// A rack file and a --drills list: whatever the text, the readers either fill the bits with diameters in range
// and return no error, or leave the bits as they were and return a one-line error; the bits read come back
// the same through the rack file the window writes.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "excellon/RackFile.h"
#include "fuzz/FuzzSupport.h"

namespace {

using korvex::excellon::RackBit;

void CheckBits(const std::vector<RackBit>& bits, const std::string& error, std::string_view text) {
    if (!error.empty()) {
        KORVEX_FUZZ_CHECK(bits.empty(), "bits left behind an error for " + korvex::fuzz::Escaped(text));
        KORVEX_FUZZ_CHECK(error.find('\n') == std::string::npos, "error of more than one line: " + error);
        return;
    }
    for (const RackBit& bit : bits) {
        KORVEX_FUZZ_CHECK(bit.diameterMm > 0.0 && bit.diameterMm <= korvex::excellon::kLargestRackMm,
                          "diameter out of range from " + korvex::fuzz::Escaped(text));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<RackBit> bits;
    const std::string error = korvex::excellon::ParseRackText(text, "rack.txt", bits);
    CheckBits(bits, error, text);
    if (error.empty()) {
        std::vector<RackBit> again;
        const std::string rewritten = korvex::excellon::RackText(bits);
        KORVEX_FUZZ_CHECK(korvex::excellon::ParseRackText(rewritten, "rack.txt", again).empty(),
                          "the written rack does not read back: " + korvex::fuzz::Escaped(rewritten));
        KORVEX_FUZZ_CHECK(again.size() == bits.size(), "the written rack reads back other bits");
        for (std::size_t i = 0; i < bits.size() && i < again.size(); ++i) {
            KORVEX_FUZZ_CHECK(again[i].diameterMm == bits[i].diameterMm && again[i].name == bits[i].name,
                              "the written rack reads back other bits: " + korvex::fuzz::Escaped(rewritten));
        }
    }
    std::vector<RackBit> listed;
    CheckBits(listed, korvex::excellon::ParseDrillList(text, listed), text);
    return 0;
}
