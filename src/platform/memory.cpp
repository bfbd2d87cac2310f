#include "platform/memory.h"

#include <cstdlib>  // defines __GLIBC__ with the C library's other names

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace listelo {

void GrowHeapInLargeSteps() {
#if defined(__GLIBC__)
  constexpr int kHeapStep = 16 << 20;
  mallopt(M_TOP_PAD, kHeapStep);
#endif
}

void ReturnFreedMemory() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

}  // namespace listelo
