#include "core/ReleaseMemory.h"

#include <cstdlib> // says which C library this is (__GLIBC__)

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace Memory
{

void releaseFreed()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

} // namespace Memory
