// Straightforward forms of the text rules the fuzz targets hold the library
// to: written for plainness, never for speed, and sharing no code with it.
#pragma once
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace ref {

inline bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
inline bool is_digit(char c) { return c >= '0' && c <= '9'; }

// atoi with saturation at the 32-bit limits.
inline std::int32_t lenient_int(std::string_view t) {
  std::size_t i = 0;
  while (i < t.size() && is_space(t[i])) ++i;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
  long long v = 0;
  bool big = false;
  for (; i < t.size() && is_digit(t[i]); ++i) {
    if (!big) v = v * 10 + (t[i] - '0');
    if (v > 10000000000LL) big = true;
  }
  if (negative) v = -v;
  if (big) return negative ? INT32_MIN : INT32_MAX;
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(v);
}

// The decimal number at the start of t after blanks: [sign] (digits [. [digits]] | . digits) [e [sign] digits].
// Empty when there is none.
inline std::string decimal_prefix(std::string_view t) {
  std::size_t i = 0;
  while (i < t.size() && is_space(t[i])) ++i;
  std::size_t start = i;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < t.size() && is_digit(t[i])) ++i, ++digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && is_digit(t[i])) ++i, ++digits;
  }
  if (digits == 0) return std::string();
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < t.size() && (t[j] == '+' || t[j] == '-')) ++j;
    if (j < t.size() && is_digit(t[j])) {
      while (j < t.size() && is_digit(t[j])) ++j;
      i = j;
    }
  }
  return std::string(t.substr(start, i - start));
}

inline double lenient_double(std::string_view t) {
  std::string prefix = decimal_prefix(t);
  if (prefix.empty()) return 0.0;
  return std::strtod(prefix.c_str(), nullptr);
}

inline std::string_view field1(std::string_view line) {
  std::size_t c = line.find(',');
  return c == std::string_view::npos ? line : line.substr(0, c);
}

inline std::string_view field2(std::string_view line) {
  std::size_t c = line.find(',');
  if (c == std::string_view::npos) return line;
  std::string_view rest = line.substr(c + 1);
  std::size_t d = rest.find(',');
  return d == std::string_view::npos ? rest : rest.substr(0, d);
}

// Lines end at LF; a CR directly before the LF is not part of the line; no
// line after a final LF; a last line without LF is a line.
inline std::vector<std::string> split_lines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t lf = text.find('\n', start);
    if (lf == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    std::size_t end = lf;
    if (end > start && text[end - 1] == '\r') --end;
    lines.emplace_back(text.substr(start, end - start));
    start = lf + 1;
  }
  return lines;
}

// A scratch file of this process.
inline std::string temp_path(const char* what) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/cpgblocks_" + what + "_" + std::to_string(getpid());
}

inline void write_whole_file(const std::string& path, std::string_view text) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (!text.empty() && std::fwrite(text.data(), 1, text.size(), f) != text.size()) std::abort();
  if (std::fclose(f) != 0) std::abort();
}

// Stop with a message the fuzzer keeps with the input.
[[noreturn]] inline void mismatch(const char* what, std::string_view detail = {}) {
  std::fprintf(stderr, "MISMATCH: %s\n%.*s\n", what, static_cast<int>(detail.size()), detail.data());
  std::abort();
}

inline bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace ref
