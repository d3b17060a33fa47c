// Drives the fast-path target with generated inputs at full speed, for runs of hundreds of millions of
// executions that a coverage-guided run cannot reach on a shared machine:
//   drive_fast_paths COUNT [SEED]
// Values are drawn where the fast path decides: below 10^5, on and next to ties of three decimals, with the
// settings byte's width, sign and neighbour bits; every 256th input is a small drill file of coordinate lines.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s COUNT [SEED]\n", argv[0]);
        return 2;
    }
    const std::uint64_t count = std::strtoull(argv[1], nullptr, 10);
    std::mt19937_64 random(argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1);
    std::uniform_real_distribution<double> below(-1e5, 1e5);
    std::uint8_t input[512];
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t bits = random();
        if ((i & 255) == 255) {
            std::string drill = "MM71\n"; // settings bytes, then the file
            drill[0] = static_cast<char>((bits & 0xFE) | 1);
            drill[1] = static_cast<char>(bits >> 8);
            for (int line = 0; line < 8; ++line) {
                char text[64];
                std::snprintf(text, sizeof text, "X%.*fY%.*f\n", static_cast<int>(random() % 5), below(random),
                              static_cast<int>(random() % 5), below(random) / 100);
                drill += text;
            }
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(drill.data()), drill.size());
            continue;
        }
        double value = 0;
        switch ((bits >> 8) & 3) {
        case 0: { // any bit pattern
            const std::uint64_t pattern = random();
            std::memcpy(&value, &pattern, sizeof value);
            break;
        }
        case 1: // a tie of three decimals
            value = (std::floor(below(random) * 1000) + 0.5) / 1000;
            break;
        case 2: // a coordinate as drill files give them
            value = std::floor(below(random) * 10000) / 10000;
            break;
        default:
            value = below(random);
        }
        input[0] = static_cast<std::uint8_t>(bits & 0x1E);
        std::memcpy(input + 1, &value, sizeof value);
        LLVMFuzzerTestOneInput(input, 1 + sizeof value);
    }
    std::printf("%llu executions\n", static_cast<unsigned long long>(count));
    return 0;
}
