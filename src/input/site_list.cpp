#include "input/site_list.h"

#include <string_view>

#include "text/lenient.h"
#include "text/line_reader.h"

namespace cpg {

namespace {

// select_from_file: flag from field 2; otherwise every site gets 1.
bool read_site_file(const std::string& path, const char* what, bool select_from_file, site_list& sites,
                    std::int32_t& site_count, console& out) {
  line_reader r;
  if (open_line_reader(r, path, 1 << 16) != open_status::ok) {
    say(out, what), say(out, path), say(out, "  is not open \n");
    return false;
  }
  sites.coord.clear();
  sites.select_sites.clear();
  std::string_view line;
  read_status st = read_line(r, line);  // the header
  if (st == read_status::line) {
    while ((st = read_line(r, line)) == read_status::line) {
      sites.coord.push_back(lenient_int(field1(line)));
      sites.select_sites.push_back(select_from_file ? lenient_int(field2(line)) : 1);
    }
  }
  close_line_reader(r);
  if (st == read_status::error) {
    say(out, what), say(out, path), say(out, "  could not be read \n");
    return false;
  }
  site_count = static_cast<std::int32_t>(sites.coord.size());
  return true;
}

}  // namespace

bool read_select_sites(const std::string& path, site_list& sites, std::int32_t& site_count, console& out) {
  return read_site_file(path, " File with site selection information  ", true, sites, site_count, out);
}

bool read_first_covfil(const std::string& path, site_list& sites, std::int32_t& site_count, console& out) {
  return read_site_file(path, " First coverage file used to determine the number of CpGs ", false, sites,
                        site_count, out);
}

}  // namespace cpg
