// Both number formats on doubles taken from the input bytes, held to
// snprintf "%.6g" and "%.15e" with the exponent widened to the wanted digits.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "reference.h"
#include "text/number_format.h"

namespace {

// snprintf's text with at least exponent_digits exponent digits.
std::string with_exponent_digits(std::string s, int exponent_digits) {
  std::size_t e = s.find('e');
  if (e == std::string::npos) return s;
  std::size_t digits_at = e + 2;  // after the sign, which snprintf always writes
  std::size_t have = s.size() - digits_at;
  if (have < static_cast<std::size_t>(exponent_digits))
    s.insert(digits_at, static_cast<std::size_t>(exponent_digits) - have, '0');
  return s;
}

std::string printed(const char* format, double x, int exponent_digits) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, x);
  return with_exponent_digits(buf, exponent_digits);
}

void check(double x) {
  char out[cpg::number_text_max + 8];
  for (int exponent_digits : {3, 2}) {
    std::string want = std::isnan(x) ? "nan" : printed("%.6g", x, exponent_digits);
    std::memset(out, '#', sizeof out);
    std::size_t n = cpg::format_general(out, x, exponent_digits);
    if (n > cpg::number_text_max || std::string(out, n) != want)
      ref::mismatch("format_general", printed("%a", x, 2) + " -> " + std::string(out, std::min(n, sizeof out)) +
                                          " want " + want);

    want = std::isnan(x) ? (std::signbit(x) ? "-nan" : "nan") : printed("%.15e", x, exponent_digits);
    std::memset(out, '#', sizeof out);
    n = cpg::format_sci15(out, x, exponent_digits);
    if (n > cpg::number_text_max || std::string(out, n) != want)
      ref::mismatch("format_sci15", printed("%a", x, 2) + " -> " + std::string(out, std::min(n, sizeof out)) +
                                        " want " + want);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (std::size_t i = 0; i + 8 <= size; i += 8) {
    double x;
    std::memcpy(&x, data + i, 8);
    check(x);
    // Its neighbours and a few of its relatives, where rounding turns.
    check(std::nextafter(x, 0.0));
    check(std::nextafter(x, INFINITY));
    float f = static_cast<float>(x);
    check(static_cast<double>(f));
  }
  // The tail as a short decimal-looking value: the common case of real data.
  if (size % 8 != 0) {
    std::uint64_t m = 0;
    for (std::size_t i = size - size % 8; i < size; ++i) m = m * 256 + data[i];
    check(static_cast<double>(m % 10000000) / 1e4);
    check(static_cast<double>(m) * 1e-300);
  }
  return 0;
}
