// Micro-benchmarks of the hot kernels: the line reader with value parsing,
// the two number formatters, and one growth step's mean correlation on a
// 400-row block of 300 samples, the defining calc_mean_cor next to the fast
// form with each kernel this CPU runs. After Google Benchmark's table the
// last lines give the fast forms' speed-up over calc_mean_cor, computed
// from the real times of this same run.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "correlation/block_matrix.h"
#include "correlation/fast_cor.h"
#include "text/console.h"
#include "text/lenient.h"
#include "text/line_reader.h"
#include "text/number_format.h"

namespace {

constexpr std::int32_t block_rows = 400;
constexpr std::int32_t block_samples = 300;

// A CpG data file as the tool reads it: header, then "coord,value" lines
// with 4-decimal values.
const std::string& cpg_file_text() {
  static const std::string text = [] {
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> value(0.0, 1.0);
    std::string t = "coord,value\n";
    char line[64];
    std::int64_t coord = 10000;
    for (int i = 0; i < 50000; ++i) {
      coord += 2 + static_cast<std::int64_t>(rng() % 119);
      int len = std::snprintf(line, sizeof line, "%lld,%.4f\n", static_cast<long long>(coord), value(rng));
      t.append(line, static_cast<std::size_t>(len));
    }
    return t;
  }();
  return text;
}

void BM_read_and_parse(benchmark::State& state) {
  const std::string& text = cpg_file_text();
  cpg::line_reader r;
  cpg::open_memory_reader(r, text);
  double sum = 0.0;
  for (auto _ : state) {
    r.pos = 0;  // rewind the reader over the same text instead of copying it again
    std::string_view line;
    cpg::skip_line(r);
    while (cpg::read_line(r, line) == cpg::read_status::line) sum += cpg::lenient_double(cpg::field2(line));
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_read_and_parse);

// Values as the outputs hold them: per-sample block means (sci15) and mean
// correlations (general), with a few small and negative ones among them.
std::vector<double> typical_values() {
  std::mt19937_64 rng(12);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<double> v;
  for (int i = 0; i < 1024; ++i) {
    double x = unit(rng);
    if (i % 16 == 0) x = x * 1e-5;
    if (i % 32 == 1) x = -1.0;
    v.push_back(x);
  }
  return v;
}

template <std::size_t (*format)(char*, double, int)>
void BM_format(benchmark::State& state) {
  const std::vector<double> values = typical_values();
  char out[cpg::number_text_max];
  for (auto _ : state) {
    for (double x : values) {
      benchmark::DoNotOptimize(format(out, x, 3));
      benchmark::ClobberMemory();
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(values.size()));
}
BENCHMARK_TEMPLATE(BM_format, cpg::format_sci15)->Name("BM_format_sci15");
BENCHMARK_TEMPLATE(BM_format, cpg::format_general)->Name("BM_format_general");

// A strongly correlated block: one latent factor per sample plus noise,
// rounded to 4 decimals like the input files; the candidate is one more site.
struct block_fixture {
  std::vector<std::vector<double>> rows;
  std::vector<double> candidate;
};

const block_fixture& block() {
  static const block_fixture b = [] {
    std::mt19937_64 rng(13);
    std::normal_distribution<double> gauss(0.0, 1.0);
    std::vector<double> factor(block_samples);
    for (double& f : factor) f = 0.08 * gauss(rng);
    auto site = [&] {
      std::vector<double> v(block_samples);
      double base = 0.3 + 0.4 * (static_cast<double>(rng() % 1000) / 1000.0);
      for (std::int32_t k = 0; k < block_samples; ++k)
        v[static_cast<std::size_t>(k)] = std::round((base + factor[static_cast<std::size_t>(k)] + 0.03 * gauss(rng)) * 1e4) / 1e4;
      return v;
    };
    block_fixture f;
    for (std::int32_t r = 0; r < block_rows; ++r) f.rows.push_back(site());
    f.candidate = site();
    return f;
  }();
  return b;
}

// The defining form: a full three-pass calc_cor per row; its mean_cor line
// goes to a captured console that is emptied every step.
void BM_calc_mean_cor(benchmark::State& state) {
  const block_fixture& b = block();
  cpg::block_matrix m;
  cpg::shape_matrix(m, block_rows, block_samples);
  for (std::int32_t r = 0; r < block_rows; ++r) {
    double* row = cpg::matrix_row(m, r);
    for (std::int32_t k = 0; k < block_samples; ++k) row[k] = b.rows[static_cast<std::size_t>(r)][static_cast<std::size_t>(k)];
  }
  std::string sink;
  cpg::console out;
  out.capture = &sink;
  for (auto _ : state) {
    benchmark::DoNotOptimize(cpg::calc_mean_cor(m, b.candidate.data(), block_rows, block_samples, out));
    sink.clear();
  }
}
BENCHMARK(BM_calc_mean_cor);

// The fast form as the pass runs it per growth step: the candidate's
// deviations and root, the sums of products with every row, the same
// mean_cor line. The rows' statistics were made when they joined the block.
void BM_fast_mean_cor(benchmark::State& state) {
  const cpg::cor_kernel kernel = static_cast<cpg::cor_kernel>(state.range(0));
  state.SetLabel(cpg::cor_kernel_name(kernel));
  if (!cpg::cor_kernel_supported(kernel)) {
    state.SkipWithError("kernel not supported on this CPU");
    for (auto _ : state) {
    }
    return;
  }
  const block_fixture& b = block();
  cpg::dev_rows rows;
  cpg::reset_dev_rows(rows, block_samples, kernel);
  cpg::site_stats st;
  for (std::int32_t r = 0; r < block_rows; ++r) {
    cpg::compute_site_stats(b.rows[static_cast<std::size_t>(r)].data(), block_samples, st);
    cpg::set_dev_row(rows, r, st);
  }
  std::string sink;
  cpg::console out;
  out.capture = &sink;
  cpg::site_stats cand;
  for (auto _ : state) {
    cpg::compute_site_stats(b.candidate.data(), block_samples, cand);
    double mean = cpg::fast_mean_cor(rows, cand, block_rows, nullptr);
    cpg::print_mean_cor(out, block_rows, mean);
    benchmark::DoNotOptimize(mean);
    sink.clear();
  }
}
BENCHMARK(BM_fast_mean_cor)
    ->Arg(static_cast<int>(cpg::cor_kernel::scalar))
    ->Arg(static_cast<int>(cpg::cor_kernel::avx2))
    ->Arg(static_cast<int>(cpg::cor_kernel::avx512));

// Keeps every run's real time so that the ratios can be printed at the end.
class ratio_reporter : public benchmark::ConsoleReporter {
 public:
  // Colour only on a terminal: run.sh's output is kept in files.
  ratio_reporter() : ConsoleReporter(isatty(1) ? OO_ColorTabular : OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (!r.error_occurred && r.run_type == Run::RT_Iteration)
        times[r.benchmark_name()] = {r.GetAdjustedRealTime(), r.GetAdjustedCPUTime(), r.report_label};
    ConsoleReporter::ReportRuns(runs);
  }
  struct timing {
    double real = 0.0, cpu = 0.0;
    std::string label;
  };
  std::map<std::string, timing> times;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  ratio_reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  auto plain = reporter.times.find("BM_calc_mean_cor");
  if (plain == reporter.times.end()) return 0;
  // Both run on one thread: on a busy machine the CPU-time ratio is the steadier one.
  std::printf("\nmean correlation, %d rows x %d samples: speed-up of fast_mean_cor over calc_mean_cor (same run)\n",
              block_rows, block_samples);
  std::printf("  %-8s %10s %10s\n", "kernel", "real time", "CPU time");
  for (const auto& [name, t] : reporter.times)
    if (name.rfind("BM_fast_mean_cor", 0) == 0 && t.real > 0.0 && t.cpu > 0.0)
      std::printf("  %-8s %9.1fx %9.1fx\n", t.label.c_str(), plain->second.real / t.real, plain->second.cpu / t.cpu);
  return 0;
}
