// The software extended format against the FPU. Input: two x87 values of ten bytes each (little endian, as
// in memory). Every operation the converter uses must give the FPU's bits: sum, difference, product,
// quotient, the comparisons, and the conversions from and to double. Only meaningful where long double is
// the x87 format; elsewhere every input passes.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "conversion/Extended80.h"
#include "fuzz/FuzzSupport.h"

namespace {

using korvex::conversion::Extended80;

std::string Describe(Extended80 v) {
    char text[64];
    std::snprintf(text, sizeof text, "%s 0x%04X 0x%016llX", v.Negative() ? "-" : "+", v.Exponent(),
                  static_cast<unsigned long long>(v.Significand()));
    return text;
}

// The stored bits of a value; false for the patterns that are no x87 value (unnormals, pseudo-denormals,
// pseudo-infinities), which the converter never forms.
bool Read(const std::uint8_t* bytes, Extended80& value) {
    std::uint64_t significand = 0;
    std::memcpy(&significand, bytes, sizeof significand);
    const int exponent = (bytes[8] | (bytes[9] << 8)) & 0x7FFF;
    const bool integerBit = (significand & Extended80::kIntegerBit) != 0;
    if (exponent == 0 ? integerBit : !integerBit) {
        return false;
    }
    value = Extended80::FromParts((bytes[9] & 0x80) != 0, static_cast<std::uint16_t>(exponent), significand);
    return true;
}

#if (defined(__x86_64__) || defined(__i386__)) && LDBL_MANT_DIG == 64

long double ToFpu(Extended80 v) {
    unsigned char bytes[sizeof(long double)] = {};
    const std::uint64_t significand = v.Significand();
    std::memcpy(bytes, &significand, sizeof significand);
    const int top = v.Exponent() | (v.Negative() ? 0x8000 : 0);
    bytes[8] = static_cast<unsigned char>(top & 0xFF);
    bytes[9] = static_cast<unsigned char>(top >> 8);
    long double value = 0;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

void CheckSame(const char* what, Extended80 a, Extended80 b, Extended80 soft, long double fpu) {
    unsigned char bytes[sizeof(long double)];
    std::memcpy(bytes, &fpu, sizeof bytes);
    Extended80 expected;
    Read(bytes, expected);
    const bool same = Describe(soft) == Describe(expected) || (isnan(soft) && std::isnan(fpu));
    KORVEX_FUZZ_CHECK(same, std::string(what) + " of " + Describe(a) + " and " + Describe(b) + ": software " +
                                Describe(soft) + ", FPU " + Describe(expected));
}

void CheckPair(Extended80 a, Extended80 b) {
    const long double fa = ToFpu(a);
    const long double fb = ToFpu(b);
    CheckSame("sum", a, b, a + b, fa + fb);
    CheckSame("difference", a, b, a - b, fa - fb);
    CheckSame("product", a, b, a * b, fa * fb);
    CheckSame("quotient", a, b, a / b, fa / fb);
    const bool order[] = {a == b, a != b, a<b, a <= b, a> b, a >= b};
    const bool fpuOrder[] = {fa == fb, fa != fb, fa<fb, fa <= fb, fa> fb, fa >= fb};
    KORVEX_FUZZ_CHECK(std::memcmp(order, fpuOrder, sizeof order) == 0,
                      "comparison of " + Describe(a) + " and " + Describe(b));
    const double soft = static_cast<double>(a);
    const double fpu = static_cast<double>(fa);
    const bool sameDouble = std::memcmp(&soft, &fpu, sizeof soft) == 0 || (std::isnan(soft) && std::isnan(fpu));
    KORVEX_FUZZ_CHECK(sameDouble, "to double of " + Describe(a));
    CheckSame("from double", a, b, Extended80(fpu), static_cast<long double>(fpu));
}

#else

void CheckPair(Extended80, Extended80) {}

#endif

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Extended80 a;
    Extended80 b;
    if (size < 20 || !Read(data, a) || !Read(data + 10, b)) {
        return 0;
    }
    CheckPair(a, b);
    CheckPair(b, a);
    return 0;
}
