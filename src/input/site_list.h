// The site list: from the site selection file (coordinate and selection flag
// per line) or from the first sample's CpG data file (coordinates only, every
// site selected). Both have one header line, skipped unread.
#pragma once
#include <cstdint>
#include <string>

#include "tables/tables.h"
#include "text/console.h"

namespace cpg {

bool read_select_sites(const std::string& path, site_list& sites, std::int32_t& site_count, console& out);
bool read_first_covfil(const std::string& path, site_list& sites, std::int32_t& site_count, console& out);

}  // namespace cpg
