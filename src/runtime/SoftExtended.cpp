#include "runtime/SoftExtended.h"

namespace qmk {

long double SoftExtended::Native() const {
    using namespace soft_extended;
    if constexpr (LDBL_MANT_DIG == 64) {
        unsigned char bytes[sizeof(long double)] = {};
        const std::uint16_t top = top_;
        std::memcpy(bytes, &significand_, 8);
        std::memcpy(bytes + 8, &top, 2);
        long double value;
        std::memcpy(&value, bytes, sizeof value);
        return value;
    } else {
        // Quadruple precision holds every extended value exactly; it has
        // no unsupported encodings, so those become its NaN.
        const Uint128 sign = static_cast<Uint128>(SignBit()) << 127;
        Uint128 bits = 0;
        switch (Classify()) {
        case Kind::Zero: bits = sign; break;
        case Kind::Infinity: bits = sign | (static_cast<Uint128>(MaxExponent) << 112); break;
        case Kind::Invalid:
        case Kind::QuietNaN:
        case Kind::SignalingNaN: {
            const SoftExtended nan = Classify() == Kind::Invalid ? DefaultNaN() : Quieted();
            bits = (static_cast<Uint128>(nan.SignBit()) << 127) | (static_cast<Uint128>(MaxExponent) << 112) |
                   (static_cast<Uint128>(nan.significand_ & ~IntegerBit) << 49);
            break;
        }
        case Kind::Finite: {
            // Normalise (denormals and pseudo-denormals), then drop the
            // integer bit; quad denormals start below extended's.
            const int shift = std::countl_zero(significand_);
            const std::int32_t exponent = Scale() + 63 - shift;  // of the top bit
            const Uint128 m = static_cast<Uint128>(significand_ << shift) << 49;
            if (exponent >= 1 - Bias) {
                bits = sign | (static_cast<Uint128>(exponent + Bias) << 112) |
                       (m & ((static_cast<Uint128>(1) << 112) - 1));
            } else {
                bits = sign | (m >> (1 - Bias - exponent));
            }
            break;
        }
        }
        long double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
}

}  // namespace qmk
