#include "QxLib/qxMemoryAdvice.h"

#include <sys/mman.h>

namespace qx {

void AdviseHugePages(void* memory, size_t bytes) {
#if defined(MADV_HUGEPAGE)
  madvise(memory, bytes, MADV_HUGEPAGE);
#else
  (void)memory;
  (void)bytes;
#endif
}

} // namespace qx
