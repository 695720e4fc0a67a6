#include <gtest/gtest.h>

#include "test_support.h"

namespace cpg::test {
namespace {

TEST(Usage, FewerThanNineArgumentsPrintUsageAndFail) {
  for (int n = 0; n < 9; ++n) {
    std::vector<std::string> args(static_cast<std::size_t>(n), "x");
    run_result r = run_in_process(args);
    EXPECT_EQ(r.status, 1) << n;
    EXPECT_NE(r.out.find("usage: cpgblocks coverage_root"), std::string::npos) << n;
  }
}

}  // namespace
}  // namespace cpg::test
