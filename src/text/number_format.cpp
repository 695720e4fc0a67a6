#include "text/number_format.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace cpg {

int exponent_digits_from_env() {
  const char* v = std::getenv("PRINTF_EXPONENT_DIGITS");
  if (v != nullptr && (v[0] == '0' || v[0] == '1' || v[0] == '2')) return 2;
  return 3;
}

namespace {

std::size_t put_special(char* out, double x, bool signed_nan) {
  const char* text = std::isnan(x) ? (signed_nan && std::signbit(x) ? "-nan" : "nan") : (x < 0 ? "-inf" : "inf");
  std::size_t n = std::strlen(text);
  std::memcpy(out, text, n);
  return n;
}

// to_chars writes at least two exponent digits; rewrite them to the wanted
// minimum, zero-padded, keeping every significant digit.
std::size_t fix_exponent(char* out, std::size_t len, int exponent_digits) {
  char* e = static_cast<char*>(std::memchr(out, 'e', len));
  if (e == nullptr) return len;
  char* digits = e + 2;  // after 'e' and the sign
  char* end = out + len;
  while (digits < end - 1 && *digits == '0') ++digits;
  std::size_t have = static_cast<std::size_t>(end - digits);
  std::size_t want = have < static_cast<std::size_t>(exponent_digits) ? static_cast<std::size_t>(exponent_digits)
                                                                      : have;
  char* dest = e + 2;
  std::memmove(dest + (want - have), digits, have);
  std::memset(dest, '0', want - have);
  return static_cast<std::size_t>(dest - out) + want;
}

}  // namespace

std::size_t format_general(char* out, double x, int exponent_digits) {
  if (!std::isfinite(x)) return put_special(out, x, false);
  auto r = std::to_chars(out, out + number_text_max, x, std::chars_format::general, 6);
  return fix_exponent(out, static_cast<std::size_t>(r.ptr - out), exponent_digits);
}

std::size_t format_sci15(char* out, double x, int exponent_digits) {
  if (!std::isfinite(x)) return put_special(out, x, true);
  auto r = std::to_chars(out, out + number_text_max, x, std::chars_format::scientific, 15);
  return fix_exponent(out, static_cast<std::size_t>(r.ptr - out), exponent_digits);
}

}  // namespace cpg
