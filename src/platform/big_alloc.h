// Storage for the large working buffers (batches of values, the streams'
// read buffers, the pending block data). A first touch of a fresh page is
// costly next to the work done on it, and far cheaper per byte for the
// system's huge pages, so buffers of a megabyte or more ask for those.
#pragma once
#include <cstddef>
#include <new>

namespace cpg {

void* big_alloc(std::size_t bytes);
void big_free(void* p) noexcept;

template <class T>
struct big_allocator {
  using value_type = T;
  big_allocator() = default;
  template <class U>
  big_allocator(const big_allocator<U>&) noexcept {}
  T* allocate(std::size_t n) { return static_cast<T*>(big_alloc(n * sizeof(T))); }
  void deallocate(T* p, std::size_t) noexcept { big_free(p); }
  friend bool operator==(const big_allocator&, const big_allocator&) { return true; }
};

}  // namespace cpg
