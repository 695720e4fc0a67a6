#include "text/lenient.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace cpg {

namespace {

bool is_c_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::size_t skip_space(std::string_view t) {
  std::size_t i = 0;
  while (i < t.size() && is_c_space(t[i])) ++i;
  return i;
}

// Length of the decimal number at the start of t (after an optional sign), 0 if none.
std::size_t decimal_prefix(std::string_view t, std::size_t i) {
  std::size_t start = i;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  std::size_t int_digits = 0, frac_digits = 0;
  while (i < t.size() && is_digit(t[i])) ++i, ++int_digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && is_digit(t[i])) ++i, ++frac_digits;
  }
  if (int_digits + frac_digits == 0) return 0;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < t.size() && (t[j] == '+' || t[j] == '-')) ++j;
    if (j < t.size() && is_digit(t[j])) {
      while (j < t.size() && is_digit(t[j])) ++j;
      i = j;
    }
  }
  return i - start;
}

double slow_decimal(std::string_view t, std::size_t i) {
  std::size_t len = decimal_prefix(t, i);
  if (len == 0) return 0.0;
  std::string_view num = t.substr(i, len);
  bool negative = num[0] == '-';
  if (num[0] == '+' || num[0] == '-') num.remove_prefix(1);
  double value = 0.0;
  auto r = std::from_chars(num.data(), num.data() + num.size(), value, std::chars_format::general);
  if (r.ec == std::errc::result_out_of_range) {
    // from_chars leaves the value alone here; strtod (in the "C" locale the
    // program never leaves) gives the infinity or the underflowed result.
    std::string copy(num);
    value = std::strtod(copy.c_str(), nullptr);
  }
  return negative ? -value : value;
}

}  // namespace

std::int32_t lenient_int(std::string_view t) {
  std::size_t i = skip_space(t);
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
  std::int64_t v = 0;
  constexpr std::int64_t cap = std::int64_t{1} << 32;
  while (i < t.size() && is_digit(t[i])) {
    if (v < cap) v = v * 10 + (t[i] - '0');
    ++i;
  }
  if (negative) v = -v;
  if (v > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (v < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(v);
}

double lenient_double(std::string_view t) {
  std::size_t i = skip_space(t);
  const char* p = t.data() + i;
  const char* end = t.data() + t.size();
  double v;
  if (parse_plain_decimal(p, end, v) && (p == end || (!is_digit(*p) && *p != 'e' && *p != 'E' && *p != '.')))
    return v;
  return slow_decimal(t, i);
}

std::string_view field1(std::string_view line) {
  std::size_t c = line.find(',');
  return c == std::string_view::npos ? line : line.substr(0, c);
}

std::string_view field2(std::string_view line) {
  std::size_t c = line.find(',');
  if (c == std::string_view::npos) return line;
  std::string_view rest = line.substr(c + 1);
  std::size_t d = rest.find(',');
  return d == std::string_view::npos ? rest : rest.substr(0, d);
}

}  // namespace cpg
