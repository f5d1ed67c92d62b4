#include "search/row_counting.h"

namespace tavrel {

bool vectorRowsAvailable() {
#ifdef TAVREL_VECTOR_ROWS
  // The checks include the operating system's saving of the registers.
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
         __builtin_cpu_supports("avx512vpopcntdq") && __builtin_cpu_supports("popcnt");
#else
  return false;
#endif
}

}  // namespace tavrel
