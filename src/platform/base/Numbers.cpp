#include "platform/base/Numbers.h"

#include <cmath>
#include <limits>

namespace plume {

double roundHalfEven(double value) {
    if (!std::isfinite(value)) return value;
    const double floor = std::floor(value);
    const double diff = value - floor;
    if (diff > 0.5) return floor + 1.0;
    if (diff < 0.5) return floor;
    return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

namespace {
template <typename T>
T clampedHalfEven(double value) {
    if (std::isnan(value)) return 0;
    const double r = roundHalfEven(value);
    if (r <= static_cast<double>(std::numeric_limits<T>::min()))
        return std::numeric_limits<T>::min();
    if (r >= static_cast<double>(std::numeric_limits<T>::max()))
        return std::numeric_limits<T>::max();
    return static_cast<T>(r);
}
}  // namespace

int32_t toInt32HalfEven(double value) {
    return clampedHalfEven<int32_t>(value);
}
int16_t toInt16HalfEven(double value) {
    return clampedHalfEven<int16_t>(value);
}

}  // namespace plume
