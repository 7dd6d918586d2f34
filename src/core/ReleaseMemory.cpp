#include "core/ReleaseMemory.h"

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
