// Standard output of the run. Every message goes here; nothing goes to
// standard error. Text is buffered and reaches the descriptor at flush, so a
// mean_cor line (flushed after itself) costs one write. Tests capture the
// text instead of writing it.
#pragma once
#include <string>
#include <string_view>

namespace cpg {

struct console {
  int fd = 1;
  std::string buf;
  std::string* capture = nullptr;  // when set, flushed text is appended here
  int exponent_digits = 3;
};

inline void say(console& c, std::string_view s) { c.buf.append(s); }
void say_int(console& c, long long v);
void say_general(console& c, double v);
void flush_console(console& c);

}  // namespace cpg
