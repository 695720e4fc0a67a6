#include "text/console.h"

#include <cerrno>
#include <charconv>
#include <unistd.h>

#include "text/number_format.h"

namespace cpg {

void say_int(console& c, long long v) {
  char t[24];
  auto r = std::to_chars(t, t + sizeof t, v);
  c.buf.append(t, r.ptr);
}

void say_general(console& c, double v) {
  char t[number_text_max];
  c.buf.append(t, format_general(t, v, c.exponent_digits));
}

void flush_console(console& c) {
  if (c.capture != nullptr) {
    c.capture->append(c.buf);
  } else {
    std::size_t done = 0;
    while (done < c.buf.size()) {
      ssize_t n = ::write(c.fd, c.buf.data() + done, c.buf.size() - done);
      if (n > 0) done += static_cast<std::size_t>(n);
      else if (n < 0 && errno == EINTR) continue;
      else break;  // standard output is gone: nothing else to tell it
    }
  }
  c.buf.clear();
}

}  // namespace cpg
