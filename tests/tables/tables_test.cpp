#include <gtest/gtest.h>

#include <fstream>

#include "tables/tables.h"

namespace cpg {
namespace {

long resident_kb() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * 4;  // 4 KB pages
}

// The capacities are address space only: memory must follow the input, not
// the 3,000,000-entry tables (about 100 MB if they were touched).
TEST(Tables, ReservingTheCapacitiesTouchesNoMemory) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer writes shadow memory for every allocation";
#endif
  long before = resident_kb();
  run_tables t;
  reserve_tables(t);
  long after = resident_kb();
  EXPECT_LT(after - before, 4 * 1024) << "KB resident after reserving";
  EXPECT_GE(t.sites.coord.capacity(), static_cast<std::size_t>(max_coord));
  EXPECT_GE(t.blocks.block_inter_cor.capacity(), static_cast<std::size_t>(max_coord));
  EXPECT_GE(t.sample_names.capacity(), static_cast<std::size_t>(max_sample));
  EXPECT_TRUE(t.sites.coord.empty());
  EXPECT_TRUE(t.blocks.block_start_i_cpg.empty());
  // and they grow past the capacity rather than refuse
  t.sites.coord.resize(static_cast<std::size_t>(max_coord) + 1, 0);
  EXPECT_EQ(t.sites.coord.size(), static_cast<std::size_t>(max_coord) + 1);
}

}  // namespace
}  // namespace cpg
