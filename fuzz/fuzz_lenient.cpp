// The lenient conversions and the field splitter on arbitrary text, held to
// the straightforward forms: atoi with saturation, strtod on the decimal
// prefix (bit for bit, sign of zero included), plain comma splitting.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "reference.h"
#include "text/lenient.h"

namespace {

void check_text(std::string_view t) {
  std::int32_t got_int = cpg::lenient_int(t), want_int = ref::lenient_int(t);
  if (got_int != want_int)
    ref::mismatch("lenient_int", std::string(t) + " -> " + std::to_string(got_int) + " want " + std::to_string(want_int));
  double got = cpg::lenient_double(t), want = ref::lenient_double(t);
  if (!ref::same_bits(got, want)) ref::mismatch("lenient_double", t);

  // The fast plain form, where it accepts, must agree with strtod on what it consumed.
  const char* p = t.data();
  double plain = 0.0;
  if (cpg::parse_plain_decimal(p, t.data() + t.size(), plain)) {
    std::string taken(t.data(), p);
    if (ref::decimal_prefix(taken) != taken) ref::mismatch("parse_plain_decimal took a non-number", t);
    if (!ref::same_bits(plain, ref::lenient_double(taken))) ref::mismatch("parse_plain_decimal", t);
  } else if (p != t.data()) {
    ref::mismatch("parse_plain_decimal moved on failure", t);
  }

  if (cpg::field1(t) != ref::field1(t)) ref::mismatch("field1", t);
  if (cpg::field2(t) != ref::field2(t)) ref::mismatch("field2", t);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A copy of exactly the input: a read past its end is ASan's to see.
  std::string text(reinterpret_cast<const char*>(data), size);
  check_text(text);
  // Every field too, as the readers hand them over.
  std::string_view rest = text;
  while (!rest.empty()) {
    std::size_t c = rest.find(',');
    check_text(rest.substr(0, c));
    if (c == std::string_view::npos) break;
    rest.remove_prefix(c + 1);
  }
  return 0;
}
