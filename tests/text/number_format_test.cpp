#include "text/number_format.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace cpg {
namespace {

std::string general(double x, int digits) {
  char buf[number_text_max];
  return std::string(buf, format_general(buf, x, digits));
}

std::string sci15(double x, int digits) {
  char buf[number_text_max];
  return std::string(buf, format_sci15(buf, x, digits));
}

// The C library writes at least two exponent digits; the program's rule asks
// for at least `digits`, zero-padded.
std::string pad_exponent(std::string s, int digits) {
  std::size_t e = s.find('e');
  if (e == std::string::npos) return s;
  std::size_t have = s.size() - (e + 2);
  if (have < static_cast<std::size_t>(digits)) s.insert(e + 2, static_cast<std::size_t>(digits) - have, '0');
  return s;
}

std::string reference(const char* fmt, double x, int digits) {
  char buf[64];
  int n = std::snprintf(buf, sizeof buf, fmt, x);
  return pad_exponent(std::string(buf, static_cast<std::size_t>(n)), digits);
}

// The general form never signs a NaN; the scientific form signs it by its sign bit.
std::string reference_general(double x, int digits) {
  if (std::isnan(x)) return "nan";
  return reference("%.6g", x, digits);
}

std::string reference_sci15(double x, int digits) {
  if (std::isnan(x)) return std::signbit(x) ? "-nan" : "nan";
  return reference("%.15e", x, digits);
}

TEST(NumberFormat, GeneralFormExamples) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct row {
    double x;
    const char* three;  // at least three exponent digits
    const char* two;    // at least two
  };
  const row rows[] = {
      {0.5, "0.5", "0.5"},
      {0.9323843, "0.932384", "0.932384"},
      {0.9323843093435826, "0.932384", "0.932384"},
      {0.912345678, "0.912346", "0.912346"},
      {1.0, "1", "1"},
      {-1.0, "-1", "-1"},
      {0.0, "0", "0"},
      {-0.0, "-0", "-0"},
      {0.00001234, "1.234e-005", "1.234e-05"},
      {0.00005, "5e-005", "5e-05"},
      {0.0001, "0.0001", "0.0001"},
      {999999.0, "999999", "999999"},
      {1e6, "1e+006", "1e+06"},
      {999999.5, "1e+006", "1e+06"},  // rounds up across the power of ten
      {123456.5, "123456", "123456"},  // exact tie, to even
      {1e100, "1e+100", "1e+100"},
      {-1.5e-300, "-1.5e-300", "-1.5e-300"},
      {inf, "inf", "inf"},
      {-inf, "-inf", "-inf"},
      {nan, "nan", "nan"},
      {-nan, "nan", "nan"},
  };
  for (const row& r : rows) {
    EXPECT_EQ(general(r.x, 3), r.three) << r.three;
    EXPECT_EQ(general(r.x, 2), r.two) << r.two;
  }
}

TEST(NumberFormat, Sci15Examples) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct row {
    double x;
    const char* three;
    const char* two;
  };
  const row rows[] = {
      {0.5, "5.000000000000000e-001", "5.000000000000000e-01"},
      {1234.5, "1.234500000000000e+003", "1.234500000000000e+03"},
      {1.0 / 3.0, "3.333333333333333e-001", "3.333333333333333e-01"},
      {-0.25, "-2.500000000000000e-001", "-2.500000000000000e-01"},
      {1e-300, "1.000000000000000e-300", "1.000000000000000e-300"},
      {0.0, "0.000000000000000e+000", "0.000000000000000e+00"},
      {-0.0, "-0.000000000000000e+000", "-0.000000000000000e+00"},
      {1.0, "1.000000000000000e+000", "1.000000000000000e+00"},
      {4.9406564584124654e-324, "4.940656458412465e-324", "4.940656458412465e-324"},
      {1.7976931348623157e308, "1.797693134862316e+308", "1.797693134862316e+308"},
      {0.99999999999999994, "9.999999999999999e-001", "9.999999999999999e-01"},
      {inf, "inf", "inf"},
      {-inf, "-inf", "-inf"},
      {nan, "nan", "nan"},
      {-nan, "-nan", "-nan"},
  };
  for (const row& r : rows) {
    EXPECT_EQ(sci15(r.x, 3), r.three) << r.three;
    EXPECT_EQ(sci15(r.x, 2), r.two) << r.two;
  }
}

// Restores PRINTF_EXPONENT_DIGITS as it was before the test.
struct env_guard {
  std::optional<std::string> saved;
  env_guard() {
    if (const char* v = std::getenv("PRINTF_EXPONENT_DIGITS")) saved = v;
  }
  ~env_guard() {
    if (saved) setenv("PRINTF_EXPONENT_DIGITS", saved->c_str(), 1);
    else unsetenv("PRINTF_EXPONENT_DIGITS");
  }
};

