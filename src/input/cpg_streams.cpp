#include "input/cpg_streams.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "text/lenient.h"

namespace cpg {

namespace {

// Sized so that every stream's buffer together stays small next to the
// input, whatever the sample count.
std::size_t stream_buffer_size(std::int32_t sample_count) {
  std::size_t per = (std::size_t{8} << 20) / static_cast<std::size_t>(std::max(sample_count, 1));
  return std::clamp<std::size_t>(per, 16 << 10, 128 << 10);
}

// A batch takes about one buffer's worth of lines from every stream, so
// the text a read brings in is parsed while it is still in cache; its
// values are bounded to a few MB whatever the sample count.
std::int32_t batch_slots_for(std::int32_t sample_count) {
  std::int32_t by_memory = static_cast<std::int32_t>((std::size_t{1} << 20) / static_cast<std::size_t>(std::max(sample_count, 1)));
  return std::clamp<std::int32_t>(by_memory, 64, 2048);
}
// Eight samples' values of one site fill one cache line of the batch.
constexpr std::int32_t samples_per_item = 8;

void reset_plan(cpg_streams& s) {
  s.fail_site.assign(static_cast<std::size_t>(s.sample_count), INT32_MAX);
  s.fail_is_error.assign(static_cast<std::size_t>(s.sample_count), 0);
  s.first_fail = INT32_MAX;
  s.next_site = 0;
  s.next_slot = 0;
  s.current = 0;
  s.reading_ahead = false;
  s.batch_slots = batch_slots_for(s.sample_count);
  for (auto& b : s.batches) {
    b.begin = b.end = 0;
    b.values.resize(static_cast<std::size_t>(s.batch_slots) * static_cast<std::size_t>(s.sample_count));
  }
}

// The first ',' or '\n' at or after p, or end: eight bytes at a time. A
// byte equal to c turns into a zero byte of x ^ c, and the lowest flagged
// zero byte is always a true one.
const char* find_comma_or_lf(const char* p, const char* end) {
  constexpr std::uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
  while (end - p >= 8) {
    std::uint64_t x;
    std::memcpy(&x, p, 8);
    std::uint64_t c = x ^ (ones * ','), n = x ^ (ones * '\n');
    std::uint64_t hit = (((c - ones) & ~c) | ((n - ones) & ~n)) & highs;
    if (hit != 0) return p + (__builtin_ctzll(hit) >> 3);
    p += 8;
  }
  while (p < end && *p != ',' && *p != '\n') ++p;
  return p;
}

// Field 2 of the next line as a value. Most lines are "coordinate,value"
// with a plain decimal value: those are parsed in place in one scan; any
// other line goes through the general line and field rules.
read_status read_value_line(line_reader& r, double& value) {
  if (r.failed) return read_status::error;
  const char* p = r.data + r.pos;
  const char* end = r.data + r.end;
  const char* q = find_comma_or_lf(p, end);
  if (q < end && *q == ',') {
    const char* t = q + 1;
    double v;
    if (parse_plain_decimal(t, end, v) && t < end) {
      const char* next = nullptr;
      if (*t == '\n') next = t + 1;
      else if (*t == '\r' && t + 1 < end && t[1] == '\n') next = t + 2;
      else if (*t == ',') {
        const void* nl = std::memchr(t, '\n', static_cast<std::size_t>(end - t));
        if (nl != nullptr) next = static_cast<const char*>(nl) + 1;
      }
      if (next != nullptr) {
        value = v;
        r.pos = static_cast<std::size_t>(next - r.data);
        return read_status::line;
      }
    }
  }
  std::string_view line;
  read_status st = read_line(r, line);
  if (st == read_status::line) value = lenient_double(field2(line));
  return st;
}

// Read sites [begin, end) of sample k's stream into the batch.
void read_sample_batch(cpg_streams& s, cpg_streams::batch& b, std::int32_t k) {
  line_reader& r = s.readers[static_cast<std::size_t>(k)];
  double* slot = b.values.data() + k;
  const std::size_t stride = static_cast<std::size_t>(s.sample_count);
  const std::int32_t begin = b.begin, end = b.end;
  for (std::int32_t i = begin; i < end; ++i) {
    read_status st;
    if (s.select_sites[i] != 0) {
      st = read_value_line(r, *slot);
      if (st == read_status::line) {
        slot += stride;
        continue;
      }
    } else {
      st = skip_line(r);
      if (st == read_status::line) continue;
    }
    s.fail_site[static_cast<std::size_t>(k)] = i;
    s.fail_is_error[static_cast<std::size_t>(k)] = st == read_status::error;
    return;
  }
}

// Sites [begin, end) of the batch that starts at begin: the selection alone
// decides, so the batches are the same whatever the timing.
std::int32_t batch_end_from(const cpg_streams& s, std::int32_t begin) {
  std::int32_t end = begin, selected = 0;
  while (end < s.site_count && end - begin < 4 * s.batch_slots && selected < s.batch_slots) {
    if (s.select_sites[end] != 0) ++selected;
    ++end;
  }
  return end;
}

// Hand the reading of batch b (sites from begin) to the pool, or do it now
// without one.
void begin_batch(cpg_streams& s, cpg_streams::batch& b, std::int32_t begin) {
  b.begin = begin;
  b.end = batch_end_from(s, begin);
  int items = (s.sample_count + samples_per_item - 1) / samples_per_item;
  auto read_item = [&s, &b](int item) {
    std::int32_t k0 = item * samples_per_item;
    std::int32_t k1 = std::min(s.sample_count, k0 + samples_per_item);
    for (std::int32_t k = k0; k < k1; ++k)
      if (s.fail_site[static_cast<std::size_t>(k)] == INT32_MAX) read_sample_batch(s, b, k);
  };
  if (s.pool != nullptr) {
    begin_each_index(*s.pool, items, read_item);
    s.reading_ahead = true;
  } else {
    for (int item = 0; item < items; ++item) read_item(item);
  }
}

void finish_batch(cpg_streams& s) {
  if (s.reading_ahead) finish_each_index(*s.pool);
  s.reading_ahead = false;
  s.first_fail = s.fail_site.empty() ? INT32_MAX : *std::min_element(s.fail_site.begin(), s.fail_site.end());
}

// Move the pass on to the batch that holds next_site and start reading the
// one after it.
void next_batch(cpg_streams& s) {
  cpg_streams::batch& done = s.batches[s.current];
  if (done.end == 0 && !s.reading_ahead) begin_batch(s, s.batches[1 - s.current], 0);  // the first batch
  finish_batch(s);
  s.current = 1 - s.current;
  s.next_slot = 0;
  const cpg_streams::batch& now = s.batches[s.current];
  if (now.end < s.site_count) begin_batch(s, s.batches[1 - s.current], now.end);
}

void report_failure(cpg_streams& s, console& out) {
  finish_batch(s);  // the arrays are then the pass's alone
  std::int32_t i = s.first_fail;
  for (std::int32_t k = 0; k < s.sample_count; ++k) {
    if (s.fail_site[static_cast<std::size_t>(k)] != i) continue;
    say(out, " CpG data file number "), say_int(out, k), say(out, " named ");
    say(out, s.paths[static_cast<std::size_t>(k)]);
    if (s.fail_is_error[static_cast<std::size_t>(k)]) {
      say(out, "  could not be read \n");
    } else {
      say(out, "  has "), say_int(out, i), say(out, " site lines, fewer than the "), say_int(out, s.site_count);
      say(out, " sites of the site list \n");
    }
    return;
  }
}

// Make the batch hold next_site; false when the pass has reached a failure.
bool reach_next_site(cpg_streams& s, console& out) {
  if (s.next_site >= s.batches[s.current].end) next_batch(s);
  if (s.next_site >= s.first_fail) {
    report_failure(s, out);
    return false;
  }
  return true;
}

}  // namespace

bool open_cpg_data_streams(cpg_streams& s, const std::string& coverage_root, std::int32_t chromosome,
                           const std::vector<std::string>& sample_names, std::int32_t sample_count,
                           std::string& current_file_name, console& out) {
  s.sample_count = sample_count;
  s.readers.resize(static_cast<std::size_t>(sample_count));
  s.paths.resize(static_cast<std::size_t>(sample_count));
  std::size_t buffer_size = stream_buffer_size(sample_count);
  // One block for every stream's buffer, so that it can take huge pages.
  s.buffer_arena.assign(static_cast<std::size_t>(sample_count) * buffer_size, 0);
  std::string chr = std::to_string(chromosome);
  for (std::int32_t k = 0; k < sample_count; ++k) {
    std::string& path = s.paths[static_cast<std::size_t>(k)];
    path = coverage_root + "chr" + chr + "/" + sample_names[static_cast<std::size_t>(k)] + ".csv";
    current_file_name = path;
    line_reader& r = s.readers[static_cast<std::size_t>(k)];
    const char* failure = nullptr;
    char* storage = s.buffer_arena.data() + static_cast<std::size_t>(k) * buffer_size;
    if (open_line_reader(r, path, buffer_size, storage) != open_status::ok) failure = "  is not open \n";
    else if (skip_line(r) == read_status::error) failure = "  could not be read \n";
    if (failure != nullptr) {
      say(out, " CpG data file number "), say_int(out, k), say(out, " named "), say(out, path), say(out, failure);
      return false;
    }
  }
  say(out, " Final methylation data file read is "), say(out, current_file_name), say(out, "\n");
  say(out, " \n");
  return true;
}

void open_memory_streams(cpg_streams& s, const std::vector<std::string>& texts) {
  s.sample_count = static_cast<std::int32_t>(texts.size());
  s.readers.resize(texts.size());
  s.paths.resize(texts.size());
  for (std::size_t k = 0; k < texts.size(); ++k) {
    open_memory_reader(s.readers[k], texts[k]);
    s.paths[k] = "sample" + std::to_string(k);
    skip_line(s.readers[k]);
  }
}

void plan_reads(cpg_streams& s, const std::int32_t* select_sites, std::int32_t site_count, workers* pool) {
  s.select_sites = select_sites;
  s.site_count = site_count;
  s.pool = pool;
  reset_plan(s);
}

bool skip_site_line(cpg_streams& s, console& out) {
  if (s.next_site >= s.site_count) return true;
  if (!reach_next_site(s, out)) return false;
  ++s.next_site;
  return true;
}

bool read_site_values(cpg_streams& s, double* values, console& out) {
  std::size_t n = static_cast<std::size_t>(s.sample_count);
  if (s.next_site >= s.site_count) {
    std::fill(values, values + n, 0.0);
    return true;
  }
  if (!reach_next_site(s, out)) return false;
  if (n > 0) std::memcpy(values, s.batches[s.current].values.data() + static_cast<std::size_t>(s.next_slot) * n, n * sizeof(double));
  ++s.next_slot;
  ++s.next_site;
  return true;
}

void finish_reads(cpg_streams& s) {
  if (s.reading_ahead) finish_each_index(*s.pool);
  s.reading_ahead = false;
}

void close_cpg_stream(cpg_streams& s, std::int32_t k) {
  finish_reads(s);
  close_line_reader(s.readers[static_cast<std::size_t>(k)]);
}

}  // namespace cpg
