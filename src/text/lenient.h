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

// Field 1: the text before the first comma (the whole line without one).
std::string_view field1(std::string_view line);
// Field 2: from after the first comma up to the second one, or to the end of
// the line; the whole line when it has no comma.
std::string_view field2(std::string_view line);

}  // namespace cpg
