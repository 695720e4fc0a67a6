#include "input/sample_ids.h"

#include "text/line_reader.h"

namespace cpg {

bool read_sample(const std::string& path, std::vector<std::string>& sample_names, std::int32_t& sample_count,
                 console& out) {
  line_reader r;
  if (open_line_reader(r, path, 1 << 16) != open_status::ok) {
    say(out, " Sample file "), say(out, path), say(out, "  is not open \n");
    return false;
  }
  sample_names.clear();
  std::string_view line;
  read_status st;
  while ((st = read_line(r, line)) == read_status::line) sample_names.emplace_back(line);
  close_line_reader(r);
  if (st == read_status::error) {
    say(out, " Sample file "), say(out, path), say(out, "  could not be read \n");
    return false;
  }
  sample_count = static_cast<std::int32_t>(sample_names.size());
  return true;
}

}  // namespace cpg
