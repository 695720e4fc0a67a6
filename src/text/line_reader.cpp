#include "text/line_reader.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace cpg {

open_status open_line_reader(line_reader& r, const std::string& path, std::size_t buffer_size, char* storage) {
  r = line_reader{};
  int fd;
  do fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return open_status::not_open;
  r.fd = fd;
  if (storage != nullptr && buffer_size >= 16) {
    r.data = storage;
    r.cap = buffer_size;
  } else {
    r.own.resize(buffer_size < 16 ? 16 : buffer_size);
    r.data = r.own.data();
    r.cap = r.own.size();
  }
  return open_status::ok;
}

void open_memory_reader(line_reader& r, std::string_view text) {
  r = line_reader{};
  r.own.assign(text.begin(), text.end());
  r.data = r.own.data();
  r.cap = r.end = r.own.size();
  r.at_eof = true;
}

void close_line_reader(line_reader& r) {
  if (r.fd >= 0) ::close(r.fd);
  r.fd = -1;
  std::vector<char>().swap(r.own);
  r.data = nullptr;
  r.pos = r.end = r.cap = 0;
}

namespace {

// Keep the unread tail, make room (doubling for a line longer than the
// buffer) and read once more. False on a read error.
bool refill(line_reader& r) {
  std::size_t tail = r.end - r.pos;
  if (r.pos > 0) {
    std::memmove(r.data, r.data + r.pos, tail);
    r.pos = 0;
    r.end = tail;
  }
  if (r.end == r.cap) {
    std::vector<char> bigger(r.cap * 2);
    std::memcpy(bigger.data(), r.data, r.end);
    r.own.swap(bigger);
    r.data = r.own.data();
    r.cap = r.own.size();
  }
  for (;;) {
    ssize_t got = ::read(r.fd, r.data + r.end, r.cap - r.end);
    if (got > 0) {
      r.end += static_cast<std::size_t>(got);
      return true;
    }
    if (got == 0) {
      r.at_eof = true;
      return true;
    }
    if (errno != EINTR) {
      r.failed = true;
      return false;
    }
  }
}

// Finds the next line end; scanned counts the bytes already known to hold no
// line feed so that a long line is not searched again after every refill.
read_status next_line(line_reader& r, std::string_view* line) {
  if (r.failed) return read_status::error;
  std::size_t scanned = 0;
  for (;;) {
    const char* start = r.data + r.pos;
    std::size_t avail = r.end - r.pos;
    const void* nl = scanned < avail ? std::memchr(start + scanned, '\n', avail - scanned) : nullptr;
    if (nl != nullptr) {
      std::size_t len = static_cast<std::size_t>(static_cast<const char*>(nl) - start);
      r.pos += len + 1;
      if (line != nullptr) {
        if (len > 0 && start[len - 1] == '\r') --len;
        *line = std::string_view(start, len);
      }
      return read_status::line;
    }
    if (r.at_eof) {
      if (avail == 0) return read_status::end;
      r.pos = r.end;
      if (line != nullptr) *line = std::string_view(start, avail);
      return read_status::line;
    }
    scanned = avail;
    if (!refill(r)) return read_status::error;
  }
}

}  // namespace

read_status read_line(line_reader& r, std::string_view& line) { return next_line(r, &line); }

read_status skip_line(line_reader& r) { return next_line(r, nullptr); }

}  // namespace cpg
