// Wider vector instructions for the per-pixel loops, chosen when the call
// runs. The shipped binaries are built for the baseline x86-64 (SSE2) so they
// load on every station PC; a kernel written once is compiled again for AVX2
// and for AVX-512 and the processor picks. The results are the same bytes on
// every level: the build never contracts a multiply and an add, and each lane
// of a vector does the IEEE operation its scalar form does.
#pragma once

#include <utility>

namespace zorvel {

enum class vector_isa { baseline, avx2, avx512 };

#if (defined(__x86_64__) || defined(_M_X64)) && (defined(__GNUC__) || defined(__clang__))
#define ZORVEL_VECTOR_DISPATCH 1
#define ZORVEL_TARGET_AVX2 __attribute__((target("avx2")))
#define ZORVEL_TARGET_AVX512 __attribute__((target("avx2,avx512f,avx512bw,avx512dq,avx512vl")))
#define ZORVEL_KERNEL_INLINE inline __attribute__((always_inline))

inline vector_isa best_vector_isa() {
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
      __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl")) {
    return vector_isa::avx512;
  }
  if (__builtin_cpu_supports("avx2")) return vector_isa::avx2;
  return vector_isa::baseline;
}
#else
#define ZORVEL_VECTOR_DISPATCH 0
#define ZORVEL_KERNEL_INLINE inline

inline vector_isa best_vector_isa() { return vector_isa::baseline; }
#endif

#if ZORVEL_VECTOR_DISPATCH
namespace detail {
template <auto Kernel, typename... Args>
ZORVEL_TARGET_AVX512 void run_avx512(Args&&... args) {
  Kernel(std::forward<Args>(args)...);
}
template <auto Kernel, typename... Args>
ZORVEL_TARGET_AVX2 void run_avx2(Args&&... args) {
  Kernel(std::forward<Args>(args)...);
}
}  // namespace detail
#endif

// Runs Kernel (declared ZORVEL_KERNEL_INLINE, so each level gets its own
// copy) at the level asked for, or the best below it the build has.
template <auto Kernel, typename... Args>
void run_vector_kernel(vector_isa isa, Args&&... args) {
#if ZORVEL_VECTOR_DISPATCH
  if (isa == vector_isa::avx512) return detail::run_avx512<Kernel>(std::forward<Args>(args)...);
  if (isa == vector_isa::avx2) return detail::run_avx2<Kernel>(std::forward<Args>(args)...);
#else
  (void)isa;
#endif
  Kernel(std::forward<Args>(args)...);
}

}  // namespace zorvel