TEST(NumberFormat, ExponentDigitsFromEnvironment) {
  env_guard guard;
  unsetenv("PRINTF_EXPONENT_DIGITS");
  EXPECT_EQ(exponent_digits_from_env(), 3) << "unset";
  struct row {
    const char* value;
    int digits;
  };
  const row rows[] = {{"0", 2}, {"1", 2}, {"2", 2}, {"3", 3}, {"", 3}, {"x", 3}, {"20", 2}, {"9", 3}, {" 2", 3}};
  for (const row& r : rows) {
    setenv("PRINTF_EXPONENT_DIGITS", r.value, 1);
    EXPECT_EQ(exponent_digits_from_env(), r.digits) << '"' << r.value << '"';
  }
}

// Values where digit generation goes wrong first: every class of bit
// pattern, exact decimal ties, powers of ten and their neighbours, and values
// whose rounding carries into a new leading digit.
std::vector<double> hard_doubles() {
  std::mt19937_64 rng(20240611);
  std::vector<double> v;
  v.reserve(1100000);
  auto add = [&](double x) {
    v.push_back(x);
    v.push_back(-x);
  };

  // Random bit patterns, all exponents, NaNs and infinities included.
  for (int i = 0; i < 200000; ++i) v.push_back(std::bit_cast<double>(rng()));
  // Subnormals.
  for (int i = 0; i < 40000; ++i) add(std::bit_cast<double>(rng() & ((std::uint64_t{1} << 52) - 1)));

  // Random decimals of 1 to 17 digits over the whole range.
  std::uniform_int_distribution<int> ndig(1, 17), exp10(-330, 310), digit(0, 9);
  for (int i = 0; i < 150000; ++i) {
    std::string s;
    int n = ndig(rng);
    s += static_cast<char>('1' + digit(rng) % 9);
    s += '.';
    for (int k = 1; k < n; ++k) s += static_cast<char>('0' + digit(rng));
    s += 'e' + std::to_string(exp10(rng));
    add(std::strtod(s.c_str(), nullptr));
  }

  // Powers of ten, their neighbours, and the values just below the next
  // power that round up to it at 6 and at 16 significant digits.
  for (int e = -324; e <= 308; ++e) {
    std::string p = "1e" + std::to_string(e);
    const char* near_up[] = {"9.999995e", "9.9999950000001e", "9.99999499999e", "9.9999999999999995e",
                             "9.99999999999999949e", "9.99999999999999951e", "9.9999999999999999e"};
    std::vector<double> centres{std::strtod(p.c_str(), nullptr)};
    for (const char* m : near_up) centres.push_back(std::strtod((m + std::to_string(e - 1)).c_str(), nullptr));
    for (double c : centres) {
      double lo = c, hi = c;
      add(c);
      for (int k = 0; k < 20; ++k) {
        lo = std::nextafter(lo, 0.0);
        hi = std::nextafter(hi, HUGE_VAL);
        add(lo);
        add(hi);
      }
    }
  }

  // Exact ties at the 7th and at the 17th significant digit: n / 2^k with n
  // odd is the decimal n * 5^k / 10^k, whose last digit is 5; choosing n so
  // that n * 5^k has 7 (17) digits puts the tie right after the 6th (16th).
  for (int sig : {7, 17}) {
    for (int k = 1; k <= 24; ++k) {
      long double p5 = std::pow(5.0L, k);
      long double lo = std::ceil(std::pow(10.0L, sig - 1) / p5), hi = std::pow(10.0L, sig) / p5;
      long double cap = 9007199254740992.0L;  // n must be exact
      if (hi > cap) hi = cap;
      if (lo >= hi) continue;
      std::uniform_int_distribution<std::uint64_t> pick(static_cast<std::uint64_t>(lo),
                                                        static_cast<std::uint64_t>(hi) - 1);
      for (int i = 0; i < 4000; ++i) {
        std::uint64_t n = pick(rng) | 1;
        if (static_cast<long double>(n) >= hi) n -= 2;
        double x = std::ldexp(static_cast<double>(n), -k);
        add(x);
        // Integral ties scaled by powers of ten stay exact while below 2^53.
        if (sig == 7 && k == 1) {
          double t = static_cast<double>(n) * 5.0;  // 7 digits ending in 5
          for (int z = 0; z < 9; ++z, t *= 10.0) add(t);
        }
      }
    }
  }
  return v;
}

TEST(NumberFormat, MatchesPrintfOnAMillionHardValues) {
  const std::vector<double> values = hard_doubles();
  ASSERT_GE(values.size(), 1000000u);
  int failures = 0;
  for (double x : values) {
    // The C library's own text is the two-digit form; pad it for three.
    const std::string ref_g = reference_general(x, 2), ref_s = reference_sci15(x, 2);
    for (int digits : {3, 2}) {
      std::string want_g = pad_exponent(ref_g, digits), want_s = pad_exponent(ref_s, digits);
      std::string g = general(x, digits), s = sci15(x, digits);
      if (g != want_g || s != want_s) {
        ADD_FAILURE() << std::hex << std::bit_cast<std::uint64_t>(x) << " digits " << std::dec << digits
                      << ": general " << g << " want " << want_g << ", sci15 " << s << " want " << want_s;
        if (++failures == 10) return;
      }
    }
  }
}

}  // namespace
}  // namespace cpg
