#include "platform/big_alloc.h"

#include <cstdlib>
#include <sys/mman.h>

namespace cpg {

namespace {
constexpr std::size_t huge_page = std::size_t{2} << 20;
constexpr std::size_t big_enough = std::size_t{1} << 20;
}  // namespace

void* big_alloc(std::size_t bytes) {
  if (bytes == 0) bytes = 1;
  void* p;
  if (bytes >= big_enough) {
    std::size_t rounded = (bytes + huge_page - 1) / huge_page * huge_page;
    p = std::aligned_alloc(huge_page, rounded);
    if (p != nullptr) madvise(p, rounded, MADV_HUGEPAGE);  // a hint: refused, it changes nothing
  } else {
    p = std::malloc(bytes);
  }
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

void big_free(void* p) noexcept { std::free(p); }

}  // namespace cpg
