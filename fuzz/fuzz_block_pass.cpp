// A whole in-memory block pass on small arbitrary inputs: a few samples and
// sites, any selection flags and thresholds, value texts of every kind
// (words, blanks, "1e400", "NA", empty fields, CR), files short or long.
// The straightforward correlation path is the reference; the fast path on
// every kernel, with and without pools, must give the same console text,
// block data texts, block info text and result, byte for byte.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "blocks/grow_blocks.h"
#include "output/block_info.h"
#include "reference.h"

namespace {

struct pass_case {
  std::int32_t n = 0;
  std::int32_t site_count = 0;
  std::vector<std::int32_t> select;
  std::vector<std::string> texts;  // sample k's CpG data file
  cpg::pass_settings settings;
};

struct pass_run {
  bool ok = false;
  std::int32_t block_count = -1;
  std::vector<std::string> data;
  std::string info, console;
};

struct pools {
  cpg::workers cor, read, write;
  pools() {
    for (cpg::workers* w : {&cor, &read, &write}) cpg::start_workers(*w, 3);
  }
  // Never stopped: the fuzzer leaves by exit, and the threads only wait.
};

pools& shared_pools() {
  static pools* p = new pools;
  return *p;
}

pass_run run_pass(const pass_case& c, cpg::cor_path path, cpg::cor_kernel kernel, bool pooled) {
  pools& ps = shared_pools();
  pass_run r;
  cpg::cpg_streams streams;
  cpg::open_memory_streams(streams, c.texts);
  r.data.assign(static_cast<std::size_t>(c.n), std::string());
  cpg::block_data_files files;
  cpg::open_memory_block_data_files(files, r.data, 3);
  if (pooled) files.pool = &ps.write;
  cpg::block_matrix matrix;
  cpg::shape_matrix(matrix, cpg::max_block_size, c.n);
  std::vector<double> block_sum, next_values;
  cpg::block_tables blocks;
  cpg::console out;
  out.capture = &r.console;
  cpg::pass_inputs in;
  in.site_count = c.site_count;
  in.sample_count = c.n;
  in.select_sites = &c.select;
  in.path = path;
  in.kernel = kernel;
  in.pool = pooled ? &ps.cor : nullptr;
  in.read_pool = pooled ? &ps.read : nullptr;
  r.ok = cpg::grow_blocks(c.settings, in, streams, files, block_sum, next_values, matrix, blocks, r.block_count, out);
  cpg::finish_reads(streams);
  cpg::flush_block_data(files);
  for (std::int32_t k = 0; k < c.n; ++k) {
    cpg::close_block_data_file(files, k, out);
    cpg::close_cpg_stream(streams, k);
  }
  cpg::flush_console(out);
  cpg::site_list sites;
  for (std::int32_t i = 0; i < c.site_count; ++i) sites.coord.push_back(100 * (i + 1));
  sites.select_sites = c.select;
  if (r.ok) cpg::block_info_text(r.block_count, blocks, sites, 3, r.info);
  return r;
}

double threshold(FuzzedDataProvider& in) {
  static const double exact[] = {0.0, 0.5, -0.5, 1.0, -1.0, 1.0 / 3.0, 0.1, -0.0, 2.0, -2.0};
  if (in.ConsumeBool()) return exact[in.ConsumeIntegralInRange<std::size_t>(0, std::size(exact) - 1)];
  return in.ConsumeFloatingPointInRange<double>(-1.0, 1.0);
}

// A value text: mostly from a small alphabet so that correlated runs form,
// sometimes odd forms, sometimes raw bytes (which may hold LF or commas).
std::string value_text(FuzzedDataProvider& in) {
  static const char* const common[] = {"0", "1", "0.5", "0.25", "0.75", "0.125", "1.0", "0.3333", "0.9"};
  static const char* const odd[] = {"1e400", "-1e400", "1e-400", "NA", "", " ", "abc", " 0.7", "0.3\r", "-0",
                                    "nan", "inf", "0x10", "1e5", ".5", "5.", "+0.2", "0.1,9", "\t1", "4.9e-324",
                                    "123456789012345678", "0.1e", "1,", "-"};
  switch (in.ConsumeIntegralInRange<int>(0, 7)) {
    case 0:
      return odd[in.ConsumeIntegralInRange<std::size_t>(0, std::size(odd) - 1)];
    case 1:
      return in.ConsumeRandomLengthString(8);
    default:
      return common[in.ConsumeIntegralInRange<std::size_t>(0, std::size(common) - 1)];
  }
}

pass_case decode(FuzzedDataProvider& in) {
  pass_case c;
  c.n = in.ConsumeIntegralInRange<std::int32_t>(0, 6);
  // Mostly few sites; sometimes enough to span more than one read-ahead batch.
  c.site_count = in.ConsumeBool() ? in.ConsumeIntegralInRange<std::int32_t>(0, 40)
                                  : in.ConsumeIntegralInRange<std::int32_t>(0, 300);
  c.settings.min_mean_block_cor = threshold(in);
  c.settings.min_new_block_cor = threshold(in);
  c.settings.min_n_new_block_cor = in.ConsumeIntegralInRange<std::int32_t>(-1, 3);
  static const std::int32_t flags[] = {1, 1, 1, 0, 0, 2, -1, 7};
  const bool all_selected = in.ConsumeBool();
  for (std::int32_t i = 0; i < c.site_count; ++i)
    c.select.push_back(all_selected ? 1 : flags[in.ConsumeIntegralInRange<std::size_t>(0, std::size(flags) - 1)]);

  // Sites after the input runs out repeat the last values read, so long runs stay correlated.
  std::vector<std::vector<std::string>> values(static_cast<std::size_t>(c.n));
  for (std::int32_t i = 0; i < c.site_count; ++i)
    for (std::int32_t k = 0; k < c.n; ++k) {
      auto& v = values[static_cast<std::size_t>(k)];
      if (in.remaining_bytes() > 0 || v.empty())
        v.push_back(value_text(in));
      else
        v.push_back(v.back());
    }
  for (std::int32_t k = 0; k < c.n; ++k) {
    std::string t = in.ConsumeBool() ? "coord,value\n" : in.ConsumeRandomLengthString(12) + "\n";
    std::int32_t lines = c.site_count;
    switch (in.ConsumeIntegralInRange<int>(0, 7)) {
      case 0:  // short
        lines = in.ConsumeIntegralInRange<std::int32_t>(0, c.site_count);
        break;
      case 1:  // extra lines beyond the site list
        lines = c.site_count + in.ConsumeIntegralInRange<std::int32_t>(1, 3);
        break;
      default:
        break;
    }
    const bool final_lf = in.ConsumeIntegralInRange<int>(0, 5) != 0;
    for (std::int32_t i = 0; i < lines; ++i) {
      t += std::to_string(100 * (i + 1)) + ",";
      t += i < c.site_count ? values[static_cast<std::size_t>(k)][static_cast<std::size_t>(i)] : std::string("0.5");
      if (i + 1 < lines || final_lf) t += "\n";
    }
    c.texts.push_back(std::move(t));
  }
  return c;
}

void expect_same(const pass_run& want, const pass_run& got, const char* kernel, bool pooled) {
  std::string where = std::string(kernel) + (pooled ? " pooled" : "");
  if (got.ok != want.ok) ref::mismatch("result", where);
  if (got.block_count != want.block_count) ref::mismatch("block count", where);
  if (got.console != want.console) ref::mismatch("console", where + "\n" + got.console + "\nwant\n" + want.console);
  if (got.info != want.info) ref::mismatch("block info", where + "\n" + got.info + "\nwant\n" + want.info);
  for (std::size_t k = 0; k < want.data.size(); ++k)
    if (got.data[k] != want.data[k])
      ref::mismatch("block data", where + " sample " + std::to_string(k) + "\n" + got.data[k] + "\nwant\n" + want.data[k]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const pass_case c = decode(in);
  const pass_run want = run_pass(c, cpg::cor_path::straightforward, cpg::cor_kernel::scalar, false);
  // To see what the inputs make of the pass: CPGBLOCKS_FUZZ_SHOW=1 fuzz_block_pass corpus/fuzz_block_pass/*
  if (std::getenv("CPGBLOCKS_FUZZ_SHOW"))
    std::fprintf(stderr, "samples %d sites %d ok %d blocks %d\n%s", c.n, c.site_count, int(want.ok), want.block_count,
                 want.info.c_str());
  for (cpg::cor_kernel k : {cpg::cor_kernel::scalar, cpg::cor_kernel::avx2, cpg::cor_kernel::avx512}) {
    if (!cpg::cor_kernel_supported(k)) continue;
    for (bool pooled : {false, true}) expect_same(want, run_pass(c, cpg::cor_path::fast, k, pooled), cpg::cor_kernel_name(k), pooled);
  }
  // The straightforward path with the pools reads and writes the same too.
  expect_same(want, run_pass(c, cpg::cor_path::straightforward, cpg::cor_kernel::scalar, true), "straightforward", true);
  return 0;
}
