// The CPU-specific kernels and their one dispatch point. Each lane adds its
// row's products in sample order, one multiply and one add per sample, never
// fused: the bits are those of the scalar loop on every CPU.
#include <immintrin.h>

#include "correlation/fast_cor.h"

namespace cpg {

namespace {

void dot_groups_scalar(const double* dev, const double* dy, std::int32_t n, std::int32_t groups, double* out) {
  for (std::int32_t g = 0; g < groups; ++g) {
    const double* d = dev + static_cast<std::size_t>(g) * static_cast<std::size_t>(n) * row_lanes;
    double acc[row_lanes] = {};
    for (std::int32_t i = 0; i < n; ++i)
      for (int l = 0; l < row_lanes; ++l) acc[l] = acc[l] + d[i * row_lanes + l] * dy[i];
    for (int l = 0; l < row_lanes; ++l) out[g * row_lanes + l] = acc[l];
  }
}

__attribute__((target("avx2"))) void dot_groups_avx2(const double* dev, const double* dy, std::int32_t n,
                                                     std::int32_t groups, double* out) {
  const std::size_t gs = static_cast<std::size_t>(n) * row_lanes;
  std::int32_t g = 0;
  // Two groups (four vectors) at once: four independent add chains.
  for (; g + 2 <= groups; g += 2) {
    const double* a = dev + static_cast<std::size_t>(g) * gs;
    const double* b = a + gs;
    __m256d a0 = _mm256_setzero_pd(), a1 = _mm256_setzero_pd(), b0 = _mm256_setzero_pd(), b1 = _mm256_setzero_pd();
    for (std::int32_t i = 0; i < n; ++i) {
      __m256d y = _mm256_broadcast_sd(dy + i);
      a0 = _mm256_add_pd(a0, _mm256_mul_pd(_mm256_loadu_pd(a + i * 8), y));
      a1 = _mm256_add_pd(a1, _mm256_mul_pd(_mm256_loadu_pd(a + i * 8 + 4), y));
      b0 = _mm256_add_pd(b0, _mm256_mul_pd(_mm256_loadu_pd(b + i * 8), y));
      b1 = _mm256_add_pd(b1, _mm256_mul_pd(_mm256_loadu_pd(b + i * 8 + 4), y));
    }
    _mm256_storeu_pd(out + g * 8, a0);
    _mm256_storeu_pd(out + g * 8 + 4, a1);
    _mm256_storeu_pd(out + g * 8 + 8, b0);
    _mm256_storeu_pd(out + g * 8 + 12, b1);
  }
  for (; g < groups; ++g) {
    const double* a = dev + static_cast<std::size_t>(g) * gs;
    __m256d a0 = _mm256_setzero_pd(), a1 = _mm256_setzero_pd();
    for (std::int32_t i = 0; i < n; ++i) {
      __m256d y = _mm256_broadcast_sd(dy + i);
      a0 = _mm256_add_pd(a0, _mm256_mul_pd(_mm256_loadu_pd(a + i * 8), y));
      a1 = _mm256_add_pd(a1, _mm256_mul_pd(_mm256_loadu_pd(a + i * 8 + 4), y));
    }
    _mm256_storeu_pd(out + g * 8, a0);
    _mm256_storeu_pd(out + g * 8 + 4, a1);
  }
}

__attribute__((target("avx512f"))) void dot_groups_avx512(const double* dev, const double* dy, std::int32_t n,
                                                          std::int32_t groups, double* out) {
  const std::size_t gs = static_cast<std::size_t>(n) * row_lanes;
  std::int32_t g = 0;
  for (; g + 4 <= groups; g += 4) {
    const double* a = dev + static_cast<std::size_t>(g) * gs;
    __m512d s0 = _mm512_setzero_pd(), s1 = _mm512_setzero_pd(), s2 = _mm512_setzero_pd(), s3 = _mm512_setzero_pd();
    for (std::int32_t i = 0; i < n; ++i) {
      __m512d y = _mm512_set1_pd(dy[i]);
      s0 = _mm512_add_pd(s0, _mm512_mul_pd(_mm512_loadu_pd(a + i * 8), y));
      s1 = _mm512_add_pd(s1, _mm512_mul_pd(_mm512_loadu_pd(a + gs + i * 8), y));
      s2 = _mm512_add_pd(s2, _mm512_mul_pd(_mm512_loadu_pd(a + 2 * gs + i * 8), y));
      s3 = _mm512_add_pd(s3, _mm512_mul_pd(_mm512_loadu_pd(a + 3 * gs + i * 8), y));
    }
    _mm512_storeu_pd(out + g * 8, s0);
    _mm512_storeu_pd(out + g * 8 + 8, s1);
    _mm512_storeu_pd(out + g * 8 + 16, s2);
    _mm512_storeu_pd(out + g * 8 + 24, s3);
  }
  for (; g < groups; ++g) {
    const double* a = dev + static_cast<std::size_t>(g) * gs;
    __m512d s0 = _mm512_setzero_pd();
    for (std::int32_t i = 0; i < n; ++i) s0 = _mm512_add_pd(s0, _mm512_mul_pd(_mm512_loadu_pd(a + i * 8), _mm512_set1_pd(dy[i])));
    _mm512_storeu_pd(out + g * 8, s0);
  }
}

}  // namespace

dot_groups_fn dot_groups_for(cor_kernel k) {
  switch (k) {
    case cor_kernel::avx512: return dot_groups_avx512;
    case cor_kernel::avx2: return dot_groups_avx2;
    default: return dot_groups_scalar;
  }
}

}  // namespace cpg
