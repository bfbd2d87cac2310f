#include "platform/memory.h"

#include <cstdlib>  // defines __GLIBC__ with the C library's other names

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace listelo {

void ReturnFreedMemory() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

}  // namespace listelo
