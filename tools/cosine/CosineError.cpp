// The integer cosine's error against libquadmath's cosq (113 bits, so its
// own error is far below the 64-bit result's last place), in units in the
// last place of the extended result at the exact value's magnitude: a sweep
// of random significands in every binade from 2^-70 up to 2^63 (from there
// on the cosine gives 0), then the worst. With arguments on standard input (hex
// significand and exponent a line, x = significand × 2^exponent, as
// hard_arguments.py's search finds them) it measures those instead.
//
//   g++ -std=c++20 -O2 -Isrc -o cosine-error tools/cosine/CosineError.cpp
//       src/runtime/ExtendedCosine.cpp src/runtime/SoftExtended.cpp -lquadmath
//   ./cosine-error 200000            # per binade
//   ./cosine-error < arguments.txt
#include <quadmath.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "runtime/ExtendedCosine.h"

namespace {

double UnitsOff(std::uint64_t significand, int exponent) {
    const qmk::SoftExtended x = qmk::SoftExtended::FromBits(false, static_cast<std::uint16_t>(exponent + 16383 + 63),
                                                            significand);
    const __float128 exact = cosq(ldexpq(static_cast<__float128>(significand), exponent));
    const qmk::SoftExtended c = qmk::Cosine(x);
    const int field = c.ExponentField() == 0 ? 1 : c.ExponentField();
    __float128 got = ldexpq(static_cast<__float128>(c.Significand()), field - 16383 - 63);
    if (c.SignBit()) got = -got;
    int magnitude = 0;
    frexpq(exact, &magnitude);
    return static_cast<double>(fabsq(got - exact) / ldexpq(1, magnitude - 64));
}

}  // namespace

int main(int argc, char** argv) {
    double worst = 0;
    if (argc > 1) {
        const long perBinade = std::atol(argv[1]);
        std::mt19937_64 random(argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1);
        for (int exponent = -70 - 63; exponent < 0; ++exponent) {
            double binadeWorst = 0;
            std::uint64_t at = 0;
            for (long i = 0; i < perBinade; ++i) {
                const std::uint64_t m = random() | 0x8000000000000000ull;
                const double units = UnitsOff(m, exponent);
                if (units > binadeWorst) {
                    binadeWorst = units;
                    at = m;
                }
            }
            std::printf("[2^%d, 2^%d): %.3f at %016llx %d\n", exponent + 63, exponent + 64, binadeWorst,
                        static_cast<unsigned long long>(at), exponent);
            if (binadeWorst > worst) worst = binadeWorst;
        }
    } else {
        unsigned long long m = 0;
        int exponent = 0;
        char line[256];
        while (std::fgets(line, sizeof line, stdin) != nullptr) {
            if (std::sscanf(line, "%llx %d", &m, &exponent) != 2) continue;
            const double units = UnitsOff(m, exponent);
            std::printf("%016llx %d: %.3f\n", m, exponent, units);
            if (units > worst) worst = units;
        }
    }
    std::printf("worst %.3f units in the last place\n", worst);
    return 0;
}
