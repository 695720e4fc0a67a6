// Number formats of every output: the default general form (6 significant
// digits, like printf "%.6g") and the 15-digit scientific form of the block
// data files (like printf "%.15e"), both with the platform's exponent rule:
// at least three exponent digits, two when PRINTF_EXPONENT_DIGITS asks for it.
#pragma once
#include <cstddef>

namespace cpg {

// Longest text either formatter writes, with room to spare.
inline constexpr std::size_t number_text_max = 40;

// 3 by default; 2 when PRINTF_EXPONENT_DIGITS is set and begins with 0, 1 or 2.
int exponent_digits_from_env();

// Write x into out (at least number_text_max bytes) and return the length.
// NaN is "nan" whatever its sign; infinities "inf" / "-inf"; -0.0 is "-0".
std::size_t format_general(char* out, double x, int exponent_digits);
// NaN is "nan" or "-nan" by its sign bit; infinities "inf" / "-inf".
std::size_t format_sci15(char* out, double x, int exponent_digits);

}  // namespace cpg
