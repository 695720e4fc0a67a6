// Lenient conversions of text to numbers, as the C library's atoi and atof
// read decimal text: leading white space skipped, the longest numeric prefix
// taken, 0 when there is none. Nothing is ever reported.
#pragma once
#include <cstdint>
#include <string_view>

namespace cpg {

// Optional sign and decimal digits; values outside the 32-bit range saturate.
std::int32_t lenient_int(std::string_view text);

// Optional sign, digits with an optional point (or a point and digits), an
// optional exponent; correctly rounded like strtod on that prefix. Only
// decimal text counts: "inf", "nan" and hexadecimal forms read as 0.0 (or the
// leading "0" of "0x..").
double lenient_double(std::string_view text);

// The common plain form, [sign] digits [. digits] with at most 15 digits in
// all and nothing else: mantissa and power of ten are then exact doubles, so
// one division gives the correctly rounded value, the same as strtod. On
// success p is left on the first character after the number, which the
// caller must check ends it; false (p unchanged) for any other form.
inline bool parse_plain_decimal(const char*& p, const char* end, double& value) {
  static constexpr double exact_pow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6, 1e7,
                                           1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  const char* q = p;
  bool negative = false;
  if (q < end && (*q == '-' || *q == '+')) negative = *q++ == '-';
  unsigned long long m = 0;
  int digits = 0, frac = 0;
  while (q < end && static_cast<unsigned>(*q - '0') < 10 && digits < 16) m = m * 10 + unsigned(*q++ - '0'), ++digits;
  if (q < end && *q == '.') {
    ++q;
    while (q < end && static_cast<unsigned>(*q - '0') < 10 && digits < 16)
      m = m * 10 + unsigned(*q++ - '0'), ++digits, ++frac;
  }
  if (digits == 0 || digits > 15) return false;
  double v = static_cast<double>(m) / exact_pow10[frac];
  value = negative ? -v : v;
  p = q;
  return true;
}

// Field 1: the text before the first comma (the whole line without one).
std::string_view field1(std::string_view line);
// Field 2: from after the first comma up to the second one, or to the end of
// the line; the whole line when it has no comma.
std::string_view field2(std::string_view line);

}  // namespace cpg
