#pragma once

#include <cstdint>

namespace plume {

// Rounds to the nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
double roundHalfEven(double value);

// Rounds half to even and clamps into the range of a 32-bit signed integer (NaN gives 0).
int32_t toInt32HalfEven(double value);

// Rounds half to even and clamps into the range of a 16-bit signed integer (NaN gives 0).
int16_t toInt16HalfEven(double value);

}  // namespace plume
