#include "text/number_format.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstdint>
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

namespace {

__extension__ typedef unsigned __int128 u128;

constexpr std::uint64_t pow10_u64[] = {1ull,
                                       10ull,
                                       100ull,
                                       1000ull,
                                       10000ull,
                                       100000ull,
                                       1000000ull,
                                       10000000ull,
                                       100000000ull,
                                       1000000000ull,
                                       10000000000ull,
                                       100000000000ull,
                                       1000000000000ull,
                                       10000000000000ull,
                                       100000000000000ull,
                                       1000000000000000ull,
                                       10000000000000000ull,
                                       100000000000000000ull,
                                       1000000000000000000ull,
                                       10000000000000000000ull};

// The eight decimal digits of v < 10^8, all lanes at once: two 4-digit
// halves in 32-bit lanes, split into 2-digit 16-bit lanes, then into bytes.
// The multiply-shifts divide exactly in their ranges (by 100 below 43,699,
// by 10 below 179). Byte order is the little-endian one of x86-64.
void write_8_digits(char* out, std::uint32_t v) {
  std::uint64_t x = (v / 10000) | (static_cast<std::uint64_t>(v % 10000) << 32);
  std::uint64_t hundreds = ((x * 10486) >> 20) & 0x0000007F0000007Full;
  std::uint64_t y = hundreds | ((x - hundreds * 100) << 16);
  std::uint64_t tens = ((y * 103) >> 10) & 0x000F000F000F000Full;
  std::uint64_t z = tens | ((y - tens * 10) << 8);
  z |= 0x3030303030303030ull;
  std::memcpy(out, &z, 8);
}

// Powers of ten from 10^-8 to 10^16, nearest doubles: good enough to pick
// the decimal exponent, which is then checked on exact integers.
constexpr double pow10_near[] = {1e-8, 1e-7, 1e-6, 1e-5, 1e-4, 1e-3, 1e-2, 1e-1, 1e0,  1e1,  1e2,  1e3, 1e4,
                                 1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16};

// x's 16 significant digits, correctly rounded (ties to even), as an integer
// in [10^15, 10^16) and the decimal exponent, for normal x of decimal
// exponent -8 to 15: then m * 10^(15 - e10) fits in 128 bits and the rounding
// is done on exact integers. False outside that range (to_chars takes over).
bool sixteen_digits(double x, std::uint64_t& digits, int& e10) {
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  int biased = static_cast<int>((bits >> 52) & 0x7ff);
  if (biased == 0) return false;
  std::uint64_t m = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
  int e2 = biased - 1075;  // x = m * 2^e2
  // floor(log10 |x|) as far as doubles tell; refined below on the exact integers.
  int e = ((e2 + 52) * 78913) >> 18;  // floor((e2 + 52) * log10(2)), one low at most
  if (e < -8 || e > 15) return false;
  if (std::fabs(x) >= pow10_near[e + 9]) ++e;
  for (int attempt = 0; attempt < 3; ++attempt) {
    int k = 15 - e;
    if (k < 0 || k > 22) return false;
    u128 p = static_cast<u128>(m);
    if (k > 19) p *= pow10_u64[19], p *= pow10_u64[k - 19];
    else p *= pow10_u64[k];
    u128 q;
    bool round_up = false;
    if (e2 >= 0) {
      if (e2 > 10) return false;
      q = p << e2;
    } else {
      int shift = -e2;
      if (shift >= 127) return false;
      q = p >> shift;
      u128 rest = p - (q << shift);
      u128 half = static_cast<u128>(1) << (shift - 1);
      round_up = rest > half || (rest == half && (q & 1) != 0);
    }
    if (q >= pow10_u64[16]) {  // the estimate was one too low
      ++e;
      continue;
    }
    if (q < pow10_u64[15]) {
      --e;
      continue;
    }
    std::uint64_t d = static_cast<std::uint64_t>(q) + (round_up ? 1 : 0);
    if (d == pow10_u64[16]) d = pow10_u64[15], ++e;
    digits = d;
    e10 = e;
    return true;
  }
  return false;
}

}  // namespace

std::size_t format_sci15(char* out, double x, int exponent_digits) {
  if (!std::isfinite(x)) return put_special(out, x, true);
  std::uint64_t digits;
  int e10;
  if (x != 0.0 && sixteen_digits(x, digits, e10)) {
    char* p = out;
    if (std::signbit(x)) *p++ = '-';
    // All sixteen digits from p + 1, then the first moved in front of the point.
    write_8_digits(p + 1, static_cast<std::uint32_t>(digits / 100000000));
    write_8_digits(p + 9, static_cast<std::uint32_t>(digits % 100000000));
    p[0] = p[1];
    p[1] = '.';
    p += 17;
    *p++ = 'e';
    *p++ = e10 < 0 ? '-' : '+';
    int a = e10 < 0 ? -e10 : e10;  // two digits at most here
    int width = exponent_digits > 2 ? exponent_digits : 2;
    std::memset(p, '0', static_cast<std::size_t>(width));
    p[width - 1] = static_cast<char>('0' + a % 10);
    p[width - 2] = static_cast<char>('0' + a / 10);
    return static_cast<std::size_t>(p + width - out);
  }
  auto r = std::to_chars(out, out + number_text_max, x, std::chars_format::scientific, 15);
  return fix_exponent(out, static_cast<std::size_t>(r.ptr - out), exponent_digits);
}

}  // namespace cpg
