#include "text/lenient.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

namespace cpg {
namespace {

constexpr std::int32_t int_max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t int_min = std::numeric_limits<std::int32_t>::min();

TEST(Lenient, IntegerPrefixes) {
  struct row {
    const char* text;
    std::int32_t want;
  };
  const row rows[] = {
      {"7", 7},
      {"7b", 7},
      {"X", 0},
      {"", 0},
      {"  -12", -12},
      {"+5", 5},
      {"\t3", 3},
      {"\n\v\f\r 4", 4},
      {"0012", 12},
      {"1.9", 1},
      {"1e3", 1},
      {"2147483647", int_max},
      {"-2147483648", int_min},
      {"2147483648", int_max},
      {"-2147483649", int_min},
      {"99999999999999999999", int_max},
      {"-99999999999999999999", int_min},
      {"4294967296", int_max},  // would wrap to 0 in 32 bits
      {"-", 0},
      {"+-1", 0},
      {"- 1", 0},
      {" 1,5", 1},
  };
  for (const row& r : rows) EXPECT_EQ(lenient_int(r.text), r.want) << '"' << r.text << '"';
}

TEST(Lenient, IntegerStopsAtTheEndOfTheView) {
  // The view may be a field in the middle of a line: digits after it are not read.
  std::string_view line = "12,34";
  EXPECT_EQ(lenient_int(line.substr(0, 1)), 1);
  EXPECT_EQ(lenient_int(line.substr(3, 1)), 3);
}

bool same_bits(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

TEST(Lenient, DecimalPrefixes) {
  const double inf = std::numeric_limits<double>::infinity();
  struct row {
    const char* text;
    double want;
  };
  const row rows[] = {
      {"0.70", 0.70},
      {"abc", 0.0},
      {"0.5", 0.5},
      {" 0.5", 0.5},
      {"\t\n0.5", 0.5},
      {"-0.25", -0.25},
      {"+0.25", 0.25},
      {".5", 0.5},
      {"-.5e1", -5.0},
      {"5.", 5.0},
      {"1e3", 1000.0},
      {"1E-2", 0.01},
      {"1e", 1.0},
      {"1e+", 1.0},
      {"1e-x", 1.0},
      {"-0.0", -0.0},
      {"-0", -0.0},
      {"1e400", inf},
      {"-1e400", -inf},
      {"1e-400", 0.0},
      {"-1e-400", -0.0},
      {"4.9e-324", std::numeric_limits<double>::denorm_min()},
      {"2.2250738585072011e-308", 2.2250738585072011e-308},
      {"2.2250738585072014e-308", std::numeric_limits<double>::min()},
      {"1.7976931348623157e308", std::numeric_limits<double>::max()},
      {"1.7976931348623159e308", inf},  // past the rounding boundary of the largest double
      {"0.1000000000000000055511151231257827", 0.1},
      {"123456789012345", 123456789012345.0},
      {"1234567890123456789", 1234567890123456789.0},
      {"9007199254740993", 9007199254740992.0},  // tie, to even
      {"0.000000000000000000001", 1e-21},
      {"inf", 0.0},
      {"nan", 0.0},
      {"-inf", 0.0},
      {"0x1p3", 0.0},
      {"1.5.3", 1.5},
      {"NA", 0.0},
      {"", 0.0},
      {".", 0.0},
      {"-", 0.0},
      {"+-1", 0.0},
      {"e5", 0.0},
      {"1,5", 1.0},
      {"0.25,7", 0.25},
  };
  for (const row& r : rows) {
    double got = lenient_double(r.text);
    EXPECT_TRUE(same_bits(got, r.want)) << '"' << r.text << "\" gives " << got << ", want " << r.want;
  }
}

TEST(Lenient, DecimalStopsAtTheEndOfTheView) {
  std::string_view line = "0.125e2,9";
  EXPECT_EQ(lenient_double(line.substr(0, 4)), 0.12);
  EXPECT_EQ(lenient_double(line.substr(0, 6)), 0.125);  // "0.125e" has no exponent digits
  EXPECT_EQ(lenient_double(line.substr(0, 7)), 12.5);
}

// Random decimal text with blanks, signs, long digit runs, exponents around
// the overflow and underflow limits and trailing text; never a form that the
// C library would read as hexadecimal, infinity or NaN.
std::string random_decimal(std::mt19937_64& rng) {
  std::uniform_int_distribution<int> coin(0, 1), small(0, 3), len(0, 25), digit(0, 9), exp10(-350, 350),
      junk(0, 7), zeros(0, 30);
  std::string s;
  for (int k = small(rng); k > 0; --k) s += " \t\n\v\f\r"[digit(rng) % 6];
  switch (small(rng)) {
    case 0: s += '-'; break;
    case 1: s += '+'; break;
    default: break;
  }
  int before = small(rng) == 0 ? 0 : len(rng), after = len(rng);
  for (int k = 0; k < before; ++k) s += static_cast<char>('0' + digit(rng));
  if (after > 0 || coin(rng)) {
    s += '.';
    // Leading zeros of the fraction make tiny values with few digits.
    if (small(rng) == 0) s.append(static_cast<std::size_t>(zeros(rng)), '0');
    for (int k = 0; k < after; ++k) s += static_cast<char>('0' + digit(rng));
  }
  if (coin(rng)) {
    s += coin(rng) ? 'e' : 'E';
    int e = exp10(rng);
    if (e < 0) s += '-';
    else if (coin(rng)) s += '+';
    s += std::to_string(std::abs(e));
  }
  const char* tails[] = {"", "", "", ",0.5", "e", "e+", ".5", " 12"};
  s += tails[junk(rng)];
  return s;
}

TEST(Lenient, DecimalMatchesStrtodOnAMillionTexts) {
  std::mt19937_64 rng(7310);
  int failures = 0;
  for (int i = 0; i < 1000000; ++i) {
    std::string s = random_decimal(rng);
    double want = std::strtod(s.c_str(), nullptr);
    double got = lenient_double(s);
    if (!same_bits(got, want)) {
      ADD_FAILURE() << '"' << s << "\" gives " << got << " (" << std::hex << std::bit_cast<std::uint64_t>(got)
                    << "), strtod " << want << " (" << std::bit_cast<std::uint64_t>(want) << ")";
      if (++failures == 10) return;
    }
  }
}

TEST(Lenient, Fields) {
  struct row {
    const char* line;
    const char* one;
    const char* two;
  };
  const row rows[] = {
      {"100,1", "100", "1"},
      {"100", "100", "100"},
      {"100,", "100", ""},
      {",5", "", "5"},
      {"a,b,c", "a", "b"},
      {"", "", ""},
      {",,", "", ""},
      {"300, 1", "300", " 1"},
      {"7,0.25,x,y", "7", "0.25"},
  };
  for (const row& r : rows) {
    EXPECT_EQ(field1(r.line), r.one) << '"' << r.line << '"';
    EXPECT_EQ(field2(r.line), r.two) << '"' << r.line << '"';
  }
  EXPECT_EQ(lenient_int(field2("300, 1")), 1);
  EXPECT_EQ(lenient_double(field2("200,0.5e1,9")), 5.0);
}

}  // namespace
}  // namespace cpg
