#include "text/out_file.h"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <unistd.h>

#include "text/number_format.h"

namespace cpg {

bool open_out_file(out_file& f, const std::string& path, std::size_t buffer_size, int exponent_digits) {
  f = out_file{};
  f.exponent_digits = exponent_digits;
  int fd;
  do fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  f.fd = fd;
  f.buf.resize(buffer_size < 64 ? 64 : buffer_size);
  return true;
}

void open_memory_out_file(out_file& f, std::string* sink, int exponent_digits) {
  f = out_file{};
  f.exponent_digits = exponent_digits;
  f.capture = sink;
  f.buf.resize(1 << 12);
}

namespace {

void write_all(out_file& f, const char* data, std::size_t len) {
  if (f.capture != nullptr) {
    f.capture->append(data, len);
    return;
  }
  std::size_t done = 0;
  while (done < len && !f.failed) {
    ssize_t n = ::write(f.fd, data + done, len - done);
    if (n > 0) done += static_cast<std::size_t>(n);
    else if (n < 0 && errno == EINTR) continue;
    else f.failed = true;
  }
}

}  // namespace

void flush_out_file(out_file& f) {
  write_all(f, f.buf.data(), f.used);
  f.used = 0;
}

void write_through(out_file& f, std::string_view s) {
  flush_out_file(f);
  write_all(f, s.data(), s.size());
}

bool close_out_file(out_file& f) {
  if (f.fd < 0) {
    flush_out_file(f);
    return !f.failed;
  }
  flush_out_file(f);
  if (::close(f.fd) != 0) f.failed = true;
  f.fd = -1;
  std::vector<char>().swap(f.buf);
  return !f.failed;
}

void put_int(out_file& f, long long v) {
  char t[24];
  auto r = std::to_chars(t, t + sizeof t, v);
  put_text(f, std::string_view(t, static_cast<std::size_t>(r.ptr - t)));
}

void put_general(out_file& f, double v) {
  char t[number_text_max];
  put_text(f, std::string_view(t, format_general(t, v, f.exponent_digits)));
}

}  // namespace cpg
