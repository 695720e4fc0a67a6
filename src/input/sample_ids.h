// The sample ID file: one sample ID per line, no header; the whole line is the ID.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "text/console.h"

namespace cpg {

// Fill sample_names and sample_count from path. On failure the message is on
// the console and the result is false.
bool read_sample(const std::string& path, std::vector<std::string>& sample_names, std::int32_t& sample_count,
                 console& out);

}  // namespace cpg
