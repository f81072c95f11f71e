// The cone a drop adds to the water: which cells it covers and how much each gains.
//
// Every engine stamps drops with these functions, so their amounts agree to the bit
// whether they are added on the processor or handed to the graphics processor.
#pragma once

#include "ripple/ripple_kernels.h"

#include <cmath>
#include <cstdint>

namespace rillo {

// Double to int32 truncation as the processor's cvttsd2si does it: values that do
// not fit, and NaN, give INT32_MIN instead of undefined behaviour.
inline std::int32_t TruncateToInt32(double v) {
    if (!(v > -2147483649.0 && v < 2147483648.0))
        return INT32_MIN;
    return std::int32_t(v);
}

// First and one-past-last offset from a centre along one axis of n cells, clipped
// to the interior 1 .. n - 2. Worked in 64 bits so no centre or radius can wrap
// into a range outside the buffer; equal to the 32-bit rule wherever that fits.
inline void ClipOffsets(std::int64_t centre, std::int64_t radius, std::int64_t n,
                        std::int64_t& start, std::int64_t& end) {
    start = centre - radius >= 1 ? -radius : 1 - centre;
    end = centre + radius <= n - 1 ? radius : n - 1 - centre;
}

// What the cell at squared distance d2 (32-bit, as the offsets square and add) gains
// from a drop of this radius and k = strength / 64; cells at the radius or beyond
// gain nothing.
inline std::int32_t DropAmount(std::int32_t nRadius, std::int32_t k, std::int32_t d2) {
    if (d2 >= WrapMul(nRadius, nRadius))
        return 0;
    return TruncateToInt32((double(nRadius) - std::sqrt(double(d2))) * k);
}

} // namespace rillo
