#include "platform/process/freememory.h"

#include <malloc.h>

void ReturnFreeHeapPages()
{
#ifdef __GLIBC__
    // Releases the free pages inside the heap too, not only its top (glibc 2.8 and later).
    malloc_trim(0);
#endif
}
