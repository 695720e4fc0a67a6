// Arbitrary bytes as a site selection file and as a first coverage file,
// held to a plain reader: header line skipped, coordinate from field 1,
// selection flag from field 2 (or 1 for the coverage file).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "input/site_list.h"
#include "reference.h"
#include "text/lenient.h"

namespace {

void check(bool select_file, const std::string& path, const std::vector<std::string>& lines) {
  cpg::site_list sites;
  sites.coord = {1, 2, 3};  // whatever a list held before is replaced
  sites.select_sites = {4, 5, 6};
  std::int32_t count = -7;
  std::string text;
  cpg::console out;
  out.capture = &text;
  bool ok = select_file ? cpg::read_select_sites(path, sites, count, out) : cpg::read_first_covfil(path, sites, count, out);
  cpg::flush_console(out);
  const char* what = select_file ? "read_select_sites" : "read_first_covfil";
  if (!ok || !text.empty()) ref::mismatch(what, "failed: " + text);
  const std::size_t n = lines.empty() ? 0 : lines.size() - 1;
  if (count != static_cast<std::int32_t>(n) || sites.coord.size() != n || sites.select_sites.size() != n)
    ref::mismatch(what, "site count " + std::to_string(count) + " want " + std::to_string(n));
  for (std::size_t i = 0; i < n; ++i) {
    const std::string& line = lines[i + 1];
    std::int32_t coord = cpg::lenient_int(ref::field1(line));
    std::int32_t flag = select_file ? cpg::lenient_int(ref::field2(line)) : 1;
    if (sites.coord[i] != coord || sites.select_sites[i] != flag)
      ref::mismatch(what, "site " + std::to_string(i) + ": " + line);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string path = ref::temp_path("site_list");
  ref::write_whole_file(path, text);
  const std::vector<std::string> lines = ref::split_lines(text);
  check(true, path, lines);
  check(false, path, lines);
  std::remove(path.c_str());
  return 0;
}
